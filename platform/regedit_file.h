#pragma once

// Registry files in the REGEDIT4 text format: "REGEDIT4", an empty line, then one block per key
// ("[HKEY_CURRENT_USER\Software\X]", its value lines, an empty line).
//
// Value lines: "name"="text" (backslashes and double quotes escaped with a backslash),
// "name"=dword:0000002a, "name"=hex:01,02 for binary data and "name"=hex(2):... for every other
// type, with the type number in hexadecimal. The default value is written with @ in place of
// the quoted name. A text value that is not a single line of UTF-8 text ending in one zero byte
// is written as hex(1), so every value reads back byte for byte.
//
// The reader is bounds-checked and never trusts a length from the file: its output is at most
// as large as its input.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace kelmor::platform {

// Value types of the registry, with the platform's numbers.
inline constexpr quint32 REG_NONE = 0;
inline constexpr quint32 REG_SZ = 1;
inline constexpr quint32 REG_EXPAND_SZ = 2;
inline constexpr quint32 REG_BINARY = 3;
inline constexpr quint32 REG_DWORD = 4;
inline constexpr quint32 REG_MULTI_SZ = 7;

// The names of the predefined root keys as registry files write them, in the order of their
// handles (HKEY_CLASSES_ROOT, 0x80000000, first).
inline constexpr const char *RegistryRootNames[] = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA",
};

// One value: an empty name is the key's default value. Text data is UTF-8 with its terminating
// zero byte, a double word four bytes in little-endian order.
struct RegeditValue
{
    QString name;
    quint32 type = REG_SZ;
    QByteArray data;

    friend bool operator==(const RegeditValue &, const RegeditValue &) = default;
};

// One key block: the full key name with its root ("HKEY_CURRENT_USER\Software\X").
struct RegeditKey
{
    QString name;
    QList<RegeditValue> values;

    friend bool operator==(const RegeditKey &, const RegeditKey &) = default;
};

// "REGEDIT4" and the empty line that follows it.
QByteArray regeditHeader();
// One key block: the key line, the value lines, an empty line.
void appendRegeditKey(QByteArray &out, const RegeditKey &key);
// The header followed by every key block.
QByteArray writeRegeditFile(const QList<RegeditKey> &keys);

// Text data as values keep it: UTF-8 and one terminating zero byte.
QByteArray textData(const QString &text);
// The text of such data when it is one line (no zero byte but the last, no line break),
// std::nullopt otherwise: what a quoted text line can hold.
std::optional<QString> singleLineText(const QByteArray &data);

// The text as it appears between the quotes of a text value or a value name.
QString escapeRegeditText(const QString &text);

enum class RegeditReading {
    // Lines of forms not understood, and values before the first key, are skipped.
    Lenient,
    // The first such line ends the reading with an error naming it.
    Strict,
};

struct RegeditContents
{
    // The first line is exactly "REGEDIT4" (a UTF-8 byte-order mark and CR line ends allowed).
    bool isRegedit = false;
    // The key blocks in file order; a key named twice gives two blocks.
    QList<RegeditKey> keys;
    // Strict reading: the line (1-based) that could not be read, and why; 0 when none.
    int errorLine = 0;
    QString error;
};

// Reads a registry file. Text is UTF-8; a file that is not valid UTF-8 is read as Windows-1251
// (files written on a Russian Windows). A line ending in "\" continues on the next line.
RegeditContents readRegeditFile(QByteArrayView bytes, RegeditReading mode);

} // namespace kelmor::platform
