// Window opacity with its colour key, the tray icon wrapper, the busy animation, the single
// instance socket, the termination watcher and Qt's Russian texts.
#include "platform/about_box.h"
#include "platform/process_animation.h"
#include "platform/single_instance.h"
#include "platform/termination.h"
#include "platform/tray_area.h"
#include "platform/version.h"
#include "platform/window_alpha.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTranslator>
#include <QUuid>
#include <QWidget>

#include <csignal>

using namespace kelmor::platform;

namespace {

// A window painting one dark-red (128, 0, 0) square at (10, 10) on grey, plus a near miss.
class KeyedWindow : public QWidget
{
protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::gray);
        p.fillRect(QRect(10, 10, 20, 20), QColor(128, 0, 0));
        p.fillRect(QRect(40, 10, 20, 20), QColor(129, 0, 0));
    }
};

QString uniqueServerName()
{
    return QStringLiteral("kelmor-test-") + QUuid::createUuid().toString(QUuid::Id128).left(16);
}

} // namespace

TEST(WindowAlpha, OpacityAndColourKeyMask)
{
    KeyedWindow w;
    w.resize(80, 40);
    const bool shown = SetWindowAlpha(&w, 220);
    EXPECT_DOUBLE_EQ(w.windowOpacity(), 220 / 255.0);
    // The offscreen platform shows no opacity and says so.
    EXPECT_EQ(shown, windowOpacitySupported());
    EXPECT_FALSE(shown);

    const QRegion mask = w.mask();
    EXPECT_FALSE(mask.contains(QPoint(15, 15)));
    EXPECT_FALSE(mask.contains(QPoint(29, 29)));
    EXPECT_TRUE(mask.contains(QPoint(45, 15)));
    EXPECT_TRUE(mask.contains(QPoint(5, 5)));
    EXPECT_TRUE(mask.contains(QPoint(70, 35)));

    // Out-of-range opacities are clamped; a null window is refused without harm.
    SetWindowAlpha(&w, 999);
    EXPECT_DOUBLE_EQ(w.windowOpacity(), 1.0);
    EXPECT_FALSE(SetWindowAlpha(nullptr, 100));
}

TEST(WindowAlpha, NoKeyedPixelsLeavesNoMask)
{
    QLabel plain(QStringLiteral("plain"));
    plain.resize(60, 20);
    SetWindowAlpha(&plain, 128);
    EXPECT_TRUE(plain.mask().isEmpty());
}

TEST(TrayArea, PropertiesFollowTheirRules)
{
    TrayArea tray;
    EXPECT_FALSE(tray.isVisible());
    EXPECT_TRUE(tray.icon().isNull());

    tray.setToolTip(QStringLiteral("   Сонник ZEL Kelmor 3  "));
    EXPECT_EQ(tray.toolTip(), QStringLiteral("Сонник ZEL Kelmor 3"));
    EXPECT_EQ(tray.property("ToolTip").toString(), QStringLiteral("Сонник ZEL Kelmor 3"));

    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    tray.setIcon(QIcon(pixmap));
    tray.setVisible(true);
    tray.setVisible(true);
    EXPECT_TRUE(tray.isVisible());
    EXPECT_TRUE(tray.property("Visible").toBool());
    // Taking the icon away takes the icon off the notification area.
    tray.setIcon(QIcon());
    EXPECT_FALSE(tray.isVisible());

    // The tooltip the icon carries is cut to 64 characters; the property keeps it whole.
    const QString longTip(100, QLatin1Char('x'));
    tray.setToolTip(longTip);
    EXPECT_EQ(tray.toolTip(), longTip);
    tray.setIcon(QIcon(pixmap));
    tray.setVisible(true);
    const auto icons = tray.findChildren<QSystemTrayIcon *>();
    ASSERT_EQ(icons.size(), 1);
    EXPECT_EQ(icons.first()->toolTip().size(), TrayArea::MaxToolTipLength);
}

TEST(TrayArea, DesktopClicksBecomeMouseEvents)
{
    TrayArea tray;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    tray.setIcon(QIcon(pixmap));
    tray.setVisible(true);
    QSystemTrayIcon *icon = tray.findChild<QSystemTrayIcon *>();
    ASSERT_NE(icon, nullptr);

    QList<QString> events;
    QObject::connect(&tray, &TrayArea::MouseDown,
                     [&](int b) { events << QStringLiteral("down%1").arg(b); });
    QObject::connect(&tray, &TrayArea::MouseUp,
                     [&](int b) { events << QStringLiteral("up%1").arg(b); });
    QObject::connect(&tray, &TrayArea::DblClick, [&] { events << QStringLiteral("dbl"); });
    Q_EMIT icon->activated(QSystemTrayIcon::Trigger);
    Q_EMIT icon->activated(QSystemTrayIcon::Context);
    Q_EMIT icon->activated(QSystemTrayIcon::DoubleClick);
    Q_EMIT icon->activated(QSystemTrayIcon::MiddleClick);
    EXPECT_EQ(events, (QList<QString>{QStringLiteral("down1"), QStringLiteral("up1"),
                                      QStringLiteral("down2"), QStringLiteral("up2"),
                                      QStringLiteral("dbl")}));
}

TEST(TrayArea, ToolTipCutAtSixtyFourWithoutSplittingACharacter)
{
    const QString tip = QStringLiteral("Сонник ZEL Kelmor 3");
    EXPECT_EQ(TrayArea::cutToolTip(tip), tip);
    const QString exact(64, QChar(u'ж'));
    EXPECT_EQ(TrayArea::cutToolTip(exact), exact);
    EXPECT_EQ(TrayArea::cutToolTip(exact + QStringLiteral("xyz")), exact);
    // A character outside the basic plane across the cut goes whole or not at all.
    const QString moon =
        QString(63, QLatin1Char('a')) + QString::fromUtf8("\U0001F319") + QStringLiteral("b");
    EXPECT_EQ(TrayArea::cutToolTip(moon), QString(63, QLatin1Char('a')));
    const QString moonInside =
        QString(62, QLatin1Char('a')) + QString::fromUtf8("\U0001F319") + QStringLiteral("b");
    EXPECT_EQ(TrayArea::cutToolTip(moonInside).size(), 64);

    // The icon's own tooltip follows every change, also while it is hidden.
    TrayArea tray;
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    tray.setIcon(QIcon(pixmap));
    tray.setVisible(true);
    tray.setVisible(false);
    tray.setToolTip(exact + QStringLiteral("xyz"));
    auto *icon = tray.findChild<QSystemTrayIcon *>();
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), exact);
    // Shown twice: one icon, shown; hidden twice: hidden.
    tray.setVisible(true);
    tray.setVisible(true);
    EXPECT_EQ(tray.findChildren<QSystemTrayIcon *>().size(), 1);
    EXPECT_TRUE(icon->isVisible());
    tray.setVisible(false);
    tray.setVisible(false);
    EXPECT_FALSE(icon->isVisible());
}

TEST(TrayArea, MenuOnlyWhereTheNotificationAreaShowsOnlyMenus)
{
    struct Case
    {
        const char *desktop;
        bool onlyMenus;
    };
    const Case cases[] = {
        {"GNOME", true},
        {"ubuntu:GNOME", true},
        {"gnome", true},
        {"KDE", false},
        {"XFCE", false},
        {"", false},
        {"GNOME-Flashback:GNOME", true},
        {"X-Cinnamon", false},
        {"GNOMEX", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(TrayArea::hostShowsOnlyMenus(QString::fromLatin1(c.desktop)), c.onlyMenus)
            << c.desktop;

    const QByteArray old = qgetenv("XDG_CURRENT_DESKTOP");
    QMenu menu;
    for (const char *desktop : {"KDE", "ubuntu:GNOME"}) {
        qputenv("XDG_CURRENT_DESKTOP", desktop);
        TrayArea tray;
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::blue);
        tray.setIcon(QIcon(pixmap));
        tray.setHostMenu(&menu);
        tray.setVisible(true);
        const bool gnome = std::string(desktop) != "KDE";
        EXPECT_EQ(tray.usesHostMenu(), gnome) << desktop;
        EXPECT_EQ(tray.findChild<QSystemTrayIcon *>()->contextMenu(), gnome ? &menu : nullptr)
            << desktop;
    }
    qputenv("XDG_CURRENT_DESKTOP", old);
}

TEST(ProcessAnimation, PlayStopReset)
{
    ProcessAnimation p;
    EXPECT_FALSE(p.isPlaying());
    p.ProgressPlay();
    EXPECT_TRUE(p.isPlaying());
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.frame() != 0; }, 2000));
    p.ProgressStop();
    EXPECT_FALSE(p.isPlaying());
    const int stoppedAt = p.frame();
    QTest::qWait(250);
    EXPECT_EQ(p.frame(), stoppedAt);
    p.ProgressReset();
    EXPECT_EQ(p.frame(), 0);
}

TEST(AboutBox, ShowsTheVersion)
{
    FormAbout about;
    EXPECT_EQ(about.versionText(), QStringLiteral("Версия: ") + VersionString());
}

TEST(SingleInstance, SecondStartReachesTheFirst)
{
    const QString name = uniqueServerName();
    SingleInstance first(name);
    SingleInstance second(name);
    EXPECT_FALSE(second.notifyRunningInstance(200)) << "nobody listens yet";

    ASSERT_TRUE(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    EXPECT_TRUE(second.notifyRunningInstance());
    EXPECT_TRUE(activations.wait(3000));
    EXPECT_EQ(activations.count(), 1);
}

TEST(SingleInstance, ClaimGivesOnePrimary)
{
    const QString name = uniqueServerName();
    SingleInstance first(name);
    SingleInstance second(name);
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    EXPECT_EQ(first.claim(), SingleInstance::Role::Primary);
    EXPECT_EQ(second.claim(), SingleInstance::Role::Secondary);
    EXPECT_TRUE(activations.wait(3000));
}

TEST(SingleInstance, SecondStartPassesOnTheWindowItAsksFor)
{
    const QString name = uniqueServerName();
    SingleInstance first(name);
    ASSERT_TRUE(first.listen());
    QSignalSpy activations(&first, &SingleInstance::activationRequested);
    QSignalSpy windows(&first, &SingleInstance::windowRequested);

    SingleInstance second(name);
    EXPECT_EQ(second.claim(3000, QStringLiteral("calendar")), SingleInstance::Role::Secondary);
    ASSERT_TRUE(windows.wait(3000));
    EXPECT_EQ(activations.count(), 1) << "it comes forward first";
    EXPECT_EQ(windows.takeFirst().at(0).toString(), QStringLiteral("calendar"));

    // Names that are no window's are not passed on; the start still brings the first forward.
    for (const QString &bad : {QString(), QStringLiteral("Calendar"), QStringLiteral("a b"),
                               QStringLiteral("x\nopen dream"), QString(40, u'a')}) {
        SingleInstance later(name);
        EXPECT_TRUE(later.notifyRunningInstance(3000, bad));
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return activations.count() == 6; }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(windows.count(), 0);
}

TEST(SingleInstance, NamesDependOnTheSettingsFolder)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/kelmor-a");
    const QString a = SingleInstance::defaultServerName();
    qputenv("XDG_CONFIG_HOME", "/tmp/kelmor-b");
    const QString b = SingleInstance::defaultServerName();
    qputenv("XDG_CONFIG_HOME", "/tmp/kelmor-a/");
    const QString a2 = SingleInstance::defaultServerName();
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, a2);
    EXPECT_LT(a.size(), 60);
}

TEST(SingleInstance, ListeningReplacesAStaleSocket)
{
    const QString name = uniqueServerName();
    {
        // A server that goes away without a clean end leaves its socket file behind; removing
        // it by hand is what a crash would not do, so simulate with a plain listening server.
        SingleInstance gone(name);
        ASSERT_TRUE(gone.listen());
    }
    SingleInstance next(name);
    EXPECT_TRUE(next.listen());
    SingleInstance probe(name);
    EXPECT_TRUE(probe.notifyRunningInstance());
}

TEST(TerminationWatcher, SignalBecomesAQtSignal)
{
    TerminationWatcher watcher;
    ASSERT_TRUE(watcher.isActive());
    QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
    ::raise(SIGTERM);
    ASSERT_TRUE(spy.wait(2000));
    EXPECT_EQ(spy.first().first().toInt(), SIGTERM);
}

TEST(TerminationWatcher, AFloodOfSignalsNeverBlocksTheHandler)
{
    TerminationWatcher watcher;
    ASSERT_TRUE(watcher.isActive());
    QSignalSpy spy(&watcher, &TerminationWatcher::terminationRequested);
    // Far more signals than the socket holds, while no event loop reads it. raise() runs the
    // handler on the raising thread, so a handler that blocked would stop only that thread.
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([done] {
        for (int i = 0; i < 20000; ++i)
            ::raise(i % 2 ? SIGHUP : SIGINT);
        *done = true;
    }).detach();
    for (int i = 0; i < 100 && !*done; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(*done) << "the signal handler blocked on a full socket";
    ASSERT_TRUE(spy.wait(2000));
    EXPECT_EQ(spy.first().first().toInt(), SIGINT);
}
