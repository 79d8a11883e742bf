#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QTranslator;
class QWidget;

namespace kelmor::platform {
struct SystemVersion;
}

namespace kelmor::shell {

// "/TRAY" anywhere in the command line (the arguments after the program name joined by spaces),
// in any letter case, as a plain substring: "/tray", "x/TrAyy" count.
bool hasTraySwitch(const QStringList &arguments);

// The window a start asks for besides the main one, from the menu entry's actions: "/calendar"
// gives "calendar" (the moon calendar), "/dream" gives "dream" (the whole-dream window); a whole
// argument in any letter case, the last one given wins. Empty when there is none.
QString requestedWindow(const QStringList &arguments);

// The admin command that starts in the tray: "Go_to_tray;" as a case-sensitive substring.
bool hasGoToTrayCommand(const QString &adminCommands);

// Version gate, the first start-up step: when the system is too old, shows the message (through
// showMessage) and returns false; the process then ends without touching any setting.
bool passesVersionGate(const platform::SystemVersion &version,
                       const std::function<void(const QString &)> &showMessage);

class MainWindow;

// The start-up steps after the single-instance rule, on a constructed main window: with the tray
// switch in arguments, load the window without showing it and enter tray mode (no splash);
// otherwise show the splash, load the window and show it. Returns the splash, or nullptr.
QWidget *showStartWindows(MainWindow &window, const QStringList &arguments);

// What every window of the program relies on, done once before the first one is made: the
// desktop file name, the viewer's fonts and Qt's texts in Russian.
void prepareApplication();

// The whole start-up procedure of the graphical program, then its event loop: version gate,
// single instance, then the tray start or the splash and the main window. Returns the exit
// status. argc/argv are the process's. SIGTERM, SIGINT and SIGHUP end the program from the
// first moment on through ExitApp, also while a box or dialog is open: without saving while the
// main window is still loading (the user has changed nothing yet, and a half-loaded state must
// not replace the saved one), with saving afterwards.
int runApplication(int &argc, char **argv);

} // namespace kelmor::shell
