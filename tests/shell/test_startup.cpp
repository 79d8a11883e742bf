// Start-up: the version gate, the tray switch, the splash and its closing.
#include "platform/qt_translation.h"
#include "platform/settings.h"
#include "platform/tray_area.h"
#include "platform/version.h"
#include "shell/main_window.h"
#include "shell/splash.h"
#include "shell/startup.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <memory>

using namespace kelmor::platform;
using namespace kelmor::shell;

TEST(Startup, TraySwitchAnywhereInAnyCase)
{
    const struct
    {
        QStringList args;
        bool tray;
    } cases[] = {
        {{QStringLiteral("/tray")}, true},
        {{QStringLiteral("/TRAY")}, true},
        {{QStringLiteral("x/TrAyy")}, true},
        {{QStringLiteral("--verbose"), QStringLiteral("/Tray")}, true},
        {{}, false},
        {{QStringLiteral("tray")}, false},
        {{QStringLiteral("/tra"), QStringLiteral("y")}, false},
        {{QStringLiteral("-tray")}, false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(hasTraySwitch(c.args), c.tray) << c.args.join(QLatin1Char(' ')).toStdString();
}

TEST(Startup, WindowSwitchesOfTheMenuEntrysActions)
{
    const struct
    {
        QStringList args;
        const char *window;
    } cases[] = {
        {{QStringLiteral("/calendar")}, "calendar"},
        {{QStringLiteral("/DREAM")}, "dream"},
        {{QStringLiteral("/tray"), QStringLiteral("/Calendar")}, "calendar"},
        {{QStringLiteral("/dream"), QStringLiteral("/calendar")}, "calendar"},
        {{}, ""},
        {{QStringLiteral("/calendarx")}, ""},
        {{QStringLiteral("calendar")}, ""},
        {{QStringLiteral("/tray")}, ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(requestedWindow(c.args), QString::fromLatin1(c.window))
            << c.args.join(QLatin1Char(' ')).toStdString();
}

TEST(Startup, VersionGateRejectsMajorVersionFourOrLess)
{
    const struct
    {
        int major;
        bool passes;
    } cases[] = {{3, false}, {4, false}, {5, true}, {6, true}, {10, true}};
    for (const auto &c : cases) {
        QStringList messages;
        const bool passed =
            passesVersionGate(SystemVersion{c.major, 0}, [&](const QString &m) { messages << m; });
        EXPECT_EQ(passed, c.passes) << c.major;
        if (c.passes) {
            EXPECT_TRUE(messages.isEmpty());
        } else {
            EXPECT_EQ(messages, QStringList{QStringLiteral(
                                    "Для работы ZEL Kelmor 3 необходима Windows 2000/XP/Vista.")});
        }
    }
    EXPECT_TRUE(passesVersionGate(currentSystemVersion(), {}));
}

TEST(Startup, VersionStringIsTheProjectVersion)
{
    EXPECT_EQ(VersionString(), QStringLiteral(KELMOR_EXPECTED_VERSION));
}

TEST(Startup, QtTextsAreRussianAfterTheTranslationStep)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + QStringLiteral("/qtbase_ru.qm")))
        GTEST_SKIP() << "Qt's Russian translations are not installed (no qtbase_ru.qm in "
                     << folder.toStdString() << "; Debian package qt6-translations-l10n)";
    // The texts of a text field's standard context menu, without accelerators and keys.
    const auto menuTexts = [] {
        QLineEdit field(QStringLiteral("текст"));
        const std::unique_ptr<QMenu> menu(field.createStandardContextMenu());
        QStringList texts;
        for (const QAction *action : menu->actions())
            if (!action->isSeparator())
                texts << action->text().section(u'\t', 0, 0).remove(u'&');
        return texts;
    };
    const QStringList english = menuTexts();
    ASSERT_TRUE(english.contains(QStringLiteral("Undo"))) << english.join(u'|').toStdString();

    const std::unique_ptr<QTranslator> translator(
        kelmor::platform::installQtTranslation(*QCoreApplication::instance()));
    ASSERT_NE(translator, nullptr);
    const QStringList russian = menuTexts();
    EXPECT_EQ(russian.size(), english.size());
    for (const QString &text : russian)
        EXPECT_FALSE(english.contains(text)) << text.toStdString();
    for (const char *text : {"Копировать", "Вставить", "Выделить всё"})
        EXPECT_TRUE(russian.contains(QString::fromUtf8(text)))
            << text << " in " << russian.join(u'|').toStdString();
    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel |
                             QDialogButtonBox::Close);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove(u'&'), "Отмена");
    EXPECT_EQ(buttons.button(QDialogButtonBox::Close)->text().remove(u'&'), "Закрыть");
}

namespace {

class StartWindows : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    SettingsStore store = SettingsStore::atFile(dir.filePath(QStringLiteral("s.conf")));

    std::unique_ptr<MainWindow> makeWindow()
    {
        MainWindow::Options options;
        options.trayAvailable = true;
        options.programFolder = dir.path();
        options.endProcess = [] {};
        auto w = std::make_unique<MainWindow>(store, options);
        w->setStartingUp(true);
        return w;
    }

    static int visibleSplashes()
    {
        int n = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            n += w->objectName() == QLatin1String("Splash") && w->isVisible();
        return n;
    }
};

} // namespace

TEST_F(StartWindows, TraySwitchStartsHiddenWithoutSplash)
{
    for (const char *arg : {"/tray", "/TRAY", "x/TrAyy"}) {
        SCOPED_TRACE(arg);
        auto w = makeWindow();
        EXPECT_EQ(showStartWindows(*w, {QString::fromLatin1(arg)}), nullptr);
        EXPECT_EQ(visibleSplashes(), 0);
        EXPECT_TRUE(w->isHidden());
        EXPECT_TRUE(w->isInTray());
        EXPECT_TRUE(w->findChild<TrayArea *>(QStringLiteral("Tray1"))->isVisible());
        EXPECT_EQ(w->findChild<TrayArea *>(QStringLiteral("Tray1"))->toolTip(),
                  QStringLiteral("Сонник ZEL Kelmor 3"));
    }
}

TEST_F(StartWindows, NormalStartShowsSplashThenClosesItAfterTheWindowIsShown)
{
    auto w = makeWindow();
    QPointer<QWidget> splash = showStartWindows(*w, {});
    ASSERT_FALSE(splash.isNull());
    auto *s = qobject_cast<Splash *>(splash.data());
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->isVisible());
    EXPECT_TRUE(s->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(s->versionText(), VersionString());
    EXPECT_DOUBLE_EQ(s->windowOpacity(), 220 / 255.0);
    EXPECT_TRUE(w->isVisible());
    EXPECT_FALSE(w->isInTray());
    EXPECT_FALSE(w->findChild<TrayArea *>(QStringLiteral("Tray1"))->isVisible());

    // Timer2 (300 ms) closes it even when no window manager activates the main window.
    EXPECT_EQ(w->findChild<QTimer *>(QStringLiteral("Timer2"))->interval(), 300);
    EXPECT_TRUE(QTest::qWaitFor([&] { return splash.isNull(); }, 3000));
    EXPECT_EQ(visibleSplashes(), 0);
}
