#include "journal/journal_store.h"

#include "journal/sqlite.h"
#include "platform/data_folder.h"

#include <sqlite3.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kelmor::journal {

namespace {

using sqlite::Connection;
using sqlite::Statement;
using sqlite::Transaction;

// The first version: entries with their night, place, texts and meanings, and the lunar days,
// tags and symbols of each in tables of their own.
const char *const kSchemaV1 = R"sql(
CREATE TABLE entries (
    id INTEGER PRIMARY KEY,
    created INTEGER NOT NULL,
    modified INTEGER NOT NULL,
    moment INTEGER NOT NULL CHECK (moment IN (0, 1)),
    fell_asleep INTEGER NOT NULL,
    fell_asleep_offset INTEGER NOT NULL,
    woke_up INTEGER NOT NULL,
    woke_up_offset INTEGER NOT NULL,
    place_name TEXT NOT NULL,
    latitude INTEGER NOT NULL,
    longitude INTEGER NOT NULL,
    time_zone TEXT NOT NULL,
    title TEXT NOT NULL,
    body TEXT NOT NULL,
    mood INTEGER NOT NULL CHECK (mood BETWEEN 0 AND 5),
    outcome INTEGER NOT NULL CHECK (outcome IN (0, 1, 2)),
    outcome_date TEXT,
    outcome_note TEXT NOT NULL,
    morning TEXT NOT NULL,
    week_day INTEGER NOT NULL,
    week_day_meaning TEXT NOT NULL,
    month_day INTEGER NOT NULL,
    month_day_meaning TEXT NOT NULL
);
CREATE TABLE lunar_days (
    entry_id INTEGER NOT NULL REFERENCES entries (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    number INTEGER NOT NULL,
    day_start INTEGER NOT NULL,
    day_start_offset INTEGER NOT NULL,
    day_end INTEGER NOT NULL,
    day_end_offset INTEGER NOT NULL,
    seconds INTEGER NOT NULL,
    share REAL NOT NULL,
    meaning TEXT NOT NULL,
    PRIMARY KEY (entry_id, position)
) WITHOUT ROWID;
CREATE TABLE tags (
    entry_id INTEGER NOT NULL REFERENCES entries (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    tag TEXT NOT NULL,
    PRIMARY KEY (entry_id, position)
) WITHOUT ROWID;
CREATE TABLE symbols (
    entry_id INTEGER NOT NULL REFERENCES entries (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    headword TEXT NOT NULL,
    PRIMARY KEY (entry_id, position)
) WITHOUT ROWID;
)sql";

// The second: search that ignores the case of Cyrillic letters (SQLite's own folds only ASCII)
// needs a folded copy of each entry's words, the statistics need each entry's main lunar day,
// and the list, which reads every entry, its lunar days, symbols and tags in one line each and
// needs indexes for its filters.
const char *const kSchemaV2 = R"sql(
ALTER TABLE entries ADD COLUMN search_text TEXT NOT NULL DEFAULT '';
ALTER TABLE entries ADD COLUMN main_lunar_day INTEGER NOT NULL DEFAULT 0;
ALTER TABLE entries ADD COLUMN lunar_day_list TEXT NOT NULL DEFAULT '';
ALTER TABLE entries ADD COLUMN symbol_list TEXT NOT NULL DEFAULT '';
ALTER TABLE entries ADD COLUMN tag_list TEXT NOT NULL DEFAULT '';
UPDATE entries SET main_lunar_day = coalesce((SELECT number FROM lunar_days d
    WHERE d.entry_id = entries.id ORDER BY d.seconds DESC, d.position LIMIT 1), 0),
  lunar_day_list = coalesce((SELECT group_concat(number, ', ') FROM (SELECT number FROM
    lunar_days WHERE entry_id = entries.id ORDER BY position)), ''),
  symbol_list = coalesce((SELECT group_concat(headword, '; ') FROM (SELECT headword FROM
    symbols WHERE entry_id = entries.id ORDER BY position)), ''),
  tag_list = coalesce((SELECT group_concat(tag, ', ') FROM (SELECT tag FROM tags
    WHERE entry_id = entries.id ORDER BY position)), '');
CREATE INDEX entries_by_night ON entries (fell_asleep DESC, id DESC);
CREATE INDEX entries_by_morning ON entries (morning);
CREATE INDEX lunar_days_by_number ON lunar_days (number, entry_id);
CREATE INDEX symbols_by_headword ON symbols (headword);
CREATE INDEX tags_by_tag ON tags (tag);
)sql";

QString fileName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString reason(const sqlite::Error &e)
{
    return QString::fromUtf8(e.what());
}

JournalError classify(const sqlite::Error &e, const QString &path)
{
    const QString file = fileName(path);
    switch (e.code()) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_FORMAT:
        return JournalError(JournalProblem::Damaged,
                            QStringLiteral("Файл дневника «%1» повреждён или не является дневником "
                                           "снов (%2). Программа его не изменит.")
                                .arg(file, reason(e)));
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return JournalError(JournalProblem::Locked,
                            QStringLiteral("Файл дневника «%1» занят другой программой. Закройте "
                                           "её и повторите попытку.")
                                .arg(file));
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return JournalError(JournalProblem::ReadOnly,
                            QStringLiteral("В файл дневника «%1» нельзя записывать: нет права "
                                           "записи в файл или в его папку.")
                                .arg(file));
    default:
        return JournalError(
            JournalProblem::Unusable,
            QStringLiteral("Не удалось открыть файл дневника «%1»: %2").arg(file, reason(e)));
    }
}

// Every page of the database read and checked (quick_check).
void checkContents(Connection &db, const QString &path)
{
    Statement check(db, "PRAGMA quick_check(1)");
    const QString result = check.step() ? check.text(0) : QString();
    if (result != QLatin1String("ok"))
        throw JournalError(JournalProblem::Damaged,
                           QStringLiteral("Файл дневника «%1» повреждён (%2). Программа его не "
                                          "изменит.")
                               .arg(fileName(path), result));
}

JournalError changeFailed(const sqlite::Error &e, const QString &path)
{
    if (e.code() == SQLITE_BUSY || e.code() == SQLITE_LOCKED || e.code() == SQLITE_READONLY ||
        e.code() == SQLITE_CORRUPT || e.code() == SQLITE_NOTADB)
        return classify(e, path);
    return JournalError(JournalProblem::Failed,
                        QStringLiteral("Не удалось сохранить изменение в дневнике «%1»: %2. "
                                       "Дневник остался прежним.")
                            .arg(fileName(path), reason(e)));
}

JournalError readFailed(const sqlite::Error &e, const QString &path)
{
    if (e.code() == SQLITE_CORRUPT || e.code() == SQLITE_NOTADB || e.code() == SQLITE_BUSY)
        return classify(e, path);
    return JournalError(
        JournalProblem::Failed,
        QStringLiteral("Не удалось прочитать дневник «%1»: %2").arg(fileName(path), reason(e)));
}

QString dateText(const QDate &date)
{
    return date.toString(Qt::ISODate);
}

void configure(Connection &db, int busyTimeoutMs)
{
    db.setBusyTimeout(busyTimeoutMs);
    db.exec("PRAGMA foreign_keys = ON");
}

// The columns of entries as loadEntry reads them.
constexpr const char *kEntryColumns =
    "id, created, modified, moment, fell_asleep, fell_asleep_offset, woke_up, woke_up_offset, "
    "place_name, latitude, longitude, time_zone, title, body, mood, outcome, outcome_date, "
    "outcome_note, morning, week_day, week_day_meaning, month_day, month_day_meaning";

JournalEntry entryOfRow(const Statement &s)
{
    JournalEntry e;
    e.id = s.integer(0);
    e.created = s.integer(1);
    e.modified = s.integer(2);
    e.moment = s.integer(3) != 0;
    e.fellAsleep = s.integer(4);
    e.fellAsleepOffset = int(s.integer(5));
    e.wokeUp = s.integer(6);
    e.wokeUpOffset = int(s.integer(7));
    e.placeName = s.text(8);
    e.latitude = s.integer(9);
    e.longitude = s.integer(10);
    e.timeZone = s.text(11);
    e.title = s.text(12);
    e.text = s.text(13);
    e.mood = int(s.integer(14));
    e.outcome = Outcome(s.integer(15));
    if (!s.isNull(16))
        e.outcomeDate = QDate::fromString(s.text(16), Qt::ISODate);
    e.outcomeNote = s.text(17);
    e.morning = QDate::fromString(s.text(18), Qt::ISODate);
    e.weekDay = int(s.integer(19));
    e.weekDayMeaning = s.text(20);
    e.monthDay = int(s.integer(21));
    e.monthDayMeaning = s.text(22);
    return e;
}

// The WHERE clause of a filter, parameters ?1 to ?5.
constexpr const char *kFilterClause =
    " WHERE (?1 = '' OR instr(e.search_text, ?1) > 0)"
    " AND (?2 IS NULL OR e.morning >= ?2) AND (?3 IS NULL OR e.morning <= ?3)"
    " AND (?4 = 0 OR EXISTS (SELECT 1 FROM lunar_days d WHERE d.entry_id = e.id AND d.number = ?4))"
    " AND (?5 < 0 OR e.outcome = ?5)"
    " ORDER BY e.fell_asleep DESC, e.id DESC";

void bindFilter(Statement &s, const JournalFilter &f)
{
    s.bind(1, foldForSearch(f.text.trimmed()));
    if (f.from.isValid())
        s.bind(2, dateText(f.from));
    else
        s.bindNull(2);
    if (f.to.isValid())
        s.bind(3, dateText(f.to));
    else
        s.bindNull(3);
    s.bind(4, f.lunarDay);
    s.bind(5, f.outcome ? int(*f.outcome) : -1);
}

QString backupName(const QDate &day)
{
    return QStringLiteral("journal-%1.sqlite").arg(dateText(day));
}

} // namespace

JournalError::JournalError(JournalProblem problem, const QString &message)
    : std::runtime_error(message.toStdString())
    , m_problem(problem)
{
}

bool JournalError::copyMayHelp() const
{
    return m_problem == JournalProblem::Damaged || m_problem == JournalProblem::Locked ||
           m_problem == JournalProblem::ReadOnly || m_problem == JournalProblem::Newer;
}

QString defaultJournalPath()
{
    return platform::dataHomeFolder() + QStringLiteral("/journal.sqlite");
}

const char *schemaOfVersion(int version)
{
    switch (version) {
    case 1:
        return kSchemaV1;
    case 2:
        return kSchemaV2;
    default:
        return nullptr;
    }
}

JournalStore::JournalStore(std::unique_ptr<Connection> db, QString path, bool readOnly)
    : m_db(std::move(db))
    , m_path(std::move(path))
    , m_readOnly(readOnly)
{
}

JournalStore::~JournalStore() = default;

std::unique_ptr<JournalStore> JournalStore::open(const QString &path, Options options)
{
    const QFileInfo info(path);
    const bool exists = info.exists();
    if (exists && !info.isFile())
        throw JournalError(
            JournalProblem::Unusable,
            QStringLiteral("Не удалось открыть дневник: «%1» не файл.").arg(fileName(path)));
    if (!exists && !QDir().mkpath(info.absolutePath()))
        throw JournalError(JournalProblem::Unusable,
                           QStringLiteral("Не удалось создать папку дневника «%1».")
                               .arg(fileName(info.absolutePath())));
    std::unique_ptr<Connection> db;
    try {
        db = std::make_unique<Connection>(path, exists ? Connection::Mode::ReadWrite
                                                       : Connection::Mode::Create);
        configure(*db, options.busyTimeoutMs);
        // Reading the version reads the file's header: a file that is not a database fails
        // here, before anything could be written.
        const int version = int(db->queryInt("PRAGMA user_version"));
        if (version > kSchemaVersion)
            throw JournalError(JournalProblem::Newer,
                               QStringLiteral("Файл дневника «%1» записан более новой версией "
                                              "программы (версия %2, эта знает версии до %3). "
                                              "Программа его не изменит.")
                                   .arg(fileName(path))
                                   .arg(version)
                                   .arg(kSchemaVersion));
        if (version == 0 && db->queryInt("SELECT count(*) FROM sqlite_master") > 0)
            throw JournalError(JournalProblem::Damaged,
                               QStringLiteral("Файл «%1» — база данных, но не дневник снов. "
                                              "Программа его не изменит.")
                                   .arg(fileName(path)));
        if (options.fullCheck)
            checkContents(*db, path);
        else if (version > 0)
            db->queryInt("SELECT count(*) FROM entries");
        if (db->isReadOnly())
            throw sqlite::Error(SQLITE_READONLY, "read-only");
        // Whether this program may write: the write lock is taken and given back at once.
        db->exec("BEGIN IMMEDIATE");
        db->exec("ROLLBACK");
        Statement mode(*db, "PRAGMA journal_mode = WAL");
        mode.step();
        db->exec("PRAGMA synchronous = FULL");
    } catch (const sqlite::Error &e) {
        throw classify(e, path);
    }
    std::unique_ptr<JournalStore> store(new JournalStore(std::move(db), path, false));
    try {
        store->migrate();
    } catch (const sqlite::Error &e) {
        throw changeFailed(e, path);
    }
    return store;
}

std::unique_ptr<JournalStore> JournalStore::openCopy(const QString &path)
{
    auto folder = std::make_unique<QTemporaryDir>();
    const QString copy = folder->filePath(QStringLiteral("journal.sqlite"));
    if (!folder->isValid() || !QFile::copy(path, copy))
        throw JournalError(
            JournalProblem::Unusable,
            QStringLiteral("Не удалось сделать копию дневника «%1».").arg(fileName(path)));
    if (QFileInfo::exists(path + QStringLiteral("-wal")))
        QFile::copy(path + QStringLiteral("-wal"), copy + QStringLiteral("-wal"));
    // The copy is ours: it is opened for writing so that SQLite may read its log, and the store
    // refuses every change.
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QFile::setPermissions(copy + QStringLiteral("-wal"), QFile::ReadOwner | QFile::WriteOwner);
    std::unique_ptr<Connection> db;
    try {
        db = std::make_unique<Connection>(copy, Connection::Mode::ReadWrite);
        configure(*db, 0);
        db->queryInt("SELECT count(*) FROM entries");
    } catch (const sqlite::Error &e) {
        throw JournalError(JournalProblem::Damaged,
                           QStringLiteral("Копию дневника «%1» тоже не удалось прочитать: %2")
                               .arg(fileName(path), reason(e)));
    }
    std::unique_ptr<JournalStore> store(new JournalStore(std::move(db), path, true));
    store->m_copyFolder = std::move(folder);
    return store;
}

void JournalStore::checkFile(const QString &path)
{
    try {
        Connection db(path, Connection::Mode::ReadOnly);
        db.setBusyTimeout(2000);
        checkContents(db, path);
    } catch (const sqlite::Error &e) {
        throw classify(e, path);
    }
}

int JournalStore::schemaVersion() const
{
    return int(m_db->queryInt("PRAGMA user_version"));
}

void JournalStore::migrate()
{
    for (int version = schemaVersion(); version < kSchemaVersion; ++version) {
        Transaction t(*m_db);
        m_db->exec(schemaOfVersion(version + 1));
        if (version + 1 == 2) {
            // The folded search text of every entry written before it existed.
            std::vector<std::int64_t> ids;
            {
                Statement s(*m_db, "SELECT id FROM entries");
                while (s.step())
                    ids.push_back(s.integer(0));
            }
            Statement update(*m_db, "UPDATE entries SET search_text = ?2 WHERE id = ?1");
            for (std::int64_t id : ids) {
                Statement s(*m_db, "SELECT title, body FROM entries WHERE id = ?1");
                s.bind(1, id);
                if (!s.step())
                    continue;
                JournalEntry e;
                e.id = id;
                e.title = s.text(0);
                e.text = s.text(1);
                loadDetails(e);
                update.bind(1, id).bind(2, searchTextOf(e));
                update.run();
                update.reset();
            }
        }
        m_db->exec(("PRAGMA user_version = " + std::to_string(version + 1)).c_str());
        t.commit();
    }
}

void JournalStore::loadDetails(JournalEntry &entry) const
{
    entry.lunarDays.clear();
    entry.tags.clear();
    entry.symbols.clear();
    {
        Statement s(*m_db, "SELECT number, day_start, day_start_offset, day_end, day_end_offset, "
                           "seconds, share, meaning FROM lunar_days WHERE entry_id = ?1 "
                           "ORDER BY position");
        s.bind(1, entry.id);
        while (s.step())
            entry.lunarDays.push_back({int(s.integer(0)), s.integer(1), int(s.integer(2)),
                                       s.integer(3), int(s.integer(4)), s.integer(5), s.real(6),
                                       s.text(7)});
    }
    {
        Statement s(*m_db, "SELECT tag FROM tags WHERE entry_id = ?1 ORDER BY position");
        s.bind(1, entry.id);
        while (s.step())
            entry.tags.append(s.text(0));
    }
    {
        Statement s(*m_db, "SELECT headword FROM symbols WHERE entry_id = ?1 ORDER BY position");
        s.bind(1, entry.id);
        while (s.step())
            entry.symbols.append(s.text(0));
    }
}

std::int64_t JournalStore::insertOrReplace(const JournalEntry &e)
{
    if (e.id != 0) {
        for (const char *sql :
             {"DELETE FROM lunar_days WHERE entry_id = ?1", "DELETE FROM tags WHERE entry_id = ?1",
              "DELETE FROM symbols WHERE entry_id = ?1"}) {
            Statement s(*m_db, sql);
            s.bind(1, e.id);
            s.run();
        }
    }
    Statement s(*m_db,
                "INSERT OR REPLACE INTO entries (id, created, modified, moment, fell_asleep, "
                "fell_asleep_offset, woke_up, woke_up_offset, place_name, latitude, longitude, "
                "time_zone, title, body, mood, outcome, outcome_date, outcome_note, morning, "
                "week_day, week_day_meaning, month_day, month_day_meaning, search_text, "
                "main_lunar_day, lunar_day_list, symbol_list, tag_list) VALUES (?1, ?2, ?3, ?4, "
                "?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, "
                "?22, ?23, ?24, ?25, ?26, ?27, ?28)");
    if (e.id != 0)
        s.bind(1, e.id);
    else
        s.bindNull(1);
    s.bind(2, e.created).bind(3, e.modified).bind(4, e.moment ? 1 : 0);
    s.bind(5, e.fellAsleep).bind(6, e.fellAsleepOffset).bind(7, e.wokeUp).bind(8, e.wokeUpOffset);
    s.bind(9, e.placeName).bind(10, std::int64_t(e.latitude)).bind(11, std::int64_t(e.longitude));
    s.bind(12, e.timeZone).bind(13, e.title).bind(14, e.text).bind(15, e.mood);
    s.bind(16, int(e.outcome));
    if (e.outcomeDate.isValid())
        s.bind(17, dateText(e.outcomeDate));
    else
        s.bindNull(17);
    s.bind(18, e.outcomeNote).bind(19, dateText(e.morning)).bind(20, e.weekDay);
    s.bind(21, e.weekDayMeaning).bind(22, e.monthDay).bind(23, e.monthDayMeaning);
    s.bind(24, searchTextOf(e)).bind(25, e.mainLunarDay());
    QStringList numbers;
    for (const StoredLunarDay &d : e.lunarDays)
        numbers.append(QString::number(d.number));
    s.bind(26, numbers.join(QStringLiteral(", ")));
    s.bind(27, e.symbols.join(QStringLiteral("; "))).bind(28, e.tags.join(QStringLiteral(", ")));
    s.run();
    const std::int64_t id = e.id != 0 ? e.id : m_db->lastInsertId();

    Statement day(*m_db, "INSERT INTO lunar_days (entry_id, position, number, day_start, "
                         "day_start_offset, day_end, day_end_offset, seconds, share, meaning) "
                         "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    int position = 0;
    for (const StoredLunarDay &d : e.lunarDays) {
        day.bind(1, id).bind(2, position++).bind(3, d.number).bind(4, d.start);
        day.bind(5, d.startOffset).bind(6, d.end).bind(7, d.endOffset).bind(8, d.seconds);
        day.bind(9, d.share).bind(10, d.meaning);
        day.run();
        day.reset();
    }
    const auto insertList = [&](const char *sql, const QStringList &values) {
        Statement s(*m_db, sql);
        int p = 0;
        for (const QString &v : values) {
            s.bind(1, id).bind(2, p++).bind(3, v);
            s.run();
            s.reset();
        }
    };
    insertList("INSERT INTO tags (entry_id, position, tag) VALUES (?1, ?2, ?3)", e.tags);
    insertList("INSERT INTO symbols (entry_id, position, headword) VALUES (?1, ?2, ?3)", e.symbols);
    return id;
}

namespace {

void refuseChange(bool readOnly, const QString &path)
{
    if (readOnly)
        throw JournalError(JournalProblem::ReadOnly,
                           QStringLiteral("Дневник «%1» открыт только для чтения: изменения не "
                                          "сохраняются.")
                               .arg(fileName(path)));
}

} // namespace

std::int64_t JournalStore::save(JournalEntry &entry)
{
    refuseChange(m_readOnly, m_path);
    JournalEntry stored = entry;
    const std::int64_t now = QDateTime::currentSecsSinceEpoch();
    if (stored.id == 0 || stored.created == 0)
        stored.created = now;
    stored.modified = now;
    try {
        Transaction t(*m_db);
        stored.id = insertOrReplace(stored);
        t.commit();
    } catch (const sqlite::Error &e) {
        throw changeFailed(e, m_path);
    }
    entry = stored;
    return entry.id;
}

void JournalStore::restore(const JournalEntry &entry)
{
    refuseChange(m_readOnly, m_path);
    try {
        Transaction t(*m_db);
        insertOrReplace(entry);
        t.commit();
    } catch (const sqlite::Error &e) {
        throw changeFailed(e, m_path);
    }
}

void JournalStore::remove(std::int64_t id)
{
    refuseChange(m_readOnly, m_path);
    try {
        Transaction t(*m_db);
        Statement s(*m_db, "DELETE FROM entries WHERE id = ?1");
        s.bind(1, id);
        s.run();
        t.commit();
    } catch (const sqlite::Error &e) {
        throw changeFailed(e, m_path);
    }
}

std::optional<JournalEntry> JournalStore::entry(std::int64_t id) const
{
    try {
        Statement s(
            *m_db,
            (std::string("SELECT ") + kEntryColumns + " FROM entries WHERE id = ?1").c_str());
        s.bind(1, id);
        if (!s.step())
            return std::nullopt;
        JournalEntry e = entryOfRow(s);
        loadDetails(e);
        return e;
    } catch (const sqlite::Error &e) {
        throw readFailed(e, m_path);
    }
}

std::vector<JournalEntry> JournalStore::entries(const JournalFilter &filter) const
{
    try {
        std::vector<JournalEntry> out;
        Statement s(
            *m_db,
            (std::string("SELECT ") + kEntryColumns + " FROM entries e" + kFilterClause).c_str());
        bindFilter(s, filter);
        while (s.step())
            out.push_back(entryOfRow(s));
        for (JournalEntry &e : out)
            loadDetails(e);
        return out;
    } catch (const sqlite::Error &e) {
        throw readFailed(e, m_path);
    }
}

std::vector<EntrySummary> JournalStore::summaries(const JournalFilter &filter) const
{
    try {
        std::vector<EntrySummary> out;
        Statement s(
            *m_db,
            (std::string("SELECT e.id, e.moment, e.fell_asleep, e.fell_asleep_offset, e.woke_up, "
                         "e.woke_up_offset, e.title, e.mood, e.outcome, e.lunar_day_list, "
                         "e.symbol_list, e.tag_list FROM entries e") +
             kFilterClause)
                .c_str());
        bindFilter(s, filter);
        while (s.step()) {
            EntrySummary r;
            r.id = s.integer(0);
            r.moment = s.integer(1) != 0;
            r.fellAsleep = s.integer(2);
            r.fellAsleepOffset = int(s.integer(3));
            r.wokeUp = s.integer(4);
            r.wokeUpOffset = int(s.integer(5));
            r.title = s.text(6);
            r.mood = int(s.integer(7));
            r.outcome = Outcome(s.integer(8));
            r.lunarDays = s.text(9);
            r.symbols = s.text(10);
            r.tags = s.text(11);
            out.push_back(std::move(r));
        }
        return out;
    } catch (const sqlite::Error &e) {
        throw readFailed(e, m_path);
    }
}

int JournalStore::count() const
{
    try {
        return int(m_db->queryInt("SELECT count(*) FROM entries"));
    } catch (const sqlite::Error &e) {
        throw readFailed(e, m_path);
    }
}

JournalStatistics JournalStore::statistics() const
{
    try {
        JournalStatistics st;
        st.entries = count();
        const auto top = [&](const char *sql, std::vector<NamedCount> &out) {
            Statement s(*m_db, sql);
            s.bind(1, JournalStatistics::kTop);
            while (s.step())
                out.push_back({s.text(0), int(s.integer(1))});
        };
        top("SELECT headword, count(DISTINCT entry_id) AS n FROM symbols GROUP BY headword "
            "ORDER BY n DESC, headword LIMIT ?1",
            st.symbols);
        top("SELECT tag, count(DISTINCT entry_id) AS n FROM tags GROUP BY tag "
            "ORDER BY n DESC, tag LIMIT ?1",
            st.tags);
        {
            Statement s(*m_db, "SELECT main_lunar_day, count(*), sum(outcome <> 0), "
                               "sum(outcome = 1) FROM entries GROUP BY main_lunar_day");
            while (s.step()) {
                const auto day = std::size_t(s.integer(0));
                if (day < 1 || day >= st.perLunarDay.size())
                    continue;
                st.perLunarDay[day] = int(s.integer(1));
                st.knownPerLunarDay[day] = int(s.integer(2));
                st.cameTruePerLunarDay[day] = int(s.integer(3));
            }
        }
        {
            Statement s(*m_db, "SELECT week_day, count(*) FROM entries GROUP BY week_day");
            while (s.step()) {
                const auto day = std::size_t(s.integer(0));
                if (day >= 1 && day < st.perWeekDay.size())
                    st.perWeekDay[day] = int(s.integer(1));
            }
        }
        return st;
    } catch (const sqlite::Error &e) {
        throw readFailed(e, m_path);
    }
}

int JournalStore::import(const std::vector<JournalEntry> &entries)
{
    refuseChange(m_readOnly, m_path);
    try {
        Transaction t(*m_db);
        Statement same(*m_db, "SELECT 1 FROM entries WHERE fell_asleep = ?1 AND woke_up = ?2 "
                              "AND title = ?3 AND body = ?4");
        int added = 0;
        for (JournalEntry e : entries) {
            same.bind(1, e.fellAsleep).bind(2, e.wokeUp).bind(3, e.title).bind(4, e.text);
            const bool known = same.step();
            same.reset();
            if (known)
                continue;
            e.id = 0;
            if (e.created == 0)
                e.created = QDateTime::currentSecsSinceEpoch();
            if (e.modified == 0)
                e.modified = e.created;
            insertOrReplace(e);
            ++added;
        }
        t.commit();
        return added;
    } catch (const sqlite::Error &e) {
        throw changeFailed(e, m_path);
    }
}

QString JournalStore::backupFolder() const
{
    return QFileInfo(m_path).absolutePath() + QStringLiteral("/backups");
}

QString JournalStore::backUp(const QDate &today)
{
    const QString folder = backupFolder();
    const QString target = folder + u'/' + backupName(today);
    if (QFileInfo::exists(target))
        return {};
    if (!QDir().mkpath(folder))
        throw JournalError(
            JournalProblem::Failed,
            QStringLiteral("Не удалось создать папку резервных копий «%1».").arg(fileName(folder)));
    const QString partial =
        folder + QStringLiteral("/.") + backupName(today) + QStringLiteral(".partial");
    QFile::remove(partial);
    try {
        Statement s(*m_db, "VACUUM INTO ?1");
        s.bind(1, partial);
        s.run();
    } catch (const sqlite::Error &e) {
        QFile::remove(partial);
        throw JournalError(JournalProblem::Failed,
                           QStringLiteral("Не удалось записать резервную копию дневника «%1»: %2")
                               .arg(fileName(target), reason(e)));
    }
    if (!QFile::rename(partial, target)) {
        QFile::remove(partial);
        throw JournalError(JournalProblem::Failed,
                           QStringLiteral("Не удалось записать резервную копию дневника «%1».")
                               .arg(fileName(target)));
    }
    // The newest copies stay; the names sort by date.
    QStringList copies =
        QDir(folder).entryList({QStringLiteral("journal-*.sqlite")}, QDir::Files, QDir::Name);
    while (copies.size() > kBackupsKept)
        QFile::remove(folder + u'/' + copies.takeFirst());
    return target;
}

} // namespace kelmor::journal
