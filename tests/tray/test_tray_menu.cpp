// The tray popup as a user meets it: its rows and highlight bar, typing with the inline
// completion mirrored through the main search field, Enter, Esc, deactivation, the idle close,
// the row commands with "Выход", and the exit question window.
#include "platform/settings.h"
#include "tray/exit_question.h"
#include "tray/quick_search.h"
#include "tray/tray_commands.h"
#include "tray/tray_menu.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace kelmor::tray;
using kelmor::platform::SettingsSection;
using kelmor::platform::SettingsStore;

namespace {

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

// What the popup sees of the main window: a word list whose search selects the first word
// that begins with the text (letter case ignored), and what the popup asked of it.
struct FakeMain
{
    QStringList words = {u("Вода"), u("Водопад"), u("Дом"), u("Ёлка"), u("Сугроб")};
    std::optional<QString> selected = u("Вода");
    QStringList mirrored;
    int interpretations = 0;
    QList<int> commands;
    QStringList warnings;
    std::optional<QPoint> mouse = QPoint(800, 600);

    TrayMenu::Context context(int transparency = 205)
    {
        TrayMenu::Context c;
        c.menuTransparency = transparency;
        c.mirrorText = [this](const QString &text) {
            mirrored << text;
            for (const QString &w : std::as_const(words)) {
                if (w.startsWith(text, Qt::CaseInsensitive)) {
                    selected = w;
                    return;
                }
            }
        };
        c.selectedWord = [this] { return selected; };
        c.showInterpretation = [this] { ++interpretations; };
        c.runCommand = [this](int row) { commands << row; };
        c.pointerPosition = [this] { return mouse; };
        c.warn = [this](QWidget *, const QString &text) { warnings << text; };
        return c;
    }
};

void type(QWidget *w, const char *text)
{
    for (const QChar c : u(text))
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QWidget *child(const TrayMenu &menu, const QString &name)
{
    return menu.findChild<QWidget *>(name);
}

QString rowName(int row)
{
    return QStringLiteral("Label18(%1)").arg(row);
}

} // namespace

TEST(TrayMenu, PanelRowsFieldAndHighlightBar)
{
    FakeMain main;
    QPointer<TrayMenu> menu = new TrayMenu(main.context());
    menu->popUp();

    const Qt::WindowFlags flags = menu->windowFlags();
    EXPECT_TRUE(flags & Qt::FramelessWindowHint);
    EXPECT_TRUE(flags & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(menu->objectName(), QStringLiteral("TrayMenu"));
    // The frame is the popup's size; the popup's bottom-right corner is at the mouse.
    QWidget *frame = child(*menu, QStringLiteral("Shape2"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), menu->panelSize());
    EXPECT_EQ(menu->geometry(),
              QRect(QPoint(800, 600) - QPoint(menu->width(), menu->height()), menu->panelSize()));
    // At the designed font the panel is 2295 × 2250 twips; larger fonts only scale it up.
    EXPECT_GE(menu->width(), 153);
    EXPECT_NEAR(double(menu->width()) / menu->height(), 2295.0 / 2250.0, 0.02);

    // Top to bottom: "Развернуть", "Календарь", the field, "Настройки", "О программе", "Выход".
    QLineEdit *field = menu->searchField();
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->objectName(), QStringLiteral("Text1"));
    EXPECT_EQ(field->toolTip(), u("Введите искомое слово."));
    EXPECT_TRUE(field->text().isEmpty());
    const int order[] = {0, 1, -1, 3, 2, 4};
    int lastBottom = 0;
    for (int row : order) {
        QWidget *w = row < 0 ? field : child(*menu, rowName(row));
        ASSERT_NE(w, nullptr) << row;
        EXPECT_GE(w->y(), lastBottom) << row;
        EXPECT_LE(w->geometry().bottom(), menu->height()) << row;
        lastBottom = w->geometry().bottom();
    }
    for (int row = 0; row < TrayCommands::RowCount; ++row)
        EXPECT_EQ(child(*menu, rowName(row))->accessibleName(), TrayCommands::caption(row));
    EXPECT_EQ(TrayCommands::caption(0), u("Развернуть"));
    EXPECT_EQ(TrayCommands::caption(4), u("Выход"));

    // The highlight bar goes behind the row under the mouse, and away over the field.
    QWidget *bar = child(*menu, QStringLiteral("Image111"));
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    QWidget *settings = child(*menu, rowName(3));
    QTest::mouseMove(settings, QPoint(10, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(10, 5), settings->mapToGlobal(QPointF(10, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(settings, &move);
    EXPECT_EQ(menu->highlightedRow(), 3);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->geometry().contains(settings->geometry().center()));
    EXPECT_LT(bar->y(), settings->y());
    EXPECT_GT(bar->geometry().bottom(), settings->geometry().bottom());
    QMouseEvent overField(QEvent::MouseMove, QPointF(3, 3), field->mapToGlobal(QPointF(3, 3)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(field, &overField);
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(menu->highlightedRow(), -1);
    menu->ShowCur(7); // no such row
    EXPECT_FALSE(bar->isVisible());
    menu->close();
}

TEST(TrayMenu, OpacityFromMenuTransp)
{
    for (const auto &[transparency, opacity] :
         {std::pair{205, 205 / 255.0}, std::pair{0, 1.0}, std::pair{255, 1.0}}) {
        FakeMain main;
        QPointer<TrayMenu> menu = new TrayMenu(main.context(transparency));
        menu->popUp();
        EXPECT_DOUBLE_EQ(menu->windowOpacity(), opacity) << transparency;
        menu->close();
    }
}

TEST(TrayMenu, TypingCompletesThroughTheMainSearchField)
{
    FakeMain main;
    QPointer<TrayMenu> menu = new TrayMenu(main.context());
    menu->popUp();
    QLineEdit *field = menu->searchField();

    type(field, "вод");
    // Each key went to the main search field; the list's word completes the text.
    EXPECT_EQ(main.mirrored, (QStringList{u("в"), u("во"), u("вод")}));
    EXPECT_EQ(field->text(), u("вода"));
    EXPECT_EQ(field->selectedText(), u("а"));
    EXPECT_EQ(field->selectionStart(), 3);

    // Backspace takes the completed part away and does not complete again; Delete neither.
    QTest::keyClick(field, Qt::Key_Backspace);
    EXPECT_EQ(field->text(), u("вод"));
    EXPECT_FALSE(field->hasSelectedText());
    QTest::keyClick(field, Qt::Key_Left);
    QTest::keyClick(field, Qt::Key_Delete);
    EXPECT_EQ(field->text(), u("во"));
    EXPECT_FALSE(field->hasSelectedText());

    // Typing on goes on completing, in the letter case typed.
    QTest::keyClick(field, Qt::Key_End);
    field->clear();
    type(field, "ВОДО");
    EXPECT_EQ(field->text(), u("ВОДОпад"));
    EXPECT_EQ(field->selectedText(), u("пад"));
    EXPECT_EQ(main.mirrored.last(), u("ВОДО"));
    EXPECT_EQ(*main.selected, u("Водопад"));
    menu->close();
}

TEST(TrayMenu, EnterOpensTheViewerOrAnswersWithAMessage)
{
    struct Case
    {
        const char *typed;
        int interpretations;
        const QString *warning; // the message shown, or nullptr
        bool stays;
    };
    const Case cases[] = {
        {"вод", 1, nullptr, false}, // completed to "вода", the list's "Вода"
        {"ДОМ", 1, nullptr, false}, // another letter case
        {"кот", 0, &WordNotFoundMessage, true},
        {"сука", 0, &ObsceneWordMessage, true},
        {"   ", 0, nullptr, true}, // only spaces: nothing
        {"", 0, nullptr, true},    // empty: nothing
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        FakeMain main;
        QPointer<TrayMenu> menu = new TrayMenu(main.context());
        menu->popUp();
        QLineEdit *field = menu->searchField();
        if (*c.typed == ' ')
            field->setText(u(c.typed));
        else
            type(field, c.typed);
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(main.interpretations, c.interpretations);
        if (c.warning)
            EXPECT_EQ(main.warnings, QStringList{*c.warning});
        else
            EXPECT_TRUE(main.warnings.isEmpty());
        ASSERT_EQ(!menu.isNull() && menu->isVisible(), c.stays);
        if (c.stays) {
            // The text stays for the user to correct.
            EXPECT_EQ(field->text(), u(c.typed));
            menu->close();
        }
    }

    // A text that came without a key (pasted) is looked up as it is.
    FakeMain main;
    main.selected = u("Сугроб");
    QPointer<TrayMenu> menu = new TrayMenu(main.context());
    menu->popUp();
    menu->searchField()->setText(u("дом"));
    QTest::keyClick(menu->searchField(), Qt::Key_Enter);
    EXPECT_EQ(main.interpretations, 1);
    EXPECT_FALSE(menu && menu->isVisible());
}

TEST(TrayMenu, ClosesOnEscAndOnDeactivationButNotForItsOwnMessage)
{
    {
        FakeMain main;
        QPointer<TrayMenu> menu = new TrayMenu(main.context());
        menu->popUp();
        QTest::keyClick(menu->searchField(), Qt::Key_Escape);
        EXPECT_FALSE(menu && menu->isVisible());
    }
    {
        FakeMain main;
        QPointer<TrayMenu> menu = new TrayMenu(main.context());
        menu->popUp();
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(menu, &deactivate);
        EXPECT_FALSE(menu && menu->isVisible());
        // It deletes itself.
        QTRY_VERIFY(menu.isNull());
    }
    {
        // The not-found message takes the keyboard; the popup stays for the correction.
        FakeMain main;
        QPointer<TrayMenu> menu;
        TrayMenu::Context context = main.context();
        context.warn = [&](QWidget *parent, const QString &) {
            QEvent deactivate(QEvent::WindowDeactivate);
            QApplication::sendEvent(parent, &deactivate);
        };
        menu = new TrayMenu(std::move(context));
        menu->popUp();
        type(menu->searchField(), "кот");
        QTest::keyClick(menu->searchField(), Qt::Key_Return);
        ASSERT_TRUE(menu);
        EXPECT_TRUE(menu->isVisible());
        menu->close();
    }
}

TEST(TrayMenu, IdleCloseCountsTicksWithTheMouseOutsideAndTheFieldEmpty)
{
    FakeMain main;
    QPointer<TrayMenu> menu = new TrayMenu(main.context());
    menu->popUp();
    // The timer is there and runs every 10 ms; the test ticks by hand.
    auto *timer = menu->findChild<QTimer *>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 10);
    timer->stop();

    // The mouse at the corner it opened at: inside (borders count), never closes.
    for (int i = 0; i < 150; ++i)
        menu->tick();
    ASSERT_TRUE(menu->isVisible());

    // Outside: the tick inside counted one, 98 more keep it; then the mouse comes back.
    EXPECT_EQ(menu->idleCount(), 1);
    main.mouse = QPoint(100, 100);
    for (int i = 0; i < 98; ++i)
        menu->tick();
    ASSERT_TRUE(menu->isVisible());
    main.mouse = menu->geometry().center();
    menu->tick();
    EXPECT_EQ(menu->idleCount(), 1);

    // Outside again with text in the field: no close either; a key resets the count too.
    main.mouse = QPoint(100, 100);
    menu->searchField()->setText(u("дом"));
    for (int i = 0; i < 150; ++i)
        menu->tick();
    ASSERT_TRUE(menu->isVisible());
    menu->searchField()->clear();
    for (int i = 0; i < 50; ++i)
        menu->tick();
    menu->searchField()->setText(u("д"));
    type(menu->searchField(), "о");
    EXPECT_EQ(menu->idleCount(), 0);
    menu->searchField()->clear();

    // Empty and outside: the hundredth tick closes it.
    for (int i = 0; i < 99; ++i)
        menu->tick();
    ASSERT_TRUE(menu->isVisible());
    menu->tick();
    EXPECT_FALSE(menu && menu->isVisible());
}

TEST(TrayMenu, WithoutAMousePositionAtTheBottomRightOfTheScreen)
{
    FakeMain main;
    main.mouse = std::nullopt;
    QPointer<TrayMenu> menu = new TrayMenu(main.context());
    menu->popUp();
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(menu->geometry().bottomRight(), available.bottomRight());
    menu->close();
}

TEST(TrayMenu, RowClickHidesRunsTheCommandAndCloses)
{
    for (int row = 0; row < TrayCommands::RowCount; ++row) {
        FakeMain main;
        QPointer<TrayMenu> menu;
        TrayMenu::Context context = main.context();
        bool hiddenDuringCommand = false;
        context.runCommand = [&](int r) {
            hiddenDuringCommand = !menu->isVisible();
            main.commands << r;
        };
        menu = new TrayMenu(std::move(context));
        menu->popUp();
        QTest::mouseClick(child(*menu, rowName(row)), Qt::LeftButton);
        EXPECT_EQ(main.commands, QList<int>{row});
        EXPECT_TRUE(hiddenDuringCommand);
        EXPECT_FALSE(menu && menu->isVisible());
    }
}

TEST(TrayCommands, RowsRunTheirCommandsAndExitAsksOnlyWhenItShould)
{
    struct Case
    {
        int row;
        bool autorun;
        int unloadQ;
        const char *calls;
    };
    const Case cases[] = {
        {TrayCommands::Restore, false, 0, "fromTray"},
        {TrayCommands::Calendar, false, 0, "unloadAll calendar"},
        {TrayCommands::About, false, 0, "unloadAll about"},
        {TrayCommands::Options, false, 0, "unloadAll options"},
        {TrayCommands::Exit, true, 0, "unloadAll question"},
        {TrayCommands::Exit, true, 2, "unloadAll question"},
        {TrayCommands::Exit, true, 1, "exitApp"},
        {TrayCommands::Exit, false, 0, "exitApp"},
        {9, true, 0, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.row << c.autorun << c.unloadQ);
        QStringList calls;
        const auto record = [&calls](const char *name) {
            return [&calls, name] { calls << QString::fromLatin1(name); };
        };
        TrayCommands::Context context;
        context.fromTray = record("fromTray");
        context.unloadAll = record("unloadAll");
        context.showCalendar = record("calendar");
        context.showAbout = record("about");
        context.showOptions = record("options");
        context.showExitQuestion = record("question");
        context.exitApp = record("exitApp");
        context.isAutorunOn = [&c] { return c.autorun; };
        context.unloadQ = [&c] { return c.unloadQ; };
        TrayCommands(std::move(context)).run(c.row);
        EXPECT_EQ(calls.join(QLatin1Char(' ')), QString::fromLatin1(c.calls));
    }
}

TEST(ExitQuestionDialog, TextsDefaultsAndWhatEachButtonDoes)
{
    struct Case
    {
        bool secondOption;
        bool tick;
        bool confirm;
    };
    const Case cases[] = {
        {false, false, true}, {true, true, true}, {true, false, true}, {true, true, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.secondOption << c.tick << c.confirm);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("s.conf"));
        SettingsStore store = SettingsStore::atFile(file);
        store.write(SettingsSection, QStringLiteral("ToTray"), QStringLiteral("True"));
        QStringList calls;
        ExitQuestionDialog::Context context;
        context.store = &store;
        context.setAutorun = [&](bool on) { calls << (on ? u("autorun on") : u("autorun off")); };
        context.exitApp = [&] { calls << u("exit"); };
        ExitQuestionDialog dialog(std::move(context));

        EXPECT_EQ(dialog.objectName(), QStringLiteral("Dialog"));
        EXPECT_EQ(dialog.windowTitle(), u("Завершение работы ZEL Kelmor"));
        EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("Label1"))->text(),
                  u("Вы действительно хотите завершить работу ZEL Kelmor 3 ?"));
        auto *first = dialog.findChild<QRadioButton *>(QStringLiteral("Option1(0)"));
        auto *second = dialog.findChild<QRadioButton *>(QStringLiteral("Option1(1)"));
        auto *check = dialog.findChild<QCheckBox *>(QStringLiteral("Check1"));
        auto *confirm = dialog.findChild<QPushButton *>(QStringLiteral("Command1"));
        auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("Command2"));
        ASSERT_TRUE(first && second && check && confirm && cancel);
        EXPECT_EQ(first->text(),
                  u("Завершить, но автоматически запустить при следующем старте Windows"));
        EXPECT_EQ(second->text(), u("Закрыть, и отключить автозапуск при старте Windows"));
        EXPECT_EQ(check->text(), u("Больше не показывать это окно"));
        EXPECT_EQ(confirm->text(), u("Завершить"));
        EXPECT_EQ(cancel->text(), u("Отмена"));
        EXPECT_TRUE(dialog.findChild<QLabel *>(QStringLiteral("Image1")));
        EXPECT_TRUE(first->isChecked());
        EXPECT_FALSE(check->isChecked());

        dialog.show();
        if (c.secondOption)
            second->click();
        check->setChecked(c.tick);
        (c.confirm ? confirm : cancel)->click();
        EXPECT_FALSE(dialog.isVisible());
        ASSERT_TRUE(store.sync());

        QSettings raw(file, QSettings::IniFormat);
        const QString toTray = raw.value(QStringLiteral("Kelmor3/ToTray")).toString();
        const QVariant unloadQ = raw.value(QStringLiteral("Kelmor3/UnloadQ"));
        if (!c.confirm) {
            EXPECT_TRUE(calls.isEmpty());
            EXPECT_EQ(toTray, u("True"));
            EXPECT_FALSE(unloadQ.isValid());
            continue;
        }
        EXPECT_EQ(calls, c.secondOption ? (QStringList{u("autorun off"), u("exit")})
                                        : QStringList{u("exit")});
        EXPECT_EQ(toTray, c.secondOption ? u("False") : u("True"));
        EXPECT_EQ(unloadQ.toString(), c.tick ? u("1") : u("0"));
    }
}
