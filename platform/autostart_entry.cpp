#include "platform/autostart_entry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <iterator>

namespace kelmor::platform {

namespace {

const QString DesktopGroup = QStringLiteral("[Desktop Entry]");
const QString DesktopSuffix = QStringLiteral(".desktop");
// The command line as the registry value holds it, so that reading gives back the same text as
// long as the Exec line still runs it.
const QString CommandKey = QStringLiteral("X-Kelmor-Registry-Data");
constexpr qint64 MaxDesktopFileSize = 1 << 20;

// The escapes of string values in desktop files: "\n" for a line feed and so on.
struct Escape
{
    char16_t character;
    char16_t letter;
};
constexpr Escape DesktopEscapes[] = {
    {u'\\', u'\\'}, {u'\n', u'n'}, {u'\t', u't'}, {u'\r', u'r'}, {u' ', u's'},
};

bool isSeparator(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isReservedInExec(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

bool isExecutableFile(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')) || path.contains(QChar(0)))
        return false;
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

// Arguments separated by spaces or tabs; double quotes group, \" is a quote.
QStringList splitArguments(QStringView text)
{
    QStringList arguments;
    QString current;
    bool inArgument = false;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
            current += QLatin1Char('"');
            inArgument = true;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
            inArgument = true;
        } else if (isSeparator(c) && !quoted) {
            if (inArgument)
                arguments << current;
            current.clear();
            inArgument = false;
        } else {
            current += c;
            inArgument = true;
        }
    }
    if (inArgument)
        arguments << current;
    return arguments;
}

// Expands the field codes of one Exec argument as a logon start does (no files, no URLs):
// "%%" is "%", every other code gives nothing. False when the argument was field codes only.
bool expandFieldCodes(QString *argument)
{
    QString out;
    bool onlyCodes = !argument->isEmpty();
    for (qsizetype i = 0; i < argument->size(); ++i) {
        const QChar c = argument->at(i);
        if (c == QLatin1Char('%') && i + 1 < argument->size()) {
            const QChar code = argument->at(++i);
            if (code == QLatin1Char('%')) {
                out += QLatin1Char('%');
                onlyCodes = false;
            }
            continue;
        }
        out += c;
        onlyCodes = false;
    }
    *argument = out;
    return !onlyCodes;
}

QString entryFileName(const QString &name)
{
    return name + DesktopSuffix;
}

// The file of entry NAME: NAME.desktop, or a file whose name matches it in another letter case
// (registry names ignore case).
QString entryFilePath(const QString &name)
{
    const QDir folder(autostartFolder());
    const QString exact = folder.filePath(entryFileName(name));
    if (QFileInfo::exists(exact))
        return exact;
    const QStringList files =
        folder.entryList({QStringLiteral("*.desktop")}, QDir::Files | QDir::Hidden, QDir::Name);
    for (const QString &file : files) {
        if (file.chopped(DesktopSuffix.size()).compare(name, Qt::CaseInsensitive) == 0)
            return folder.filePath(file);
    }
    return exact;
}

std::optional<DesktopEntryFile> readEntryFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(MaxDesktopFileSize + 1);
    return DesktopEntryFile::parse(bytes);
}

bool isTrue(const std::optional<QString> &value)
{
    return value && value->trimmed().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

bool isFalse(const std::optional<QString> &value)
{
    return value && value->trimmed().compare(QLatin1String("false"), Qt::CaseInsensitive) == 0;
}

// The command an entry runs, when it is present.
std::optional<QString> presentCommand(const DesktopEntryFile &entry)
{
    if (isTrue(entry.value(QStringLiteral("Hidden"))) ||
        isFalse(entry.value(QStringLiteral("X-GNOME-Autostart-enabled"))))
        return std::nullopt;
    const auto exec = entry.value(QStringLiteral("Exec"));
    if (!exec || exec->trimmed().isEmpty())
        return std::nullopt;
    // Our own command text, while the Exec line still runs exactly it.
    if (const auto command = entry.value(CommandKey)) {
        if (execLine(splitCommandLine(*command)) == *exec)
            return command;
    }
    const auto arguments = execArguments(*exec);
    if (!arguments || arguments->isEmpty())
        return std::nullopt;
    return joinCommandLine(*arguments);
}

// A system-wide entry of this file name, which a deleted user entry would let start again.
bool hasSystemEntry(const QString &fileName)
{
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.trimmed().isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    for (const QString &dir : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir) &&
            QFileInfo::exists(dir + QStringLiteral("/autostart/") + fileName))
            return true;
    }
    return false;
}

bool saveEntryFile(const QString &path, const DesktopEntryFile &entry)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // A link (to an installed desktop file, say) is replaced by a file of our own.
    if (QFileInfo(path).isSymLink() && !QFile::remove(path))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(entry.toBytes());
    return file.commit();
}

} // namespace

QString autostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QStringList splitCommandLine(const QString &command)
{
    QStringView text(command);
    while (!text.isEmpty() && isSeparator(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isSeparator(text.back()))
        text.chop(1);
    if (text.isEmpty())
        return {};
    // A quoted program: every argument as the quoting rules give it.
    if (text.startsWith(QLatin1Char('"')))
        return splitArguments(text);
    qsizetype end = -1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isSeparator(text[i]) && isExecutableFile(text.left(i).toString())) {
            end = i;
            break;
        }
    }
    if (end < 0 && isExecutableFile(text.toString()))
        end = text.size();
    if (end < 0) {
        end = 0;
        while (end < text.size() && !isSeparator(text[end]))
            ++end;
    }
    return QStringList{text.left(end).toString()} + splitArguments(text.mid(end));
}

QString joinCommandLine(const QStringList &arguments)
{
    QStringList parts;
    for (const QString &argument : arguments) {
        const bool plain =
            !argument.isEmpty() && std::none_of(argument.begin(), argument.end(), [](QChar c) {
                return c.isSpace() || c == QLatin1Char('"');
            });
        if (plain) {
            parts << argument;
            continue;
        }
        QString quoted = argument;
        quoted.replace(QLatin1Char('"'), QLatin1String("\\\""));
        parts << QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    return parts.join(QLatin1Char(' '));
}

QString execLine(const QStringList &arguments)
{
    QStringList parts;
    for (const QString &argument : arguments) {
        QString part;
        const bool quote =
            argument.isEmpty() || std::any_of(argument.begin(), argument.end(), isReservedInExec);
        if (quote)
            part += QLatin1Char('"');
        for (const QChar c : argument) {
            if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                          c == QLatin1Char('\\')))
                part += QLatin1Char('\\');
            if (c == QLatin1Char('%'))
                part += QLatin1Char('%');
            part += c;
        }
        if (quote)
            part += QLatin1Char('"');
        parts << part;
    }
    return parts.join(QLatin1Char(' '));
}

std::optional<QStringList> execArguments(const QString &exec)
{
    QStringList arguments;
    qsizetype i = 0;
    const qsizetype n = exec.size();
    while (i < n) {
        while (i < n && isSeparator(exec[i]))
            ++i;
        if (i >= n)
            break;
        QString argument;
        while (i < n && !isSeparator(exec[i])) {
            if (exec[i] == QLatin1Char('"')) {
                ++i;
                bool closed = false;
                while (i < n) {
                    const QChar c = exec[i];
                    if (c == QLatin1Char('\\') && i + 1 < n) {
                        argument += exec[i + 1];
                        i += 2;
                        continue;
                    }
                    ++i;
                    if (c == QLatin1Char('"')) {
                        closed = true;
                        break;
                    }
                    argument += c;
                }
                if (!closed)
                    return std::nullopt;
            } else {
                argument += exec[i++];
            }
        }
        if (expandFieldCodes(&argument))
            arguments << argument;
    }
    return arguments;
}

QString escapeDesktopString(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A space needs its escape only where it would be taken for the blank after "=".
        const auto escape = std::find_if(std::begin(DesktopEscapes), std::end(DesktopEscapes),
                                         [&](const Escape &e) { return e.character == c; });
        if (escape == std::end(DesktopEscapes) || (c == QLatin1Char(' ') && i > 0)) {
            out += c;
            continue;
        }
        out += QLatin1Char('\\');
        out += QChar(escape->letter);
    }
    return out;
}

QString unescapeDesktopString(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\\') || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const QChar next = text[++i];
        const auto escape = std::find_if(std::begin(DesktopEscapes), std::end(DesktopEscapes),
                                         [&](const Escape &e) { return e.letter == next; });
        if (escape != std::end(DesktopEscapes)) {
            out += QChar(escape->character);
        } else {
            out += c;
            out += next;
        }
    }
    return out;
}

std::optional<DesktopEntryFile> DesktopEntryFile::parse(QByteArrayView bytes)
{
    if (bytes.size() > MaxDesktopFileSize)
        return std::nullopt;
    DesktopEntryFile entry;
    entry.m_lines = QString::fromUtf8(bytes).split(QLatin1Char('\n'));
    if (!entry.m_lines.isEmpty() && entry.m_lines.back().isEmpty())
        entry.m_lines.removeLast();
    for (QString &line : entry.m_lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    if (entry.groupBegin() < 0)
        return std::nullopt;
    return entry;
}

DesktopEntryFile DesktopEntryFile::empty()
{
    DesktopEntryFile entry;
    entry.m_lines << DesktopGroup;
    return entry;
}

qsizetype DesktopEntryFile::groupBegin() const
{
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (m_lines[i].trimmed() == DesktopGroup)
            return i + 1;
    }
    return -1;
}

qsizetype DesktopEntryFile::groupEnd() const
{
    qsizetype i = groupBegin();
    while (i < m_lines.size() && !m_lines[i].trimmed().startsWith(QLatin1Char('[')))
        ++i;
    return i;
}

std::optional<qsizetype> DesktopEntryFile::findKey(const QString &key, qsizetype from) const
{
    const qsizetype end = groupEnd();
    for (qsizetype i = from; i < end; ++i) {
        const QStringView line = QStringView(m_lines[i]).trimmed();
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq > 0 && line.left(eq).trimmed() == key)
            return i;
    }
    return std::nullopt;
}

std::optional<QString> DesktopEntryFile::value(const QString &key) const
{
    const auto at = findKey(key, groupBegin());
    if (!at)
        return std::nullopt;
    const QStringView line(m_lines[*at]);
    QStringView text = line.mid(line.indexOf(QLatin1Char('=')) + 1);
    while (!text.isEmpty() && isSeparator(text.front()))
        text = text.mid(1);
    return unescapeDesktopString(text);
}

void DesktopEntryFile::setValue(const QString &key, const QString &value)
{
    const QString line = key + QLatin1Char('=') + escapeDesktopString(value);
    if (const auto at = findKey(key, groupBegin())) {
        m_lines[*at] = line;
        while (const auto again = findKey(key, *at + 1))
            m_lines.removeAt(*again);
        return;
    }
    // After the group's last non-empty line, so a blank line before the next group stays.
    qsizetype insertAt = groupEnd();
    while (insertAt > groupBegin() && m_lines[insertAt - 1].trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, line);
}

void DesktopEntryFile::removeKey(const QString &key)
{
    while (const auto at = findKey(key, groupBegin()))
        m_lines.removeAt(*at);
}

QByteArray DesktopEntryFile::toBytes() const
{
    return (m_lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

bool isAutostartEntryName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.toUtf8().size() > 200)
        return false;
    return std::none_of(name.begin(), name.end(), [](QChar c) {
        return c == QLatin1Char('/') || c.category() == QChar::Other_Control;
    });
}

std::optional<QString> readAutostartEntry(const QString &name)
{
    if (!isAutostartEntryName(name))
        return std::nullopt;
    const auto entry = readEntryFile(entryFilePath(name));
    if (!entry)
        return std::nullopt;
    return presentCommand(*entry);
}

QStringList autostartEntryNames()
{
    const QDir folder(autostartFolder());
    QStringList names;
    const QStringList files =
        folder.entryList({QStringLiteral("*.desktop")}, QDir::Files, QDir::Name);
    for (const QString &file : files) {
        const QString name = file.chopped(DesktopSuffix.size());
        if (!isAutostartEntryName(name))
            continue;
        const auto entry = readEntryFile(folder.filePath(file));
        if (entry && presentCommand(*entry))
            names << name;
    }
    return names;
}

bool writeAutostartEntry(const QString &name, const QString &command)
{
    if (!isAutostartEntryName(name))
        return false;
    const QString path = entryFilePath(name);
    const bool fresh = !QFileInfo::exists(path);
    DesktopEntryFile entry = DesktopEntryFile::empty();
    if (!fresh) {
        if (auto existing = readEntryFile(path))
            entry = std::move(*existing);
    }
    if (!entry.value(QStringLiteral("Type")))
        entry.setValue(QStringLiteral("Type"), QStringLiteral("Application"));
    if (!entry.value(QStringLiteral("Name")))
        entry.setValue(QStringLiteral("Name"), name);
    entry.setValue(QStringLiteral("Exec"), execLine(splitCommandLine(command)));
    if (!entry.value(QStringLiteral("Terminal")))
        entry.setValue(QStringLiteral("Terminal"), QStringLiteral("false"));
    entry.removeKey(QStringLiteral("Hidden"));
    entry.setValue(QStringLiteral("X-GNOME-Autostart-enabled"), QStringLiteral("true"));
    entry.setValue(CommandKey, command);
    return saveEntryFile(path, entry);
}

bool removeAutostartEntry(const QString &name)
{
    if (!isAutostartEntryName(name))
        return true;
    const QString path = entryFilePath(name);
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (hasSystemEntry(info.fileName())) {
        DesktopEntryFile entry = DesktopEntryFile::empty();
        if (auto existing = readEntryFile(path))
            entry = std::move(*existing);
        entry.setValue(QStringLiteral("Hidden"), QStringLiteral("true"));
        return saveEntryFile(path, entry);
    }
    return QFile::remove(path);
}

} // namespace kelmor::platform
