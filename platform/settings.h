#pragma once

#include <QString>

#include <memory>

class QSettings;

namespace kelmor::platform {

// Names of the settings store: the application and its sections.
inline const QString SettingsApp = QStringLiteral("ZEL_Programming");
inline const QString SettingsSection = QStringLiteral("Kelmor3");
inline const QString BooksSection = QStringLiteral("Kelmor3\\books");
inline const QString LocationSection = QStringLiteral("UserLocation");

// The per-user settings store: (application, section, key) addresses a text value.
//
// Backed by QSettings in its usual per-user file under $XDG_CONFIG_HOME (default ~/.config),
// "<application>.conf". A section may name a subsection with "\" ("Kelmor3\books"). A key is
// any text, including full file paths with "/" and "\": keys are escaped before they reach
// QSettings (which would take "/" for a group separator), so reading with the exact key text
// gives back what was written under it.
//
// Values are text. Numbers are written as decimal text without grouping, booleans as "True" or
// "False". A missing key, or a stored value that does not convert to the reader's type, gives the
// caller's default. Reading never writes. Writes reach the file on sync() and on destruction
// (atomically: QSettings writes a temporary file and renames it).
class SettingsStore
{
public:
    explicit SettingsStore(const QString &application = SettingsApp);
    // A store on an explicit file (tests; tools that inspect a given settings file).
    static SettingsStore atFile(const QString &filePath);

    SettingsStore(SettingsStore &&) noexcept;
    SettingsStore &operator=(SettingsStore &&) noexcept;
    ~SettingsStore();

    QString read(const QString &section, const QString &key,
                 const QString &defaultValue = {}) const;
    int readInt(const QString &section, const QString &key, int defaultValue) const;
    double readDouble(const QString &section, const QString &key, double defaultValue) const;
    bool readBool(const QString &section, const QString &key, bool defaultValue) const;
    bool contains(const QString &section, const QString &key) const;

    void write(const QString &section, const QString &key, const QString &value);
    void writeInt(const QString &section, const QString &key, int value);
    void writeBool(const QString &section, const QString &key, bool value);
    // Decimal text of the value as a single-precision number ("6100", "1234.5").
    void writeDouble(const QString &section, const QString &key, double value);

    // Flushes pending writes to the file. False when the file could not be written (its old
    // content stays as it was); failureReason then says why, in Russian.
    bool sync(QString *failureReason = nullptr);
    // The file behind the store.
    QString fileName() const;

private:
    struct NoFile
    {
    };
    explicit SettingsStore(NoFile);
    std::unique_ptr<QSettings> m_settings;
};

// Conversions used by the store, exposed for callers that hold text already.
// Integers: optional sign and decimal digits, surrounding spaces allowed.
bool parseSettingsInt(const QString &text, int *value);
// Decimal numbers ("6100", "-12.5", "1e3"); finite and within single-precision range.
bool parseSettingsDouble(const QString &text, double *value);
// "True"/"False" in any letter case; also whole numbers (0 false, anything else true).
bool parseSettingsBool(const QString &text, bool *value);
// Decimal text of a single-precision value, shortest form that reads back the same.
QString formatSettingsDouble(double value);

// The key as stored in the file: "%", "/" and "\" percent-encoded so QSettings sees one key.
QString escapeSettingsKey(const QString &key);
QString unescapeSettingsKey(const QString &stored);

// Data folders.
// Special folder numbers understood by GetSpecialFolderPath.
constexpr int CommonAppDataFolder = 35;
// 35: the first entry of $XDG_DATA_DIRS (default "/usr/local/share:/usr/share") that holds a
// folder "ZEL Programming", otherwise the first entry. Other numbers: empty text.
QString GetSpecialFolderPath(int folder);
// Appends "/" unless the path already ends with it.
QString AddBackslash(QString path);
// <common data>/ZEL Programming/ZEL Kelmor/3.1/Books and .../Texts, without a trailing "/".
QString BooksPath();
QString TextsPath();

} // namespace kelmor::platform
