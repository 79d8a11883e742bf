#include "platform/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStorageInfo>
#include <QStringList>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace kelmor::platform {

namespace {

// A "\" in a section name separates subsections ("Kelmor3\books" is the subsection "books" of
// "Kelmor3"); QSettings separates groups with "/".
QString groupKey(const QString &section, const QString &key)
{
    const QString escaped = escapeSettingsKey(key);
    if (section.isEmpty())
        return escaped;
    QString group = section;
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return group + QLatin1Char('/') + escaped;
}

QString variantText(const QVariant &value)
{
    // An unquoted "a, b" in a hand-edited file reads as a list; give the text back whole.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

} // namespace

SettingsStore::SettingsStore(const QString &application)
    : m_settings(
          std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, application))
{
    m_settings->setFallbacksEnabled(false);
}

SettingsStore::SettingsStore(NoFile) {}

SettingsStore SettingsStore::atFile(const QString &filePath)
{
    SettingsStore store{NoFile{}};
    store.m_settings = std::make_unique<QSettings>(filePath, QSettings::IniFormat);
    store.m_settings->setFallbacksEnabled(false);
    return store;
}

SettingsStore::SettingsStore(SettingsStore &&) noexcept = default;
SettingsStore &SettingsStore::operator=(SettingsStore &&) noexcept = default;
SettingsStore::~SettingsStore() = default;

QString SettingsStore::read(const QString &section, const QString &key,
                            const QString &defaultValue) const
{
    if (!m_settings || key.isEmpty())
        return defaultValue;
    const QVariant value = m_settings->value(groupKey(section, key));
    if (!value.isValid())
        return defaultValue;
    return variantText(value);
}

bool SettingsStore::contains(const QString &section, const QString &key) const
{
    return m_settings && !key.isEmpty() && m_settings->contains(groupKey(section, key));
}

int SettingsStore::readInt(const QString &section, const QString &key, int defaultValue) const
{
    int value = 0;
    if (contains(section, key) && parseSettingsInt(read(section, key), &value))
        return value;
    return defaultValue;
}

double SettingsStore::readDouble(const QString &section, const QString &key,
                                 double defaultValue) const
{
    double value = 0;
    if (contains(section, key) && parseSettingsDouble(read(section, key), &value))
        return value;
    return defaultValue;
}

bool SettingsStore::readBool(const QString &section, const QString &key, bool defaultValue) const
{
    bool value = false;
    if (contains(section, key) && parseSettingsBool(read(section, key), &value))
        return value;
    return defaultValue;
}

void SettingsStore::write(const QString &section, const QString &key, const QString &value)
{
    if (!m_settings || key.isEmpty())
        return;
    m_settings->setValue(groupKey(section, key), value);
}

void SettingsStore::writeInt(const QString &section, const QString &key, int value)
{
    write(section, key, QString::number(value));
}

void SettingsStore::writeBool(const QString &section, const QString &key, bool value)
{
    write(section, key, value ? QStringLiteral("True") : QStringLiteral("False"));
}

void SettingsStore::writeDouble(const QString &section, const QString &key, double value)
{
    write(section, key, formatSettingsDouble(value));
}

namespace {

// Why the settings file at path cannot be written, in the user's words.
QString saveFailureReason(const QString &path)
{
    const QFileInfo file(path);
    QFileInfo folder(file.absolutePath());
    // The nearest folder of the path that exists: a missing folder is created when saving.
    while (!folder.exists() && folder.absoluteFilePath() != folder.absolutePath())
        folder = QFileInfo(folder.absolutePath());
    if (!folder.isDir())
        return QStringLiteral("путь к папке занят файлом %1")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    if (file.exists() && file.isDir())
        return QStringLiteral("на месте файла находится папка");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("файл доступен только для чтения");
    if (!folder.isWritable())
        return QStringLiteral("нет права записи в папку %1")
            .arg(QDir::toNativeSeparators(folder.absoluteFilePath()));
    const QStorageInfo volume(folder.absoluteFilePath());
    if (volume.isReadOnly())
        return QStringLiteral("диск доступен только для чтения");
    if (volume.isValid() && volume.bytesAvailable() < 4096)
        return QStringLiteral("на диске нет свободного места");
    return QStringLiteral("ошибка записи");
}

} // namespace

bool SettingsStore::sync(QString *failureReason)
{
    if (!m_settings)
        return true;
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return true;
    if (failureReason)
        *failureReason = saveFailureReason(m_settings->fileName());
    return false;
}

QString SettingsStore::fileName() const
{
    return m_settings ? m_settings->fileName() : QString();
}

bool parseSettingsInt(const QString &text, int *value)
{
    bool ok = false;
    const int parsed = text.trimmed().toInt(&ok, 10);
    if (ok)
        *value = parsed;
    return ok;
}

bool parseSettingsDouble(const QString &text, double *value)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    if (bytes.isEmpty())
        return false;
    const char *begin = bytes.constData();
    const char *end = begin + bytes.size();
    if (*begin == '+')
        ++begin;
    double parsed = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, parsed);
    if (ec != std::errc() || ptr != end || !std::isfinite(parsed) ||
        std::fabs(parsed) > double(std::numeric_limits<float>::max()))
        return false;
    *value = parsed;
    return true;
}

bool parseSettingsBool(const QString &text, bool *value)
{
    const QString t = text.trimmed();
    if (t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) {
        *value = true;
        return true;
    }
    if (t.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) {
        *value = false;
        return true;
    }
    int number = 0;
    if (parseSettingsInt(t, &number)) {
        *value = number != 0;
        return true;
    }
    return false;
}

QString formatSettingsDouble(double value)
{
    const float single = std::isfinite(value) ? static_cast<float>(value) : 0.0f;
    std::array<char, 64> buffer{};
    const auto [ptr, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), single);
    if (ec != std::errc())
        return QStringLiteral("0");
    QString text = QString::fromLatin1(buffer.data(), int(ptr - buffer.data()));
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

QString escapeSettingsKey(const QString &key)
{
    QString out;
    out.reserve(key.size());
    for (const QChar c : key) {
        if (c == QLatin1Char('%'))
            out += QLatin1String("%25");
        else if (c == QLatin1Char('/'))
            out += QLatin1String("%2F");
        else if (c == QLatin1Char('\\'))
            out += QLatin1String("%5C");
        else
            out += c;
    }
    return out;
}

QString unescapeSettingsKey(const QString &stored)
{
    QString out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        if (stored[i] == QLatin1Char('%') && i + 2 < stored.size()) {
            const QStringView code = QStringView(stored).mid(i + 1, 2);
            if (code.compare(QLatin1String("25"), Qt::CaseInsensitive) == 0) {
                out += QLatin1Char('%');
                i += 2;
                continue;
            }
            if (code.compare(QLatin1String("2F"), Qt::CaseInsensitive) == 0) {
                out += QLatin1Char('/');
                i += 2;
                continue;
            }
            if (code.compare(QLatin1String("5C"), Qt::CaseInsensitive) == 0) {
                out += QLatin1Char('\\');
                i += 2;
                continue;
            }
        }
        out += stored[i];
    }
    return out;
}

QString GetSpecialFolderPath(int folder)
{
    if (folder != CommonAppDataFolder)
        return {};
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.trimmed().isEmpty())
        dirs = QStringLiteral("/usr/local/share:/usr/share");
    QStringList entries;
    for (const QString &entry : dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // Relative entries are invalid in XDG_DATA_DIRS and are ignored.
        if (QDir::isAbsolutePath(entry))
            entries << entry;
    }
    if (entries.isEmpty())
        entries << QStringLiteral("/usr/local/share");
    for (const QString &entry : std::as_const(entries)) {
        if (QDir(entry).exists(QStringLiteral("ZEL Programming")))
            return entry;
    }
    return entries.first();
}

QString AddBackslash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString BooksPath()
{
    return AddBackslash(GetSpecialFolderPath(CommonAppDataFolder)) +
           QStringLiteral("ZEL Programming/ZEL Kelmor/3.1/Books");
}

QString TextsPath()
{
    return AddBackslash(GetSpecialFolderPath(CommonAppDataFolder)) +
           QStringLiteral("ZEL Programming/ZEL Kelmor/3.1/Texts");
}

} // namespace kelmor::platform
