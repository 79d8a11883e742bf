// The main window's load, tray mode, close and ExitApp, driven on a settings file of its own.
#include "calendar/calen.h"
#include "options/options_form.h"
#include "platform/about_box.h"
#include "platform/process_animation.h"
#include "platform/settings.h"
#include "platform/tray_area.h"
#include "registry/registry_fixture.h"
#include "shell/dictionary_pane.h"
#include "shell/link_label.h"
#include "shell/main_window.h"
#include "support/book_fixture.h"
#include "viewer/literature_pane.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <csignal>
#include <functional>
#include <memory>

#include <sys/resource.h>

using namespace kelmor::platform;
using kelmor::shell::DictionaryPane;
using kelmor::shell::MainWindow;
using kelmor::testing::BookFolder;
using kelmor::viewer::LiteraturePane;

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
        return stored(QString::fromUtf8(key), section);
    }
    QString stored(const QString &key, const QString &section) const
    {
        QSettings raw(path(), QSettings::IniFormat);
        QString group = section;
        group.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return raw.value(group + QLatin1Char('/') + escapeSettingsKey(key)).toString();
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

// The window's controls, found as a user's tools find them: by their names.
TrayArea *trayOf(const MainWindow &w)
{
    return w.findChild<TrayArea *>(QStringLiteral("Tray1"));
}
QTimer *busyTimerOf(const MainWindow &w)
{
    return w.findChild<QTimer *>(QStringLiteral("Timer1"));
}
ProcessAnimation *busyAnimationOf(const MainWindow &w)
{
    return w.findChild<ProcessAnimation *>(QStringLiteral("Process1"));
}
QAction *buttonOf(const MainWindow &w, const char *key)
{
    return w.findChild<QAction *>(QString::fromLatin1(key));
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
    EXPECT_FALSE(w->toTrayOnClose());
    EXPECT_EQ(w->menuTransparency(), 205);
    EXPECT_FALSE(w->isInTray()); // no admin command
    EXPECT_EQ(w->minimumSize(), QSize(260, 360));
    EXPECT_TRUE(w->booksPath().endsWith(QStringLiteral("/ZEL Programming/ZEL Kelmor/3.1/Books")));

    // Busy animation until Timer1 (2000 ms) hides it.
    ProcessAnimation *busy = busyAnimationOf(*w);
    QTimer *timer = busyTimerOf(*w);
    ASSERT_NE(busy, nullptr);
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(busy->isVisibleTo(w.get()));
    EXPECT_TRUE(busy->isPlaying());
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 2000);
    timer->start(1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !timer->isActive(); }, 2000));
    EXPECT_FALSE(busy->isVisibleTo(w.get()));
    EXPECT_FALSE(busy->isPlaying());

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
        QAction *action = buttonOf(*w, b.key);
        ASSERT_NE(action, nullptr) << b.key;
        EXPECT_EQ(action->text(), QString::fromUtf8(b.caption));
        EXPECT_EQ(action->toolTip(), QString::fromUtf8(b.tip));
    }
    EXPECT_TRUE(buttonOf(*w, "Tolk")->isCheckable());
    EXPECT_NE(w->findChild<QObject *>(QStringLiteral("Toolbar1")), nullptr);
    EXPECT_NE(w->findChild<QObject *>(QStringLiteral("StatusBar1")), nullptr);
    EXPECT_NE(w->findChild<QObject *>(QStringLiteral("Label3")), nullptr);
}

TEST_F(MainWindowTest, MinimumSizeRuleOnlyUnderTheProgramsOwnName)
{
    for (const char *name : {"kelmor", "KELMOR", "Kelmor"}) {
        auto w = makeWindow(false, QString::fromLatin1(name));
        w->Load();
        EXPECT_EQ(w->minimumSize(), QSize(260, 360)) << name;
        w->ExitApp(true);
        EXPECT_EQ(w->minimumSize(), QSize(0, 0)) << name;
    }
    for (const char *name : {"kelmor-dev", "test_shell"}) {
        auto w = makeWindow(false, QString::fromLatin1(name));
        w->Load();
        EXPECT_EQ(w->minimumSize(), QSize(0, 0)) << name;
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

    // Values that are no whole numbers, or lie outside their ranges, are garbage: each gives
    // its default, so the place stays on the globe.
    const struct
    {
        const char *key;
        const char *value;
    } garbage[] = {
        {"SGraduses", "-32768"}, {"SMinutes", "north"}, {"SM", "5"},
        {"DGraduses", "181"},    {"DMinutes", "60"},    {"DM", "0"},
    };
    for (const auto &g : garbage)
        put(LocationSection, g.key, g.value);
    auto w2 = makeWindow();
    w2->Load();
    const kelmor::calendar::Location defaults;
    EXPECT_EQ(w2->location().sGraduses, 55);
    EXPECT_EQ(w2->location().sMinutes, 45);
    EXPECT_EQ(w2->location().sM, 1);
    EXPECT_EQ(w2->location().dGraduses, 37);
    EXPECT_EQ(w2->location().dMinutes, 35);
    EXPECT_EQ(w2->location().dM, 1);
    EXPECT_EQ(w2->location().latitude, defaults.latitude);
    EXPECT_EQ(w2->location().longitude, defaults.longitude);

    // The ends of the ranges are places, not garbage: the pole and the date line, due west.
    put(LocationSection, "SGraduses", "90");
    put(LocationSection, "SMinutes", "0");
    put(LocationSection, "SM", "1");
    put(LocationSection, "DGraduses", "180");
    put(LocationSection, "DMinutes", "59");
    put(LocationSection, "DM", "-1");
    auto w3 = makeWindow();
    w3->Load();
    EXPECT_EQ(w3->location().latitude, 900000);
    EXPECT_EQ(w3->location().longitude, -1809833); // -(180 + 59/60) to four decimals
}

// The popup's opacity is 0..255; anything else stored is garbage and gives the default.
TEST_F(MainWindowTest, MenuTransparencyOutsideItsRangeGivesTheDefault)
{
    const struct
    {
        const char *stored;
        int loaded;
    } cases[] = {{"0", 0}, {"35", 35}, {"255", 255}, {"256", 205}, {"-1", 205}, {"много", 205}};
    for (const auto &c : cases) {
        put(SettingsSection, "MenuTransp", c.stored);
        auto w = makeWindow();
        w->Load();
        EXPECT_EQ(w->menuTransparency(), c.loaded) << c.stored;
    }
}

TEST_F(MainWindowTest, ExitInTheNormalStateSavesGeometryBooksAndListMode)
{
    // Two books, the second switched off by its toolbar button.
    BookFolder books;
    books.write(
        {QStringLiteral("Миллер.book"), QStringLiteral("Миллер"), {QStringLiteral("Вода")}});
    books.write({QStringLiteral("Ванга.book"), QStringLiteral("Ванга"), {QStringLiteral("Дом")}});
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", books.dataDir().toUtf8());
    // One article, made a favourite; the tree's first root collapsed.
    const QString article = books.textsPath() + QStringLiteral("/Сны.lit");
    {
        QFile f(article);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1 text}");
    }
    auto w = makeWindow();
    w->setDictionaryPane(new DictionaryPane);
    auto *literature = new LiteraturePane;
    w->setLiteraturePane(literature);
    w->Load();
    qputenv("XDG_DATA_DIRS", dataDirs);
    w->findChild<QAction *>(books.filePath(QStringLiteral("Ванга.book")))->trigger();
    ASSERT_TRUE(literature->selectNode(article));
    literature->addToFavourites();
    auto *tree = literature->findChild<QTreeView *>(QStringLiteral("TreeView1"));
    tree->collapse(tree->model()->index(0, 0));
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
    EXPECT_EQ(stored(books.filePath(QStringLiteral("Миллер.book")), BooksSection),
              QStringLiteral("1"));
    EXPECT_EQ(stored(books.filePath(QStringLiteral("Ванга.book")), BooksSection),
              QStringLiteral("0"));
    EXPECT_EQ(stored(article, BooksSection), QStringLiteral("f"));
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

TEST_F(MainWindowTest, SettingsThatCannotBeSavedAreReportedAndTheOldFileKept)
{
    // A full disk, as the process's file size limit makes one: the settings file may not grow.
    put(SettingsSection, "Top", "1500");
    const QByteArray before = fileBytes();
    QStringList reports;
    MainWindow::Options options;
    options.trayAvailable = false;
    options.programFolder = dir.path();
    options.executableBaseName = QStringLiteral("kelmor");
    options.endProcess = [this] { ++ends; };
    options.reportSaveFailure = [&](const QString &message) { reports << message; };
    {
        MainWindow w(*store, options);
        w.Load();
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
        const rlimit saved = limit;
        limit.rlim_cur = rlim_t(before.size());
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
        w.ExitApp(false);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
    }
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("Не удалось сохранить настройки в файл ")))
        << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains(path())) << reports[0].toStdString();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(fileBytes(), before);

    // A folder in the way of the file: the reason names it.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    SettingsStore blocked =
        SettingsStore::atFile(dir.filePath(QStringLiteral("blocker/ZEL_Programming.conf")));
    {
        MainWindow w(blocked, options);
        w.Load();
        w.ExitApp(false);
    }
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[1].contains(QStringLiteral("путь к папке занят файлом")))
        << reports[1].toStdString();
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
        ASSERT_TRUE(trayOf(*w)->isVisible());
        w->ExitApp(true);
        EXPECT_EQ(ends, 1);
        EXPECT_FALSE(trayOf(*w)->isVisible());
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
    EXPECT_TRUE(trayOf(*w)->isVisible());
    EXPECT_TRUE(w->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(stored("Top").isEmpty());

    // A left click on the icon brings the window back in the normal state.
    Q_EMIT trayOf(*w)->MouseDown(TrayArea::LeftButton);
    EXPECT_FALSE(w->isHidden());
    EXPECT_FALSE(w->windowState() & Qt::WindowMinimized);
    EXPECT_FALSE(trayOf(*w)->isVisible());
    EXPECT_FALSE(w->isInTray());
    EXPECT_EQ(secondary.count(), 1);
    // The right button belongs to the tray popup.
    Q_EMIT trayOf(*w)->MouseDown(TrayArea::RightButton);
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
        EXPECT_EQ(trayOf(*w)->isVisible(), c.inTray);
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

    // Minimised without a tray: restored as well, and its secondary windows stay open (only
    // leaving the tray closes them).
    auto m = makeWindow(false);
    QSignalSpy closing(m.get(), &MainWindow::secondaryWindowsClosing);
    m->Load();
    m->ToTray();
    ASSERT_TRUE(m->windowState() & Qt::WindowMinimized);
    m->comeForward();
    EXPECT_FALSE(m->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(m->isVisible());
    EXPECT_EQ(closing.count(), 0);

    // Leaving the tray does close them.
    w->ToTray();
    QSignalSpy trayClosing(w.get(), &MainWindow::secondaryWindowsClosing);
    w->comeForward();
    EXPECT_EQ(trayClosing.count(), 1);
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

// The calendar button opens one calendar window, owned and not modal, on the place the load
// read; the button stays pressed while it is open; closing it, leaving the tray and the exit
// release the button.
TEST_F(MainWindowTest, CalendarButtonOpensOneCalendarAndIsReleasedWhenItCloses)
{
    // Vladivostok, 43°07' N 131°54' E.
    put(LocationSection, "CityName", "Владивосток");
    put(LocationSection, "SGraduses", "43");
    put(LocationSection, "SMinutes", "7");
    put(LocationSection, "DGraduses", "131");
    put(LocationSection, "DMinutes", "54");
    auto w = makeWindow(true);
    w->Load();
    w->show();
    QAction *button = buttonOf(*w, "Calen");
    ASSERT_TRUE(button->isCheckable());
    const auto calendars = [&w] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return w->findChildren<kelmor::calendar::Calen *>(QStringLiteral("Calen"));
    };

    button->trigger();
    ASSERT_EQ(calendars().size(), 1);
    kelmor::calendar::Calen *calendar = calendars().front();
    EXPECT_TRUE(calendar->isVisible());
    EXPECT_TRUE(calendar->isWindow());
    EXPECT_FALSE(calendar->isModal());
    EXPECT_FALSE(calendar->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(button->isChecked());
    auto *settlement = calendar->findChild<QLabel *>(QStringLiteral("Label7"));
    ASSERT_NE(settlement, nullptr);
    EXPECT_TRUE(settlement->text().contains(QStringLiteral("Владивосток")));
    EXPECT_TRUE(calendar->findChild<QLabel *>(QStringLiteral("Label9"))
                    ->text()
                    .startsWith(QStringLiteral("43°7' с.ш.  131°54' в.д ")));

    // Pressed again, the same window comes back from the task bar and the button stays pressed.
    calendar->showMinimized();
    button->trigger();
    ASSERT_EQ(calendars().size(), 1);
    EXPECT_EQ(calendars().front(), calendar);
    EXPECT_FALSE(calendar->windowState() & Qt::WindowMinimized);
    EXPECT_TRUE(button->isChecked());

    calendar->close();
    EXPECT_FALSE(button->isChecked());
    EXPECT_TRUE(calendars().isEmpty());

    // Leaving the tray and the exit close it too.
    button->trigger();
    ASSERT_EQ(calendars().size(), 1);
    w->ToTray();
    w->FromTray();
    EXPECT_TRUE(calendars().isEmpty());
    EXPECT_FALSE(button->isChecked());
    button->trigger();
    ASSERT_EQ(calendars().size(), 1);
    w->ExitApp(true);
    EXPECT_TRUE(calendars().isEmpty());
    EXPECT_FALSE(button->isChecked());
}

namespace {

// Runs action on the modal options window once it is up (inside its exec); when none comes up
// within five seconds the test fails and whatever modal window is up is closed.
void whenOptionsOpen(std::function<void(kelmor::options::OptionsForm *)> action,
                     int triesLeft = 250)
{
    QTimer::singleShot(20, [action, triesLeft] {
        if (auto *form =
                qobject_cast<kelmor::options::OptionsForm *>(QApplication::activeModalWidget())) {
            action(form);
            return;
        }
        if (triesLeft > 0) {
            whenOptionsOpen(action, triesLeft - 1);
            return;
        }
        ADD_FAILURE() << "the options window did not open";
        if (QWidget *other = QApplication::activeModalWidget())
            other->close();
    });
}

template <typename W> W *optionsControl(kelmor::options::OptionsForm *form, const char *name)
{
    return form->findChild<W *>(QString::fromLatin1(name));
}

} // namespace

// "Настройки" opens the options modally on the first tab, over this window. The slider moves
// the popup's opacity at once, also when cancelled, but only "Ok" stores; "Ok" also makes
// tray-on-close and the place the window's, and writes the file at once.
TEST_F(MainWindowTest, OptionsButtonOpensTheOptionsOnTheFirstTab)
{
    kelmor::testing::ScratchConfig config("kelmor-main-options-");
    auto w = makeWindow(true);
    w->Load();
    w->show();
    const auto optionsWindows = [&w] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return w->findChildren<kelmor::options::OptionsForm *>();
    };

    int tab = 0;
    QWidget *owner = nullptr;
    whenOptionsOpen([&](kelmor::options::OptionsForm *form) {
        tab = form->tab();
        owner = form->parentWidget();
        optionsControl<QSlider>(form, "Slider1")->setValue(220);
        optionsControl<QPushButton>(form, "Command2")->click();
    });
    buttonOf(*w, "HLP")->trigger();
    EXPECT_EQ(tab, 1);
    EXPECT_EQ(owner, w.get());
    EXPECT_EQ(w->menuTransparency(), 35);
    EXPECT_EQ(stored("MenuTransp"), QString());
    EXPECT_TRUE(optionsWindows().isEmpty());

    whenOptionsOpen([&](kelmor::options::OptionsForm *form) {
        // It opens on the values of the window: the opacity the slider left.
        EXPECT_EQ(optionsControl<QSlider>(form, "Slider1")->value(), 220);
        optionsControl<QCheckBox>(form, "Check1")->click();
        optionsControl<QSlider>(form, "Slider1")->setValue(50);
        optionsControl<QLineEdit>(form, "Text1")->setText(QStringLiteral("Владивосток"));
        optionsControl<QComboBox>(form, "Combo7")->setCurrentIndex(43);
        optionsControl<QComboBox>(form, "Combo8")->setCurrentIndex(7);
        optionsControl<QComboBox>(form, "Combo12")->setCurrentIndex(131);
        optionsControl<QComboBox>(form, "Combo11")->setCurrentIndex(54);
        optionsControl<QPushButton>(form, "Command1")->click();
    });
    buttonOf(*w, "HLP")->trigger();
    EXPECT_TRUE(w->toTrayOnClose());
    EXPECT_EQ(w->menuTransparency(), 205);
    EXPECT_EQ(w->location().cityName, "Владивосток");
    EXPECT_EQ(w->location().latitude, 431167);
    EXPECT_EQ(w->location().longitude, 1319000);
    // In the file already, not only at exit.
    EXPECT_EQ(stored("ToTray"), QStringLiteral("True"));
    EXPECT_EQ(stored("MenuTransp"), QStringLiteral("205"));
    EXPECT_EQ(stored("CityName", LocationSection), QStringLiteral("Владивосток"));
    EXPECT_TRUE(optionsWindows().isEmpty());
}

// A click on the calendar's settlement opens the options on the location tab; once they close,
// the calendar shows the place again and calculates for it.
TEST_F(MainWindowTest, CalendarSettlementOpensTheLocationTabAndRecalculatesAfter)
{
    kelmor::testing::ScratchConfig config("kelmor-main-options-");
    auto w = makeWindow(true);
    w->Load();
    w->show();
    buttonOf(*w, "Calen")->trigger();
    auto *calendar = w->findChild<kelmor::calendar::Calen *>(QStringLiteral("Calen"));
    ASSERT_NE(calendar, nullptr);
    auto *settlement = calendar->findChild<QLabel *>(QStringLiteral("Label7"));
    auto *coordinates = calendar->findChild<QLabel *>(QStringLiteral("Label9"));
    QSignalSpy calculated(calendar, &kelmor::calendar::Calen::calculated);

    int tab = 0;
    whenOptionsOpen([&](kelmor::options::OptionsForm *form) {
        tab = form->tab();
        // Novosibirsk, 55°02' N 82°55' E.
        optionsControl<QLineEdit>(form, "Text1")->setText(QStringLiteral("Новосибирск"));
        optionsControl<QComboBox>(form, "Combo8")->setCurrentIndex(2);
        optionsControl<QComboBox>(form, "Combo12")->setCurrentIndex(82);
        optionsControl<QComboBox>(form, "Combo11")->setCurrentIndex(55);
        optionsControl<QPushButton>(form, "Command1")->click();
    });
    QMetaObject::invokeMethod(settlement, "linkActivated",
                              Q_ARG(QString, QStringLiteral("location")));
    EXPECT_EQ(tab, 2);
    EXPECT_EQ(calculated.size(), 1);
    EXPECT_TRUE(settlement->text().contains(QStringLiteral("Новосибирск")));
    EXPECT_TRUE(coordinates->text().startsWith(QStringLiteral("55°2' с.ш.  82°55' в.д ")))
        << coordinates->text().toStdString();
    EXPECT_EQ(calendar->place().longitude, 829167);

    // Cancelled, the calendar calculates again, on the same place.
    whenOptionsOpen([&](kelmor::options::OptionsForm *form) {
        optionsControl<QLineEdit>(form, "Text1")->setText(QStringLiteral("Омск"));
        optionsControl<QPushButton>(form, "Command2")->click();
    });
    QMetaObject::invokeMethod(settlement, "linkActivated",
                              Q_ARG(QString, QStringLiteral("location")));
    EXPECT_EQ(calculated.size(), 2);
    EXPECT_TRUE(settlement->text().contains(QStringLiteral("Новосибирск")));
    EXPECT_EQ(calendar->place().longitude, 829167);

    // A name left blank still leaves something to click.
    whenOptionsOpen([&](kelmor::options::OptionsForm *form) {
        optionsControl<QLineEdit>(form, "Text1")->setText(QStringLiteral("  "));
        optionsControl<QPushButton>(form, "Command1")->click();
    });
    QMetaObject::invokeMethod(settlement, "linkActivated",
                              Q_ARG(QString, QStringLiteral("location")));
    EXPECT_EQ(stored("CityName", LocationSection), QStringLiteral("  "));
    EXPECT_EQ(settlement->text(), QStringLiteral("<a href=\"location\">Населенный пункт</a>"));
}
