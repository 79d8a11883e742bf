// The main window in tray mode with real book files: the right button opens the popup at the
// mouse, the popup's typing goes through the main search field and its Enter opens the viewer,
// its rows run the window's commands, and "Выход" asks the exit question only while the program
// starts at logon.
#include "calendar/calen.h"
#include "options/options_form.h"
#include "platform/about_box.h"
#include "platform/settings.h"
#include "platform/tray_area.h"
#include "shell/dictionary_pane.h"
#include "shell/main_window.h"
#include "support/book_fixture.h"
#include "tray/tray_commands.h"
#include "tray/tray_menu.h"
#include "viewer/literature_pane.h"
#include "viewer/messages.h"
#include "viewer/tolk.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

using namespace kelmor;
using kelmor::platform::SettingsSection;
using kelmor::platform::TrayArea;
using kelmor::shell::DictionaryPane;
using kelmor::shell::MainWindow;
using kelmor::testing::BookFolder;
using kelmor::tray::TrayCommands;
using kelmor::tray::TrayMenu;

namespace {

QString u(const char *text)
{
    return QString::fromUtf8(text);
}

class MainWindowTrayTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.write({QStringLiteral("a.book"),
                      QStringLiteral("Первый"),
                      {},
                      {},
                      {},
                      {{"Вода", "Про воду.", {}}, {"Дом", "Про дом.", {}}, {"Лес", "Про лес.", {}}},
                      QStringLiteral("Первый")});
        {
            QFile article(folder.textsPath() + QStringLiteral("/Вещие сны.lit"));
            article.open(QIODevice::WriteOnly);
            article.write("{\\rtf1\\ansi \\'cf\\'f0\\'ee.}");
        }
        m_oldDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", folder.dataDir().toUtf8());
        viewer::setMessageHandler([this](QWidget *, viewer::MessageIcon, const QString &,
                                         const QString &text) { messages << text; });
    }

    void TearDown() override
    {
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        store.reset();
        viewer::setMessageHandler({});
        qputenv("XDG_DATA_DIRS", m_oldDataDirs);
    }

    void start()
    {
        store = std::make_unique<platform::SettingsStore>(
            platform::SettingsStore::atFile(settingsFile()));
        MainWindow::Options options;
        options.trayAvailable = true;
        options.programFolder = folder.root();
        options.executableBaseName = QStringLiteral("kelmor");
        options.endProcess = [this] { ++ends; };
        options.isAutorunOn = [this] { return autorun; };
        options.setAutorun = [this](bool on) { autorunCalls.push_back(on); };
        options.pointerPosition = [this] { return mouse; };
        window = std::make_unique<MainWindow>(*store, options);
        window->setDictionaryPane(new DictionaryPane);
        literature = new viewer::LiteraturePane;
        window->setLiteraturePane(literature);
        window->Load();
        ASSERT_FALSE(window->hasEnded());
        window->ToTray();
        ASSERT_TRUE(window->isInTray());
    }

    QString settingsFile() const { return folder.rootPath(QStringLiteral("ZEL_Programming.conf")); }
    QString stored(const char *key) const
    {
        QSettings raw(settingsFile(), QSettings::IniFormat);
        return raw.value(QStringLiteral("Kelmor3/") + QLatin1String(key)).toString();
    }

    TrayArea *tray() const { return window->findChild<TrayArea *>(QStringLiteral("Tray1")); }
    TrayMenu *openPopup()
    {
        Q_EMIT tray()->MouseDown(TrayArea::RightButton);
        Q_EMIT tray()->MouseUp(TrayArea::RightButton);
        return window->trayMenu();
    }
    QLineEdit *mainSearchField() const
    {
        return window->findChild<DictionaryPane *>()->findChild<QLineEdit *>("Text1");
    }
    viewer::Tolk *viewerWindow() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window->findChild<viewer::Tolk *>();
    }
    static void type(QWidget *w, const char *text)
    {
        for (const QChar c : u(text))
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    static void clickRow(TrayMenu *menu, int row)
    {
        QTest::mouseClick(menu->findChild<QWidget *>(QStringLiteral("Label18(%1)").arg(row)),
                          Qt::LeftButton);
    }
    // Answers the exit question once it shows, or records that none came.
    void answerExitQuestion(bool secondOption, bool tick, bool confirm)
    {
        QTimer::singleShot(0, window.get(), [=, this] {
            QWidget *dialog = QApplication::activeModalWidget();
            if (!dialog || dialog->objectName() != QLatin1String("Dialog"))
                return;
            questions++;
            if (secondOption)
                dialog->findChild<QRadioButton *>(QStringLiteral("Option1(1)"))->click();
            dialog->findChild<QCheckBox *>(QStringLiteral("Check1"))->setChecked(tick);
            dialog
                ->findChild<QPushButton *>(confirm ? QStringLiteral("Command1")
                                                   : QStringLiteral("Command2"))
                ->click();
        });
    }

    BookFolder folder;
    QByteArray m_oldDataDirs;
    std::unique_ptr<platform::SettingsStore> store;
    std::unique_ptr<MainWindow> window;
    viewer::LiteraturePane *literature = nullptr;
    std::optional<QPoint> mouse = QPoint(700, 500); // on the 800 × 600 offscreen screen
    bool autorun = false;
    std::vector<bool> autorunCalls;
    int ends = 0;
    int questions = 0;
    QStringList messages;
};

} // namespace

TEST_F(MainWindowTrayTest, RightButtonOpensThePopupAtTheMouseAndEnterOpensTheViewer)
{
    start();
    store->write(SettingsSection, QStringLiteral("MenuTransp"), QStringLiteral("150"));
    window->setMenuTransparency(150);
    QPointer<TrayMenu> menu = openPopup();
    ASSERT_TRUE(menu);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->geometry().bottomRight() + QPoint(1, 1), *mouse);
    EXPECT_DOUBLE_EQ(menu->windowOpacity(), 150 / 255.0);
    // A second press while it is open keeps the one popup.
    EXPECT_EQ(openPopup(), menu.data());

    // The typed text goes to the main search field; the popup completes it from the list.
    type(menu->searchField(), "во");
    EXPECT_EQ(mainSearchField()->text(), u("во"));
    EXPECT_EQ(menu->searchField()->text(), u("вода"));
    EXPECT_EQ(menu->searchField()->selectedText(), u("да"));

    // Enter opens the viewer on the word; the main window stays in the tray.
    QTest::keyClick(menu->searchField(), Qt::Key_Return);
    ASSERT_TRUE(viewerWindow());
    EXPECT_TRUE(viewerWindow()->isVisible());
    EXPECT_EQ(viewerWindow()->view()->tag(), u("Вода"));
    EXPECT_TRUE(window->findChild<QAction *>(QStringLiteral("Tolk"))->isChecked());
    EXPECT_FALSE(menu && menu->isVisible());
    EXPECT_TRUE(window->isInTray());
    EXPECT_TRUE(window->isHidden());
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindowTrayTest, WhileTheLiteratureHasTheFocusEnterStillShowsTheWord)
{
    start();
    Q_EMIT literature->litFocusGained();
    ASSERT_TRUE(window->litHasFocus());
    QPointer<TrayMenu> menu = openPopup();
    type(menu->searchField(), "ДОМ");
    QTest::keyClick(menu->searchField(), Qt::Key_Return);
    ASSERT_TRUE(viewerWindow());
    EXPECT_EQ(viewerWindow()->view()->tag(), u("Дом"));
    EXPECT_FALSE(viewerWindow()->view()->showsArticle());
    EXPECT_TRUE(viewerWindow()->view()->plainText().contains(u("Про дом.")));
    EXPECT_TRUE(messages.isEmpty());
}

TEST_F(MainWindowTrayTest, RowsRunTheWindowsCommands)
{
    start();
    // "Календарь": the calendar opens, owned by the main window.
    clickRow(openPopup(), TrayCommands::Calendar);
    auto *calendar = window->findChild<calendar::Calen *>();
    ASSERT_TRUE(calendar);
    EXPECT_TRUE(calendar->isVisible());
    EXPECT_FALSE(window->trayMenu() && window->trayMenu()->isVisible());

    // "О программе": the calendar closes, the about box opens without blocking.
    clickRow(openPopup(), TrayCommands::About);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->findChild<calendar::Calen *>() &&
                 window->findChild<calendar::Calen *>()->isVisible());
    auto *about = window->findChild<platform::FormAbout *>();
    ASSERT_TRUE(about);
    EXPECT_TRUE(about->isVisible());
    EXPECT_FALSE(about->isModal());

    // "Настройки": the about box closes, the options open on their first tab without blocking,
    // reading autorun through the window's.
    QSignalSpy options(window.get(), &MainWindow::optionsRequested);
    autorun = true;
    clickRow(openPopup(), TrayCommands::Options);
    EXPECT_EQ(options.count(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->findChild<platform::FormAbout *>() &&
                 window->findChild<platform::FormAbout *>()->isVisible());
    auto *optionsWindow = window->findChild<kelmor::options::OptionsForm *>();
    ASSERT_TRUE(optionsWindow);
    EXPECT_TRUE(optionsWindow->isVisible());
    EXPECT_FALSE(optionsWindow->isModal());
    EXPECT_EQ(optionsWindow->tab(), 1);
    EXPECT_TRUE(optionsWindow->findChild<QCheckBox *>(QStringLiteral("Check2"))->isChecked());
    autorun = false;

    // "Развернуть": out of the tray, the about box and the options closed, the icon gone.
    clickRow(openPopup(), TrayCommands::Restore);
    EXPECT_FALSE(window->isInTray());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(tray()->isVisible());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window->findChild<platform::FormAbout *>());
    EXPECT_FALSE(window->findChild<kelmor::options::OptionsForm *>());
    EXPECT_TRUE(autorunCalls.empty());
    EXPECT_EQ(ends, 0);
}

TEST_F(MainWindowTrayTest, ExitEndsAtOnceUnlessAutorunIsOnAndTheQuestionNotDeclined)
{
    struct Case
    {
        const char *what;
        bool autorun;
        const char *unloadQ; // stored before, or nullptr
        bool secondOption, tick, confirm;
        int questions;
        int ends;
        const char *toTray; // afterwards; it was "True"
        const char *unloadQAfter;
        std::vector<bool> autorunCalls;
    };
    const Case cases[] = {
        {"autorun off", false, nullptr, false, false, true, 0, 1, "True", "", {}},
        {"question declined for good", true, "1", false, false, true, 0, 1, "True", "1", {}},
        {"asked, first option", true, nullptr, false, false, true, 1, 1, "True", "0", {}},
        {"asked, second option, ticked", true, "0", true, true, true, 1, 1, "False", "1", {false}},
        {"asked, cancelled", true, nullptr, true, true, false, 1, 0, "True", "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        {
            QSettings raw(settingsFile(), QSettings::IniFormat);
            raw.clear();
            raw.setValue(QStringLiteral("Kelmor3/ToTray"), QStringLiteral("True"));
            if (c.unloadQ)
                raw.setValue(QStringLiteral("Kelmor3/UnloadQ"), QString::fromLatin1(c.unloadQ));
        }
        ends = 0;
        questions = 0;
        autorunCalls.clear();
        autorun = c.autorun;
        start();
        QPointer<TrayMenu> menu = openPopup();
        answerExitQuestion(c.secondOption, c.tick, c.confirm);
        clickRow(menu, TrayCommands::Exit);
        QCoreApplication::processEvents(); // a timer that found no question
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(ends, c.ends);
        EXPECT_EQ(autorunCalls, c.autorunCalls);
        EXPECT_EQ(tray()->isVisible(), c.ends == 0);
        window.reset();
        store.reset();
        EXPECT_EQ(stored("ToTray"), QString::fromLatin1(c.toTray));
        EXPECT_EQ(stored("UnloadQ"), QString::fromLatin1(c.unloadQAfter));
        // An exit saved the user's state.
        EXPECT_EQ(!stored("LastWord").isEmpty(), c.ends == 1);
    }
}

TEST_F(MainWindowTrayTest, ExitClosesAnOpenPopup)
{
    start();
    QPointer<TrayMenu> menu = openPopup();
    ASSERT_TRUE(menu && menu->isVisible());
    window->ExitApp(false);
    EXPECT_FALSE(menu && menu->isVisible());
    EXPECT_FALSE(tray()->isVisible());
}
