#pragma once

#include <QString>

namespace kelmor::platform {

// The `kelmor` command runs the terminal commands that need no display itself and hands
// everything else to the windowed program installed beside it (exec: the same process id and
// arguments). These name the two files.

// The environment variable through which the command tells the windowed program its own path.
inline constexpr char LauncherVariable[] = "KELMOR_LAUNCHER";

// The path of the windowed program for the command at launcherPath: relativePath (the program
// from the command's folder, fixed at build time) appended to the command's folder.
QString windowedProgramPath(const QString &launcherPath, const QString &relativePath);

// The path a user starts the program by: the `kelmor` command that started this process when it
// names an executable file, else this process's own executable. It goes into the autostart entry,
// and files the user keeps "beside the program" (City.csv) are looked for in its folder.
QString programPath();
// The folder of programPath().
QString programFolder();

} // namespace kelmor::platform
