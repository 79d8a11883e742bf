#pragma once

#include <QString>

namespace kelmor::platform {

// The program's name: the main window's caption before its version.
inline const QString ProgramName = QStringLiteral("Сонник ZEL Kelmor");
// The program's title: the caption of message boxes without one of their own, the tray icon's
// tooltip, the splash screen and the about box.
inline const QString ApplicationTitle = ProgramName + QStringLiteral(" 3");

// The program's version: major.minor.patch of the project version, each without leading zeros,
// followed directly by the comments text (empty by default), e.g. "3.1.0".
QString VersionString();

// The id of the program's desktop entry, icon and AppStream component ("ru.zel.kelmor"): the
// desktop file is <id>.desktop, and the window system gets it as the application's id.
QString DesktopFileId();

// The system version record the start-up gate looks at. On Linux the real record always passes
// the gate; tests inject others.
struct SystemVersion
{
    int major = 0;
    int minor = 0;
};

// The running system's record.
SystemVersion currentSystemVersion();

// The message shown when the system is too old (major version 4 or less).
inline const QString UnsupportedSystemMessage =
    QStringLiteral("Для работы ZEL Kelmor 3 необходима Windows 2000/XP/Vista.");

// True when the version is supported (major version above 4).
constexpr bool isSystemVersionSupported(const SystemVersion &version)
{
    return version.major > 4;
}

} // namespace kelmor::platform
