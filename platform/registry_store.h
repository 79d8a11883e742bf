#pragma once

// Our registry in place of the platform's: the functions the registry class wraps (open, create,
// query, set, delete value, delete key, enumerate keys and values, close) with the platform's
// handles and result codes.
//
// HKEY_CURRENT_USER is kept per user in $XDG_CONFIG_HOME/ZEL_Programming.reg (default
// ~/.config), a REGEDIT4 file (regedit_file.h). Every change re-reads the file under a lock file
// beside it, applies the change and writes the file atomically, so two processes writing at the
// same time both keep their changes; reading needs no lock. A damaged file reads as an empty
// registry with a warning; the first change after that keeps the damaged file aside as
// ZEL_Programming.reg.damaged before writing a new one.
//
// The per-user Run key, HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Run, always
// exists; its text values are the desktop's autostart entries (autostart_entry.h): writing
// "NAME" = "command" makes the session run the command at logon, deleting it stops that, and
// reading reflects the files as the desktop's own settings leave them.
//
// The other roots exist and are empty; creating or writing under them is refused with
// ERROR_ACCESS_DENIED. Key names are compared without regard to letter case; subkeys enumerate
// in name order, values in the order they were first written.

#include "platform/regedit_file.h"

#include <QByteArray>
#include <QString>

#include <iterator>
#include <memory>

namespace kelmor::platform {

using HKEY = quintptr;

// The predefined root keys.
inline constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001;
inline constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr HKEY HKEY_USERS = 0x80000003;
inline constexpr HKEY HKEY_PERFORMANCE_DATA = 0x80000004;
inline constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005;
inline constexpr HKEY HKEY_DYN_DATA = 0x80000006;
static_assert(std::size(RegistryRootNames) == HKEY_DYN_DATA - HKEY_CLASSES_ROOT + 1);

// Result codes, the platform's numbers.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_LOCK_VIOLATION = 33;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_NO_MORE_ITEMS = 259;
inline constexpr long ERROR_CANTREAD = 1012;
inline constexpr long ERROR_CANTWRITE = 1013;
inline constexpr long ERROR_KEY_DELETED = 1018;

// Limits: a key name (one level) up to 255 characters, a value name up to 16383, keys up to
// 512 levels deep, the store file up to 64 MiB.
inline constexpr int MaxKeyNameLength = 255;
inline constexpr int MaxValueNameLength = 16383;
inline constexpr int MaxKeyDepth = 512;
inline constexpr qint64 MaxRegistryFileSize = qint64(64) << 20;

// The path of the Run key below HKEY_CURRENT_USER.
inline const QString RunKeyPath =
    QStringLiteral("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");

// The store file of the current user.
QString registryStorePath();

// "HKEY_CURRENT_USER" for the handle, empty for any other handle.
QString registryRootName(HKEY root);
// The root of a name as registry files write it ("HKEY_CURRENT_USER", any letter case), 0 when
// it names none.
HKEY registryRootFromName(const QString &name);

// subKey: a path below key, levels separated by "\" (empty: key itself). A new handle in
// *result (0 on failure). ERROR_FILE_NOT_FOUND when the key does not exist.
long regOpenKey(HKEY key, const QString &subKey, HKEY *result);
// Opens the key, creating every missing level. *created tells whether it was new. The class
// text of a new key is accepted and not kept (the store file has no place for it).
long regCreateKey(HKEY key, const QString &subKey, const QString &className, HKEY *result,
                  bool *created = nullptr);
// The type and data of a value (empty name: the default value); ERROR_FILE_NOT_FOUND when
// there is none.
long regQueryValue(HKEY key, const QString &name, quint32 *type, QByteArray *data);
long regSetValue(HKEY key, const QString &name, quint32 type, const QByteArray &data);
long regDeleteValue(HKEY key, const QString &name);
// Deletes subKey of key (empty: key itself). A key with subkeys, a root and the Run key are
// refused with ERROR_ACCESS_DENIED.
long regDeleteKey(HKEY key, const QString &subKey);
// The name of subkey number index; ERROR_NO_MORE_ITEMS past the last.
long regEnumKey(HKEY key, quint32 index, QString *name);
// Value number index; ERROR_NO_MORE_ITEMS past the last. type and data may be null.
long regEnumValue(HKEY key, quint32 index, QString *name, quint32 *type = nullptr,
                  QByteArray *data = nullptr);
long regCloseKey(HKEY key);

// The message text of a result code, in Russian.
QString regMessageText(long code);

// Groups calls: while an object lives, the calls of this thread see one reading of the store,
// and changes are written once, by commit() or at the end of the scope. Other threads wait;
// other processes that want to write wait for the lock (reading goes on). Nested scopes join
// the outer one.
class RegistryBatch
{
public:
    RegistryBatch();
    ~RegistryBatch();
    RegistryBatch(const RegistryBatch &) = delete;
    RegistryBatch &operator=(const RegistryBatch &) = delete;

    // Writes the changes so far (outer scope only); a result code.
    long commit();

private:
    bool m_outer = false;
};

} // namespace kelmor::platform
