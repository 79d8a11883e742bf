#pragma once

// XDG autostart entries: $XDG_CONFIG_HOME/autostart/NAME.desktop files that the desktop session
// starts at logon. The per-user Run key of our registry is kept in them (registry_store.h): a
// text value NAME with a command line as its data is the entry NAME.desktop whose Exec line runs
// that command.
//
// An entry counts as present when its file has an Exec line and is neither Hidden=true nor
// X-GNOME-Autostart-enabled=false (how desktop settings switch an entry off). Writing an entry
// keeps the lines it does not own; removing it deletes the file, or marks it Hidden=true when a
// system-wide entry of the same name ($XDG_CONFIG_DIRS/autostart) would otherwise still start.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

namespace kelmor::platform {

// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart).
QString autostartFolder();

// Command lines.
// A command line as the registry keeps it (the program, then its arguments): a leading quoted
// program is taken as quoted; otherwise, as on the platform this comes from, the shortest
// space-separated beginning that names an executable file is the program (so an unquoted path
// with spaces works), else the first word. Later arguments are separated by spaces and may be
// quoted with double quotes.
QStringList splitCommandLine(const QString &command);
// The inverse: arguments joined by spaces, those with spaces or quotes quoted.
QString joinCommandLine(const QStringList &arguments);

// The Exec value (before string escaping) that runs the arguments: each argument quoted when
// it holds a reserved character, "%" written as "%%".
QString execLine(const QStringList &arguments);
// The arguments of an Exec value; field codes (%f, %U, ...) dropped, "%%" read as "%".
// std::nullopt when a quote is not closed.
std::optional<QStringList> execArguments(const QString &exec);

// Values of type string in a desktop file: \s \n \t \r \\ escapes.
QString escapeDesktopString(const QString &text);
QString unescapeDesktopString(QStringView text);

// A desktop file kept as its lines, so that rewriting it keeps the lines it does not change.
class DesktopEntryFile
{
public:
    // std::nullopt for a file over 1 MiB or without a "[Desktop Entry]" group.
    static std::optional<DesktopEntryFile> parse(QByteArrayView bytes);
    // A new file with an empty "[Desktop Entry]" group.
    static DesktopEntryFile empty();

    // The unescaped value of a key of the "[Desktop Entry]" group.
    std::optional<QString> value(const QString &key) const;
    // Replaces the key's first line (dropping further ones) or adds it at the group's end.
    void setValue(const QString &key, const QString &value);
    void removeKey(const QString &key);

    QByteArray toBytes() const;

private:
    // Index range of the "[Desktop Entry]" group's lines, header excluded.
    qsizetype groupBegin() const;
    qsizetype groupEnd() const;
    std::optional<qsizetype> findKey(const QString &key, qsizetype from) const;

    QStringList m_lines;
};

// The command of the entry NAME, std::nullopt when there is none (no file, not readable, no
// Exec, switched off).
std::optional<QString> readAutostartEntry(const QString &name);
// Names of the present entries, sorted.
QStringList autostartEntryNames();
// Writes the entry NAME running the command (atomically). False when the file could not be
// written.
bool writeAutostartEntry(const QString &name, const QString &command);
// Removes the entry NAME; false when the file could not be removed or rewritten. Removing an
// entry that is not present succeeds.
bool removeAutostartEntry(const QString &name);
// Whether a value name can be an entry's file name (no "/", not starting with ".", not too
// long, a valid desktop string).
bool isAutostartEntryName(const QString &name);

} // namespace kelmor::platform
