#include "shell/startup.h"

#include "shell/dictionary_pane.h"

#include "platform/qt_translation.h"
#include "platform/settings.h"
#include "platform/single_instance.h"
#include "platform/termination.h"
#include "platform/version.h"
#include "shell/logging.h"
#include "shell/main_window.h"
#include "shell/splash.h"
#include "viewer/fonts.h"

#include <QApplication>
#include <QMessageBox>

namespace kelmor::shell {

Q_LOGGING_CATEGORY(lcShell, "kelmor.shell", QtWarningMsg)

namespace {
const QString ApplicationTitle = QStringLiteral("Сонник ZEL Kelmor 3");
}

bool hasTraySwitch(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' ')).toUpper().contains(QLatin1String("/TRAY"));
}

bool hasGoToTrayCommand(const QString &adminCommands)
{
    return adminCommands.contains(QLatin1String("Go_to_tray;"), Qt::CaseSensitive);
}

bool passesVersionGate(const platform::SystemVersion &version,
                       const std::function<void(const QString &)> &showMessage)
{
    if (platform::isSystemVersionSupported(version))
        return true;
    if (showMessage)
        showMessage(platform::UnsupportedSystemMessage);
    return false;
}

QWidget *showStartWindows(MainWindow &window, const QStringList &arguments)
{
    if (hasTraySwitch(arguments)) {
        // 4. Tray start: load without showing, then tray mode; no splash.
        window.Load();
        if (!window.hasEnded())
            window.ToTray();
        return nullptr;
    }
    // 5. Splash, then the main window.
    auto *splash = new Splash;
    splash->showTopmost();
    window.setSplash(splash);
    window.Load();
    if (!window.hasEnded())
        window.show();
    return window.splash();
}

int runApplication(int &argc, char **argv)
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(platform::DesktopFileId());
    platform::installQtTranslation(app);
    // The viewer's fonts: substitutes for the Windows families and the heading symbols.
    viewer::installFonts();

    // 1. System version.
    const bool supported =
        passesVersionGate(platform::currentSystemVersion(), [](const QString &m) {
            QMessageBox box(QMessageBox::NoIcon, ApplicationTitle, m, QMessageBox::Ok);
            box.exec();
        });
    if (!supported)
        return 0;

    // 2. One instance: a second start brings the first forward and ends, touching no setting.
    platform::SingleInstance instance;
    switch (instance.claim()) {
    case platform::SingleInstance::Role::Secondary:
        qCInfo(lcShell) << "another instance is running; asked it to come forward";
        return 0;
    case platform::SingleInstance::Role::Alone:
        qCWarning(lcShell) << "cannot listen on" << instance.serverName()
                           << "; later starts will not find this instance";
        break;
    case platform::SingleInstance::Role::Primary:
        break;
    }

    // Every way out goes through ExitApp; hiding or closing windows never ends the program.
    app.setQuitOnLastWindowClosed(false);

    platform::SettingsStore store;
    MainWindow window(store);
    window.setDictionaryPane(new DictionaryPane);
    // 3.
    window.setStartingUp(true);
    QObject::connect(&instance, &platform::SingleInstance::activationRequested, &window,
                     &MainWindow::comeForward);

    // The session ending or a kill request ends the program through ExitApp, saving the state.
    platform::TerminationWatcher termination;
    QObject::connect(&termination, &platform::TerminationWatcher::terminationRequested, &window,
                     [&window](int signalNumber) {
                         qCInfo(lcShell) << "termination requested by signal" << signalNumber;
                         window.ExitApp(false);
                     });

    showStartWindows(window, QCoreApplication::arguments().mid(1));
    if (window.hasEnded())
        return 0;
    qCInfo(lcShell) << "started" << (window.isHidden() ? "hidden" : "shown");
    return app.exec();
}

} // namespace kelmor::shell
