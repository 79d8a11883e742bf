#pragma once

// The autorun entry: the value "ZELKelmor3" under the per-user Run key, whose data starts the
// program hidden in the tray at logon. On this platform the Run key's values are the desktop's
// autostart entries, so the value is $XDG_CONFIG_HOME/autostart/ZELKelmor3.desktop. The key path
// is platform::RunKeyPath.

#include <QString>

namespace kelmor::shell {

inline const QString AutorunValueName = QStringLiteral("ZELKelmor3");

// The data of the entry: the program's executable (the real file, links resolved), a space and
// "/tray".
QString AutorunCommand();

// true: writes the entry (REG_SZ, creating the key path, replacing an earlier value); false:
// deletes it. A failure raises registry::RegistryError (source "RegistryClass"), which the
// callers ignore: it is never shown to the user.
void SetAutorun(bool enable);

// Whether the entry exists (its data is not examined); false when the key or the value does not
// exist, and when the registry cannot be read.
bool IsAutorunOn();

} // namespace kelmor::shell
