#pragma once

// The dream journal's database: SQLite in write-ahead-log mode with foreign keys on, one
// transaction per change, a schema version with migrations from the first version on. A
// database that cannot be opened as it should (damaged, locked, read-only, of a newer version)
// is never written to: the caller is told why, in Russian, and may open a copy read-only.

#include "journal/journal_entry.h"

#include <QDate>
#include <QString>
#include <QTemporaryDir>

#include <array>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace kelmor::journal {

namespace sqlite {
class Connection;
}

// Why the journal could not be used.
enum class JournalProblem {
    Damaged,  // not a database, or its contents are broken
    Locked,   // another program holds it
    ReadOnly, // the file or its folder cannot be written
    Newer,    // written by a newer version of the program
    Unusable, // cannot be created or read at all (no folder, no permission)
    Failed,   // a change failed (the database is as before it)
};

class JournalError : public std::runtime_error
{
public:
    JournalError(JournalProblem problem, const QString &message);
    JournalProblem problem() const { return m_problem; }
    QString message() const { return QString::fromUtf8(what()); }
    // Whether opening a copy read-only may help (the file exists and holds data).
    bool copyMayHelp() const;

private:
    JournalProblem m_problem;
};

// What the list of entries shows of each.
struct EntrySummary
{
    std::int64_t id = 0;
    bool moment = false;
    std::int64_t fellAsleep = 0;
    int fellAsleepOffset = 0;
    std::int64_t wokeUp = 0;
    int wokeUpOffset = 0;
    QString title;
    QString lunarDays; // "29, 30, 1"
    QString symbols;   // "Река; Змея"
    QString tags;      // "работа, море"
    int mood = 0;
    Outcome outcome = Outcome::Unknown;
};

// Search and filters of the list; an empty filter lists everything.
struct JournalFilter
{
    // Found in the title, the text, the tags or the symbols (letter case and "ё"/"е" aside).
    QString text;
    // The morning's date from, to (inclusive); null: open.
    QDate from;
    QDate to;
    int lunarDay = 0; // an entry whose night touches that lunar day; 0: any
    std::optional<Outcome> outcome;
};

struct NamedCount
{
    QString name;
    int count = 0;
    friend bool operator==(const NamedCount &, const NamedCount &) = default;
};

// Counts over the journal. An entry counts for the lunar day that covers the largest share of
// its night, and for the weekday of its morning.
struct JournalStatistics
{
    static constexpr int kTop = 15;
    int entries = 0;
    std::vector<NamedCount> symbols; // most frequent first (then by name), at most kTop
    std::vector<NamedCount> tags;
    std::array<int, 31> perLunarDay{};      // index 1..30
    std::array<int, 8> perWeekDay{};        // index 1..7, Monday = 1
    std::array<int, 31> knownPerLunarDay{}; // entries whose outcome is known
    std::array<int, 31> cameTruePerLunarDay{};
};

class JournalStore
{
public:
    static constexpr int kSchemaVersion = 2;
    // Daily copies kept beside the database.
    static constexpr int kBackupsKept = 7;

    struct Options
    {
        // How long to wait for another program's change to finish before calling the journal
        // locked.
        int busyTimeoutMs = 2000;
        // Every page is read and checked before the journal is used. A window that must not wait
        // for that opens without it and runs checkFile() beside.
        bool fullCheck = true;
    };

    // Reads and checks every page of the journal at `path` over a connection of its own (on any
    // thread); throws JournalError (Damaged) when something is broken.
    static void checkFile(const QString &path);

    // Opens the journal at `path`, creating it (and its folder) when there is no file. Throws
    // JournalError; the file is left as it was.
    static std::unique_ptr<JournalStore> open(const QString &path, Options options);
    static std::unique_ptr<JournalStore> open(const QString &path) { return open(path, Options{}); }
    // A copy of the journal at `path` (with its write-ahead log), opened read-only.
    static std::unique_ptr<JournalStore> openCopy(const QString &path);

    ~JournalStore();

    QString path() const { return m_path; }
    bool isReadOnly() const { return m_readOnly; }
    int schemaVersion() const;

    // Stores the entry: a new one (id 0) gets its id and creation time; an existing one is
    // replaced. One transaction. Throws JournalError.
    std::int64_t save(JournalEntry &entry);
    // Puts a deleted entry back with its own id and times.
    void restore(const JournalEntry &entry);
    void remove(std::int64_t id);
    std::optional<JournalEntry> entry(std::int64_t id) const;
    // Whole entries, newest night first.
    std::vector<JournalEntry> entries(const JournalFilter &filter = {}) const;
    std::vector<EntrySummary> summaries(const JournalFilter &filter = {}) const;
    int count() const;
    JournalStatistics statistics() const;
    // Adds the entries in one transaction, skipping those the journal already has (the same
    // night, title and text). Returns how many were added.
    int import(const std::vector<JournalEntry> &entries);

    // The daily copy: when the folder `backups` beside the database has no copy of `today`,
    // writes one (VACUUM INTO a temporary name, then renamed) and keeps the newest
    // kBackupsKept. Returns the copy's path, or empty when today's copy was there already.
    // Throws JournalError.
    QString backUp(const QDate &today);
    QString backupFolder() const;

private:
    JournalStore(std::unique_ptr<sqlite::Connection> db, QString path, bool readOnly);
    void migrate();
    std::int64_t insertOrReplace(const JournalEntry &entry);
    void loadDetails(JournalEntry &entry) const;

    std::unique_ptr<sqlite::Connection> m_db;
    QString m_path;
    bool m_readOnly = false;
    std::unique_ptr<QTemporaryDir> m_copyFolder;
};

// $XDG_DATA_HOME/kelmor/journal.sqlite
QString defaultJournalPath();

// The schema of each earlier version as it was created, for the tests of the migrations.
const char *schemaOfVersion(int version);

} // namespace kelmor::journal
