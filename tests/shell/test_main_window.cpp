// The main window's load, tray mode, close and ExitApp, driven on a settings file of its own.
#include "platform/about_box.h"
#include "platform/process_animation.h"
#include "platform/settings.h"
#include "platform/tray_area.h"
#include "shell/link_label.h"
#include "shell/main_window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace kelmor::platform;
using kelmor::shell::ExitState;
using kelmor::shell::MainWindow;

namespace {

class MainWindowTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    int ends = 0;
    std::unique_ptr<SettingsStore> store;

    void SetUp() override
    {
        store = std::make_unique<SettingsStore>(SettingsStore::atFile(path()));
    }

    QString path() const { return dir.filePath(QStringLiteral("ZEL_Programming.conf")); }

    std::unique_ptr<MainWindow> makeWindow(bool trayAvailable = false,
                                           const QString &baseName = QStringLiteral("kelmor"))
    {
        MainWindow::Options options;
        options.trayAvailable = trayAvailable;
        options.programFolder = dir.path();
        options.executableBaseName = baseName;
        options.endProcess = [this] { ++ends; };
        return std::make_unique<MainWindow>(*store, options);
    }

    void put(const QString &section, const char *key, const char *value)
    {
        store->write(section, QString::fromLatin1(key), QString::fromUtf8(value));
        store->sync();
    }

    // What the file says, through a fresh reader.
    QString stored(const char *key, const QString &section = SettingsSection) const
    {
        QSettings raw(path(), QSettings::IniFormat);
        QString group = section;
        group.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return raw.value(group + QLatin1Char('/') + escapeSettingsKey(QString::fromUtf8(key)))
            .toString();
    }

    QByteArray fileBytes() const
    {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

QSize screenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

} // namespace

TEST_F(MainWindowTest, EmptyStoreLoadsOnDefaults)
{
    auto w = makeWindow();
    w->Load();

    EXPECT_EQ(w->objectName(), QStringLiteral("Form1"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Сонник ZEL Kelmor ") + KELMOR_EXPECTED_VERSION);
    EXPECT_EQ(w->size(), QSize(4100 / 15, 6100 / 15));
    const QSize screen = screenSize();
    EXPECT_EQ(w->pos(), QPoint(int((screen.width() * 15 / 2.0 - 2050) / 15),
                               int((screen.height() * 15 / 2.0 - 3050) / 15)));
    EXPECT_EQ(w->location().latitude, 557500);
    EXPECT_EQ(w->location().longitude, 375833);
    EXPECT_DOUBLE_EQ(w->location().longitudeDegrees(), 37.5833);
    EXPECT_TRUE(w->ordinaryList());
    EXPECT_FALSE(w->toTrayOnClose());
    EXPECT_EQ(w->menuTransparency(), 205);
    EXPECT_TRUE(w->adminCommands().isEmpty());
    EXPECT_TRUE(w->minimumSizeRuleInstalled());
    EXPECT_TRUE(w->booksPath().endsWith(QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Books")));

    // Busy animation until Timer1 (2000 ms) hides it.
    EXPECT_TRUE(w->process()->isVisibleTo(w.get()));
    EXPECT_TRUE(w->process()->isPlaying());
    EXPECT_TRUE(w->timer1()->isActive());
    EXPECT_EQ(w->timer1()->interval(), 2000);
    w->timer1()->start(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w->timer1()->isActive(); }, 2000));
    EXPECT_FALSE(w->process()->isVisibleTo(w.get()));
    EXPECT_FALSE(w->process()->isPlaying());

    // Reading wrote nothing.
    EXPECT_FALSE(QFile::exists(path()));
}

TEST_F(MainWindowTest, CommandToolbarButtons)
{
    auto w = makeWindow();
    const struct
    {
        const char *key, *caption, *tip;
    } buttons[] = {
        {"Tolk", "Толкование", "Показать толкование / книгу (Enter)"},
        {"Calen", "Календарь", "Календарь сбываемости снов (Ctrl+M)"},
        {"HLP", "Настройки", "Настройки программы"},
    };
    for (const auto &b : buttons) {
        QAction *action = w->toolbarButton(QString::fromLatin1(b.key));
        ASSERT_NE(action, nullptr) << b.key;
        EXPECT_EQ(action->text(), QString::fromUtf8(b.caption));
        EXPECT_EQ(action->toolTip(), QString::fromUtf8(b.tip));
    }
    EXPECT_TRUE(w->toolbarButton(QStringLiteral("Tolk"))->isCheckable());
    EXPECT_NE(w->findChild<QObject *>(QStringLiteral("Toolbar1")), nullptr);
    EXPECT_NE(w->findChild<QObject *>(QStringLiteral("StatusBar1")), nullptr);
    EXPECT_NE(w->findChild<QObject *>(QStringLiteral("Label3")), nullptr);
}

TEST_F(MainWindowTest, MinimumSizeRuleOnlyUnderTheProgramsOwnName)
{
    for (const char *name : {"kelmor", "KELMOR", "Kelmor"}) {
        auto w = makeWindow(false, QString::fromLatin1(name));
        w->Load();
        EXPECT_TRUE(w->minimumSizeRuleInstalled()) << name;
        EXPECT_EQ(w->minimumSize(), QSize(260, 360)) << name;
        w->ExitApp(true);
        EXPECT_EQ(w->minimumSize(), QSize(0, 0)) << name;
    }
    for (const char *name : {"kelmor-dev", "test_shell"}) {
        auto w = makeWindow(false, QString::fromLatin1(name));
        w->Load();
        EXPECT_FALSE(w->minimumSizeRuleInstalled()) << name;
    }
}

TEST_F(MainWindowTest, LocationIsDerivedFromStoredDegreesAndMinutes)
{
    put(LocationSection, "SGraduses", "33");
    put(LocationSection, "SMinutes", "52");
    put(LocationSection, "SM", "-1");
    put(LocationSection, "DGraduses", "151");
    put(LocationSection, "DMinutes", "12");
    put(LocationSection, "DM", "1");
    auto w = makeWindow();
    w->Load();
    EXPECT_EQ(w->location().latitude, -338667);
    EXPECT_EQ(w->location().longitude, 1512000);

    // Values that are no 16-bit whole numbers fall back to the defaults.
    put(LocationSection, "SGraduses", "99999");
    put(LocationSection, "SMinutes", "north");
    auto w2 = makeWindow();
    w2->Load();
    EXPECT_EQ(w2->location().sGraduses, 55);
    EXPECT_EQ(w2->location().sMinutes, 45);
}

TEST_F(MainWindowTest, ExitInTheNormalStateSavesGeometryBooksAndListMode)
{
    auto w = makeWindow();
    w->setBookStates([] {
        return QList<ExitState::Book>{
            {QStringLiteral("/usr/share/ZEL Programming/ZEL Kelmor/3.1/Books/Миллер.book"), true},
            {QStringLiteral("/usr/share/ZEL Programming/ZEL Kelmor/3.1/Books/Ванга.book"), false},
        };
    });
    w->setLiteratureStates([] {
        return MainWindow::LiteratureStates{
            {{QStringLiteral("f:Сны.lit"), QStringLiteral("1")}}, false, true};
    });
    w->Load();
    w->move(40, 50);
    w->resize(300, 420);

    w->ExitApp(false);
    EXPECT_EQ(ends, 1);
    EXPECT_TRUE(w->hasEnded());
    EXPECT_TRUE(w->isHidden());
    EXPECT_FALSE(w->toTrayOnClose());

    EXPECT_EQ(stored("Top"), QStringLiteral("750"));
    EXPECT_EQ(stored("Left"), QStringLiteral("600"));
    EXPECT_EQ(stored("Height"), QStringLiteral("6300"));
    EXPECT_EQ(stored("Width"), QStringLiteral("4500"));
    EXPECT_EQ(stored("ListMode"), QStringLiteral("1"));
    EXPECT_EQ(stored("/usr/share/ZEL Programming/ZEL Kelmor/3.1/Books/Миллер.book", BooksSection),
              QStringLiteral("1"));
    EXPECT_EQ(stored("/usr/share/ZEL Programming/ZEL Kelmor/3.1/Books/Ванга.book", BooksSection),
              QStringLiteral("0"));
    EXPECT_EQ(stored("f:Сны.lit", BooksSection), QStringLiteral("1"));
    EXPECT_EQ(stored("LitAExpanded"), QStringLiteral("False"));
    EXPECT_EQ(stored("LitFExpanded"), QStringLiteral("True"));

    // The next start finds the window where it was left.
    auto next = makeWindow();
    next->Load();
    EXPECT_EQ(next->pos(), QPoint(40, 50));
    EXPECT_EQ(next->size(), QSize(300, 420));

    // A second ExitApp does nothing more.
    w->ExitApp(false);
    EXPECT_EQ(ends, 1);
}

TEST_F(MainWindowTest, ExitWhenMaximisedOrMinimisedLeavesTheGeometry)
{
    for (Qt::WindowState state : {Qt::WindowMaximized, Qt::WindowMinimized}) {
        SCOPED_TRACE(int(state));
        // Not multiples of 15: a rewrite from the window's pixels would show.
        put(SettingsSection, "Top", "1507");
        put(SettingsSection, "Left", "1208");
        put(SettingsSection, "Height", "6004");
        put(SettingsSection, "Width", "4503");
        put(SettingsSection, "ListMode", "7");
        auto w = makeWindow();
        w->Load();
        w->show();
        w->setWindowState(state);
        w->ExitApp(false);
        EXPECT_EQ(stored("Top"), QStringLiteral("1507"));
        EXPECT_EQ(stored("Left"), QStringLiteral("1208"));
        EXPECT_EQ(stored("Height"), QStringLiteral("6004"));
        EXPECT_EQ(stored("Width"), QStringLiteral("4503"));
        // ListMode 7 selected the several-column mode, saved as "0".
        EXPECT_EQ(stored("ListMode"), QStringLiteral("0"));
    }
}

TEST_F(MainWindowTest, FastExitWritesNothingButDeletesTheArticleFile)
{
    put(SettingsSection, "Top", "1500");
    const QByteArray before = fileBytes();
    const QString article = dir.filePath(QStringLiteral("article.doc"));
    {
        QFile f(article);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    {
        auto w = makeWindow(true);
        w->Load();
        w->ToTray();
        ASSERT_TRUE(w->tray()->isVisible());
        w->ExitApp(true);
        EXPECT_EQ(ends, 1);
        EXPECT_FALSE(w->tray()->isVisible());
        EXPECT_FALSE(QFile::exists(article));
    }
    store.reset();
    EXPECT_EQ(fileBytes(), before);
}

TEST_F(MainWindowTest, ClosingFollowsTheToTraySetting)
{
    put(SettingsSection, "ToTray", "True");
    auto w = makeWindow(true);
    QSignalSpy secondary(w.get(), &MainWindow::secondaryWindowsClosing);
    w->Load();
    w->show();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(ends, 0);
    EXPECT_TRUE(w->isHidden());
    EXPECT_TRUE(w->isInTray());
    EXPECT_TRUE(w->tray()->isVisible());
    EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(stored("Top").isEmpty());

    // A left click on the icon brings the window back in the normal state.
    Q_EMIT w->tray()->MouseDown(TrayArea::LeftButton);
    EXPECT_FALSE(w->isHidden());
    EXPECT_FALSE(w->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(w->tray()->isVisible());
    EXPECT_FALSE(w->isInTray());
    EXPECT_EQ(secondary.count(), 1);
    // The right button belongs to the tray popup.
    Q_EMIT w->tray()->MouseDown(TrayArea::RightButton);
    EXPECT_FALSE(w->isInTray());

    // With ToTray off, closing ends the program and saves.
    w->setToTrayOnClose(false);
    EXPECT_TRUE(w->close());
    EXPECT_EQ(ends, 1);
    EXPECT_FALSE(stored("Top").isEmpty());
}

TEST_F(MainWindowTest, AdminCommandGoToTray)
{
    struct Case
    {
        const char *commands;
        bool trayAvailable;
        bool inTray;
        bool minimised;
    };
    const Case cases[] = {
        {"Go_to_tray;", true, true, true},
        {"x;Go_to_tray;y;", true, true, true},
        {"go_to_tray;", true, false, false},
        {"Go_to_tray", true, false, false},
        // No notification area: only minimised, and still on screen.
        {"Go_to_tray;", false, false, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.commands);
        put(SettingsSection, "AdminCommands", c.commands);
        auto w = makeWindow(c.trayAvailable);
        w->Load();
        EXPECT_EQ(w->isInTray(), c.inTray);
        EXPECT_EQ(w->tray()->isVisible(), c.inTray);
        EXPECT_EQ(bool(w->windowState() & Qt::WindowMinimized), c.minimised);
        if (!c.trayAvailable) {
            EXPECT_TRUE(w->isVisible());
        }
    }
}

TEST_F(MainWindowTest, ComingForwardLeavesTrayMode)
{
    auto w = makeWindow(true);
    w->Load();
    w->ToTray();
    ASSERT_TRUE(w->isHidden());
    w->comeForward();
    EXPECT_FALSE(w->isHidden());
    EXPECT_FALSE(w->isInTray());
    EXPECT_FALSE(w->windowState() & Qt::WindowMinimized);

    // Minimised without a tray: restored as well.
    auto m = makeWindow(false);
    m->Load();
    m->ToTray();
    ASSERT_TRUE(m->windowState() & Qt::WindowMinimized);
    m->comeForward();
    EXPECT_FALSE(m->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(m->isVisible());
}

TEST_F(MainWindowTest, AboutLinkHoversAndOpensTheAboutBoxModally)
{
    auto w = makeWindow();
    auto *link = w->findChild<kelmor::shell::LinkLabel *>(QStringLiteral("Label3"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->text(), QStringLiteral("О программе"));
    EXPECT_EQ(link->textColor(), QColor(0, 0, 128));
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
    QApplication::sendEvent(link, &enter);
    EXPECT_EQ(link->textColor(), QColor(0, 0, 255));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_EQ(link->textColor(), QColor(0, 0, 128));

    QString seenVersion;
    bool wasModal = false;
    QTimer::singleShot(0, [&] {
        auto *about =
            qobject_cast<kelmor::platform::FormAbout *>(QApplication::activeModalWidget());
        if (!about)
            return;
        wasModal = true;
        seenVersion = about->versionText();
        about->reject();
    });
    QTest::mouseClick(link, Qt::LeftButton);
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(seenVersion, QStringLiteral("Версия: ") + KELMOR_EXPECTED_VERSION);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
}
