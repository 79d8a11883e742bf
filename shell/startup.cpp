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
#include "viewer/literature_pane.h"

#include <QApplication>
#include <QDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTimer>
#include <QTranslator>

#include <memory>

namespace kelmor::shell {

Q_LOGGING_CATEGORY(lcShell, "kelmor.shell", QtWarningMsg)

namespace {

// Logs every dialog and box that opens, in order with the start-up and exit steps.
class DialogLog : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        const auto *widget = static_cast<QWidget *>(watched);
        if (!widget->isWindow() || !qobject_cast<const QDialog *>(widget))
            return false;
        const auto *box = qobject_cast<const QMessageBox *>(widget);
        qCInfo(lcShell) << "dialog shown:" << widget->metaObject()->className()
                        << widget->windowTitle() << (box ? box->text() : QString());
        return false;
    }
};

} // namespace

bool hasTraySwitch(const QStringList &arguments)
{
    return arguments.join(QLatin1Char(' ')).toUpper().contains(QLatin1String("/TRAY"));
}

QString requestedWindow(const QStringList &arguments)
{
    QString window;
    for (const QString &argument : arguments) {
        const QString lower = argument.toLower();
        if (lower == QLatin1String("/calendar"))
            window = QStringLiteral("calendar");
        else if (lower == QLatin1String("/dream"))
            window = QStringLiteral("dream");
    }
    return window;
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

void prepareApplication()
{
    QGuiApplication::setDesktopFileName(platform::DesktopFileId());
    // The viewer's fonts: substitutes for the Windows families and the heading symbols.
    viewer::installFonts();
    if (!platform::installQtTranslation(*QCoreApplication::instance()))
        qCWarning(lcShell) << "Qt's Russian translations (qtbase_ru.qm) are not in"
                           << QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                           << "; Qt's own texts stay in English";
}

int runApplication(int &argc, char **argv)
{
    QApplication app(argc, argv);
    // Watched from the first moment; a signal is handled as soon as any event loop runs.
    platform::TerminationWatcher termination;
    prepareApplication();
    DialogLog dialogLog;
    if (lcShell().isInfoEnabled())
        app.installEventFilter(&dialogLog);
    // Every way out goes through ExitApp; hiding or closing windows never ends the program.
    app.setQuitOnLastWindowClosed(false);

    // Declared in this order so they go in the reverse one: the window first.
    std::unique_ptr<platform::SingleInstance> instance;
    std::unique_ptr<platform::SettingsStore> store;
    std::unique_ptr<MainWindow> window;
    bool loaded = false;

    // The session ending or a kill request ends the program through ExitApp.
    QObject::connect(&termination, &platform::TerminationWatcher::terminationRequested, &app,
                     [&](int signalNumber) {
                         qCInfo(lcShell) << "termination requested by signal" << signalNumber;
                         // A signal while the exit itself waits (its message about the
                         // settings) ends the program at once.
                         if (window && !window->isExiting())
                             window->ExitApp(!loaded);
                         else
                             QCoreApplication::exit(0);
                     });

    // The start-up runs inside the event loop: ending the loop then also ends the loop of any box
    // the start-up has open, so nothing that waits for a user can keep the program from ending.
    QTimer::singleShot(0, &app, [&] {
        // 1. System version.
        const bool supported =
            passesVersionGate(platform::currentSystemVersion(), [](const QString &m) {
                QMessageBox box(QMessageBox::NoIcon, platform::ApplicationTitle, m,
                                QMessageBox::Ok);
                box.exec();
            });
        if (!supported) {
            QCoreApplication::exit(0);
            return;
        }

        // 2. One instance: a second start brings the first forward and ends, touching no
        // setting.
        const QStringList arguments = QCoreApplication::arguments().mid(1);
        // A window the start asks for: the running instance opens it, or this one after loading.
        const QString startWindow = requestedWindow(arguments);
        instance = std::make_unique<platform::SingleInstance>();
        switch (instance->claim(3000, startWindow)) {
        case platform::SingleInstance::Role::Secondary:
            qCInfo(lcShell) << "another instance is running; asked it to come forward";
            QCoreApplication::exit(0);
            return;
        case platform::SingleInstance::Role::Alone:
            qCWarning(lcShell) << "cannot listen on" << instance->serverName()
                               << "; later starts will not find this instance";
            break;
        case platform::SingleInstance::Role::Primary:
            break;
        }

        store = std::make_unique<platform::SettingsStore>();
        MainWindow::Options options = MainWindow::defaultOptions();
        // ExitApp's last step ends every event loop that runs: the main one and those of open
        // boxes and dialogs.
        options.endProcess = [] { QCoreApplication::exit(0); };
        window = std::make_unique<MainWindow>(*store, std::move(options));
        window->setDictionaryPane(new DictionaryPane);
        window->setLiteraturePane(new viewer::LiteraturePane);
        // 3.
        window->setStartingUp(true);
        QObject::connect(instance.get(), &platform::SingleInstance::activationRequested,
                         window.get(), &MainWindow::comeForward);
        QObject::connect(instance.get(), &platform::SingleInstance::windowRequested, window.get(),
                         &MainWindow::openRequestedWindow);

        showStartWindows(*window, arguments);
        if (window->hasEnded())
            return; // ExitApp has ended the event loop
        loaded = true;
        window->openRequestedWindow(startWindow);
        qCInfo(lcShell) << "started" << (window->isHidden() ? "hidden" : "shown");
    });
    return app.exec();
}

} // namespace kelmor::shell
