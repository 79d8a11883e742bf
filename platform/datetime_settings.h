#pragma once

// The desktop's own settings of the date, the time and the time zone. Each desktop has its own
// program for them; the one that is installed is looked up on PATH and started detached, so it
// lives on by itself whatever happens to this program.

#include <QString>
#include <QStringList>

#include <functional>

namespace kelmor::platform {

// One way to open the settings: the program (a name looked up on PATH) and its arguments, and the
// desktops (names as $XDG_CURRENT_DESKTOP gives them) whose own program it is.
struct DateTimeSettingsProgram
{
    QString program;
    QStringList arguments;
    QStringList desktops;
};

// Every program known, in a fixed order: GNOME, KDE Plasma 6 and 5, Cinnamon, MATE, LXQt,
// Budgie, then the desktop-neutral time-admin (also what Xfce offers).
const QList<DateTimeSettingsProgram> &dateTimeSettingsPrograms();

// The command line to run: the first known program that findExecutable finds, trying those of
// the current desktops first (currentDesktop as in $XDG_CURRENT_DESKTOP, a colon-separated list,
// letter case ignored); the program as found (a full path), then its arguments. Empty when none
// is installed.
QStringList findDateTimeSettings(const QString &currentDesktop,
                                 const std::function<QString(const QString &)> &findExecutable);

// Starts the desktop's date and time settings found on PATH for $XDG_CURRENT_DESKTOP. Empty on
// success; otherwise what went wrong, in Russian, for the user.
QString openDateTimeSettings();

// Replaces what openDateTimeSettings does (tests). An empty function restores the desktop's.
void setDateTimeSettingsOpener(std::function<QString()> opener);

} // namespace kelmor::platform
