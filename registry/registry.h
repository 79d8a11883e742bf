#pragma once

// The registry class: one-shot operations on registry keys addressed by a root key and a path
// below it ("SOFTWARE\Microsoft\Windows\CurrentVersion\Run"). Every member opens the key it
// needs, does its work and closes the key again; no handle outlives a call and the class holds
// no state. Beneath it is our registry (platform/registry_store.h).
//
// Result codes 0 (success), 2 (not found) and 259 (no more items) pass silently: a missing key
// reads as empty, tests false and deletes as true. Any other code raises RegistryError with that
// number, source "RegistryClass" and the code's message text.
//
// Text travels as UTF-8 bytes with a terminating zero byte.

#include "platform/registry_store.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <stdexcept>

namespace kelmor::registry {

using platform::HKEY;
using platform::HKEY_CLASSES_ROOT;
using platform::HKEY_CURRENT_CONFIG;
using platform::HKEY_CURRENT_USER;
using platform::HKEY_DYN_DATA;
using platform::HKEY_LOCAL_MACHINE;
using platform::HKEY_PERFORMANCE_DATA;
using platform::HKEY_USERS;
using platform::REG_BINARY;
using platform::REG_DWORD;
using platform::REG_EXPAND_SZ;
using platform::REG_MULTI_SZ;
using platform::REG_NONE;
using platform::REG_SZ;

// A run-time error of the registry class.
class RegistryError : public std::runtime_error
{
public:
    RegistryError(long number, const QString &description);

    long number() const { return m_number; }
    // Always "RegistryClass".
    QString source() const;
    QString description() const { return m_description; }

private:
    long m_number;
    QString m_description;
};

// The description of error 1: a type the class does not read or write.
inline const QString UnsupportedTypeText = QStringLiteral(
    "Sorry! Win98 doesn't support this (i guess), and since i got one, you have to write this "
    "code by yourself!");

class Registry
{
public:
    // One row of SubValues: the value's name and its data as Value gives it.
    using NamedValue = QPair<QString, QVariant>;

    // Writes a value, creating every missing key of the path. type 0 is REG_SZ.
    // REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ take text (a multi-string carries its own
    // separators; a string list is joined with them), REG_BINARY bytes or text; each is stored
    // with one terminating zero byte. REG_DWORD takes a whole number from 0 to 4294967295
    // (error 2 otherwise); any other type raises error 1. Nothing is created when the value is
    // refused.
    static void SetValue(HKEY root, const QString &path, const QString &name, quint32 type,
                         const QVariant &value);
    // The value: text for REG_SZ, REG_MULTI_SZ and REG_EXPAND_SZ (with every %NAME% of a
    // variable with a non-empty value replaced by it), bytes for REG_BINARY, the unsigned
    // number for REG_DWORD; the terminating zero byte is dropped. An invalid QVariant (empty)
    // when the key does not exist; error 1 for a missing value in an existing key and for
    // other types. type is not used.
    static QVariant Value(HKEY root, const QString &path, const QString &name,
                          quint32 type = REG_NONE);
    // Whether the key exists; with a value name, whether the value exists in it.
    static bool IsThere(HKEY root, const QString &path, const QString &name = QString());
    // Deletes a value: false for an empty name (nothing happens), true otherwise, also when the
    // key or the value did not exist.
    static bool DeleteValue(HKEY root, const QString &path, const QString &name);
    // Deletes the key at path (it must have no subkeys); true, also when it did not exist.
    static bool DeleteKey(HKEY root, const QString &path);
    // Names of the direct subkeys in enumeration order; empty when the key does not exist.
    static QStringList SubKeys(HKEY root, const QString &path);
    // Every value of the key with its data as Value gives it; empty when the key does not exist.
    static QList<NamedValue> SubValues(HKEY root, const QString &path);
    // The type number of a value, 0 when the key or the value does not exist.
    static quint32 ValueType(HKEY root, const QString &path, const QString &name);
    // Writes the key and its subkeys, depth first, as a REGEDIT4 file (atomically, replacing
    // it). False for an empty file name, a key that does not exist or a file that could not be
    // written.
    static bool SaveToFile(HKEY root, const QString &path, const QString &fileName);
    // Reads a REGEDIT4 file into the registry: every key it names is created or opened and its
    // values written with their types. False when the file cannot be read or does not begin
    // with "REGEDIT4"; keys under a root that the file names wrongly are skipped.
    static bool LoadFromFile(const QString &fileName);

    // "HKEY_CURRENT_USER" and so on; empty for a handle that is not a root.
    static QString RootName(HKEY root);
};

// %NAME% references replaced by the values of the environment variables (names compared
// without regard to letter case; unknown and empty variables left as they are).
QString expandEnvironmentStrings(const QString &text);

} // namespace kelmor::registry
