// The journal's database: round trip, search and filters, statistics, migrations, backups, and
// the files it must never write to.
#include "journal/journal_store.h"
#include "journal/sqlite.h"
#include "journal_fixture.h"

#include "astro/mTime.h"
#include "calendar/dream_tables.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <sqlite3.h>

using namespace kelmor::journal;
using kelmor::journal::testing::fixtureEntry;

namespace {

JournalFilter filter(const QString &text = {}, QDate from = {}, QDate to = {}, int lunarDay = 0,
                     std::optional<Outcome> outcome = {})
{
    JournalFilter f;
    f.text = text;
    f.from = from;
    f.to = to;
    f.lunarDay = lunarDay;
    f.outcome = outcome;
    return f;
}

class JournalStoreTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("data/journal.sqlite")); }
    QByteArray fileBytes(const QString &file) const
    {
        QFile f(file);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }
    void writeFile(const QString &file, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // Opening must fail with `problem` and leave the file byte for byte as it was.
    void expectRefused(JournalProblem problem, JournalStore::Options options = {})
    {
        const QByteArray before = fileBytes(path());
        try {
            JournalStore::open(path(), options);
            ADD_FAILURE() << "opened";
        } catch (const JournalError &e) {
            EXPECT_EQ(e.problem(), problem) << e.what();
            EXPECT_TRUE(e.message().contains(path())) << e.what();
            EXPECT_TRUE(e.copyMayHelp());
        }
        EXPECT_EQ(fileBytes(path()), before);
    }

    QTemporaryDir m_dir;
};

TEST_F(JournalStoreTest, AnEntryComesBackWithEveryFieldAndEditsReplaceIt)
{
    auto store = JournalStore::open(path());
    EXPECT_EQ(store->schemaVersion(), JournalStore::kSchemaVersion);
    JournalEntry e = fixtureEntry(QDate(2024, 4, 9), {29, 30, 1}, {"Река", "Змея"},
                                  {"работа", "море"}, Outcome::CameTrue);
    e.mood = 4;
    e.outcomeDate = QDate(2024, 4, 12);
    e.outcomeNote = QStringLiteral("Позвонил старый друг, \"как во сне\"");
    e.text = QStringLiteral("Строка одна,\r\nи вторая; с «кавычками» и ё");
    e.moment = false;
    const std::int64_t id = store->save(e);
    EXPECT_GT(id, 0);
    EXPECT_GT(e.created, 0);
    EXPECT_EQ(e.modified, e.created);
    EXPECT_EQ(store->entry(id), e);

    // An edit replaces the lunar days, tags and symbols, never adds to them.
    e.tags = QStringList{"дом"};
    e.symbols = QStringList{"Дом"};
    e.lunarDays.resize(1);
    e.outcome = Outcome::DidNotComeTrue;
    store->save(e);
    EXPECT_EQ(store->entry(id), e);
    EXPECT_EQ(store->count(), 1);

    // Delete and undo: the same entry with its id back.
    const JournalEntry deleted = *store->entry(id);
    store->remove(id);
    EXPECT_FALSE(store->entry(id));
    EXPECT_EQ(store->statistics().symbols.size(), 0u); // the children went with it
    store->restore(deleted);
    EXPECT_EQ(store->entry(id), deleted);

    // And after the journal is opened again.
    store.reset();
    EXPECT_EQ(JournalStore::open(path())->entry(id), deleted);
}

TEST_F(JournalStoreTest, SearchAndFiltersFindTheRightEntriesNewestFirst)
{
    auto store = JournalStore::open(path());
    std::vector<JournalEntry> entries{
        fixtureEntry(QDate(2024, 3, 1), {20}, {"Река"}, {"Работа"}, Outcome::CameTrue),
        fixtureEntry(QDate(2024, 3, 5), {24, 25}, {"Ёжик"}, {"дом"}),
        fixtureEntry(QDate(2024, 4, 2), {23}, {"Змея", "Река"}, {}, Outcome::DidNotComeTrue),
        fixtureEntry(QDate(2024, 4, 9), {1}, {"Собака"}, {"море"}),
    };
    entries[3].title = QStringLiteral("Пёс 100% у_моря");
    std::vector<std::int64_t> ids;
    for (JournalEntry &e : entries)
        ids.push_back(store->save(e));

    const auto found = [&](const JournalFilter &f) {
        std::vector<std::int64_t> out;
        for (const EntrySummary &s : store->summaries(f))
            out.push_back(s.id);
        return out;
    };
    struct Case
    {
        const char *what;
        JournalFilter filter;
        std::vector<std::int64_t> expected;
    };
    const Case cases[] = {
        {"everything, newest night first", filter(), {ids[3], ids[2], ids[1], ids[0]}},
        {"a symbol in another case", filter("РЕКА"), {ids[2], ids[0]}},
        {"ё found as е", filter("ежик"), {ids[1]}},
        {"a tag", filter("работа"), {ids[0]}},
        {"the title with LIKE's wildcards taken as written", filter("100% у_м"), {ids[3]}},
        {"a wildcard that matches nothing literal", filter("%"), {ids[3]}},
        {"date range on the morning",
         filter({}, QDate(2024, 3, 5), QDate(2024, 4, 2)),
         {ids[2], ids[1]}},
        {"only a start", filter({}, QDate(2024, 4, 3)), {ids[3]}},
        {"any lunar day of the night", filter({}, {}, {}, 25), {ids[1]}},
        {"outcome known and true", filter({}, {}, {}, 0, Outcome::CameTrue), {ids[0]}},
        {"outcome still unknown", filter({}, {}, {}, 0, Outcome::Unknown), {ids[3], ids[1]}},
        {"all together",
         filter("река", QDate(2024, 4, 1), {}, 23, Outcome::DidNotComeTrue),
         {ids[2]}},
        {"nothing", filter("кошка"), {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(found(c.filter), c.expected) << c.what;

    const std::vector<EntrySummary> rows = store->summaries(filter({}, {}, {}, 24));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].lunarDays, "24, 25");
    EXPECT_EQ(rows[0].symbols, "Ёжик");
    EXPECT_EQ(rows[0].tags, "дом");
    EXPECT_EQ(store->entries(filter("змея")).size(), 1u);
}

TEST_F(JournalStoreTest, StatisticsCountAFixtureOfKnownNumbers)
{
    auto store = JournalStore::open(path());
    // Lunar day 3: three dreams, two with a known outcome, one came true. Lunar day 10: two,
    // both came true. The first entry's night is mostly lunar day 3 (two thirds).
    std::vector<JournalEntry> entries{
        fixtureEntry(QDate(2024, 4, 1), {2, 3, 3}, {"Река", "Змея"}, {"дом"}, Outcome::CameTrue),
        fixtureEntry(QDate(2024, 4, 2), {3}, {"Река"}, {"дом", "работа"}, Outcome::DidNotComeTrue),
        fixtureEntry(QDate(2024, 4, 3), {3}, {"Змея", "Река"}),
        fixtureEntry(QDate(2024, 4, 8), {10}, {"Собака"}, {}, Outcome::CameTrue),
        fixtureEntry(QDate(2024, 4, 15), {10}, {}, {"дом"}, Outcome::CameTrue),
    };
    // Two days of the same number in the fixture stand for one long day.
    entries[0].lunarDays = {entries[0].lunarDays[0], entries[0].lunarDays[1]};
    entries[0].lunarDays[1].seconds *= 2;
    for (JournalEntry &e : entries)
        store->save(e);

    const JournalStatistics st = store->statistics();
    EXPECT_EQ(st.entries, 5);
    EXPECT_EQ(st.symbols, (std::vector<NamedCount>{{"Река", 3}, {"Змея", 2}, {"Собака", 1}}));
    EXPECT_EQ(st.tags, (std::vector<NamedCount>{{"дом", 3}, {"работа", 1}}));
    EXPECT_EQ(st.perLunarDay[3], 3);
    EXPECT_EQ(st.perLunarDay[2], 0);
    EXPECT_EQ(st.perLunarDay[10], 2);
    EXPECT_EQ(st.knownPerLunarDay[3], 2);
    EXPECT_EQ(st.cameTruePerLunarDay[3], 1);
    EXPECT_EQ(st.knownPerLunarDay[10], 2);
    EXPECT_EQ(st.cameTruePerLunarDay[10], 2);
    // 2024-04-01 and 2024-04-08 and 2024-04-15 were Mondays, 04-02 a Tuesday, 04-03 a Wednesday.
    EXPECT_EQ(st.perWeekDay[1], 3);
    EXPECT_EQ(st.perWeekDay[2], 1);
    EXPECT_EQ(st.perWeekDay[3], 1);
    EXPECT_EQ(st.perWeekDay[7], 0);
}

TEST_F(JournalStoreTest, EveryEarlierVersionIsMigratedWithItsEntries)
{
    for (int version = 1; version < JournalStore::kSchemaVersion; ++version) {
        SCOPED_TRACE(version);
        QFile::remove(path());
        QDir().mkpath(QFileInfo(path()).absolutePath());
        {
            // A database as that version wrote it, with one entry.
            sqlite::Connection db(path(), sqlite::Connection::Mode::Create);
            for (int v = 1; v <= version; ++v)
                db.exec(schemaOfVersion(v));
            db.exec(("PRAGMA user_version = " + std::to_string(version)).c_str());
            db.exec(
                "INSERT INTO entries VALUES (7, 1712600000, 1712600000, 0, 1712606400, 10800, "
                "1712635200, 10800, 'Москва', 557500, 375833, 'Europe/Moscow', 'Старый сон', "
                "'Снилась РЕКА', 3, 1, '2024-04-12', 'да', '2024-04-09', 2, 'вт', 9, 'девятое')");
            db.exec(
                "INSERT INTO lunar_days VALUES (7, 0, 29, 1712500000, 10800, 1712610000, 10800, "
                "3600, 0.125, 'д29'), (7, 1, 30, 1712610000, 10800, 1712640000, 10800, 25200, "
                "0.875, 'д30')");
            db.exec("INSERT INTO tags VALUES (7, 0, 'Ночь')");
            db.exec("INSERT INTO symbols VALUES (7, 0, 'Река')");
        }
        auto store = JournalStore::open(path());
        EXPECT_EQ(store->schemaVersion(), JournalStore::kSchemaVersion);
        const std::optional<JournalEntry> e = store->entry(7);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->title, "Старый сон");
        EXPECT_EQ(e->lunarDays.size(), 2u);
        EXPECT_EQ(e->outcomeDate, QDate(2024, 4, 12));
        // The folded search text and the main lunar day were made for the old entry.
        EXPECT_EQ(store->summaries(filter("река")).size(), 1u);
        EXPECT_EQ(store->summaries(filter("ночь")).size(), 1u);
        EXPECT_EQ(store->statistics().perLunarDay[30], 1);
    }
}

TEST_F(JournalStoreTest, ADatabaseItCannotUseIsNeverWrittenTo)
{
    // Not a database at all.
    writeFile(path(), QByteArray("SQLite format 3\0", 16) + QByteArray(4000, '\x5a'));
    expectRefused(JournalProblem::Damaged);

    // A database of another program.
    QFile::remove(path());
    {
        sqlite::Connection db(path(), sqlite::Connection::Mode::Create);
        db.exec("CREATE TABLE other (x); INSERT INTO other VALUES (1)");
    }
    expectRefused(JournalProblem::Damaged);

    // A journal of a newer version.
    QFile::remove(path());
    {
        sqlite::Connection db(path(), sqlite::Connection::Mode::Create);
        db.exec(
            "CREATE TABLE entries (id INTEGER PRIMARY KEY, title TEXT); PRAGMA user_version = 99");
    }
    expectRefused(JournalProblem::Newer);
    // Its copy opens read-only and refuses changes.
    auto copy = JournalStore::openCopy(path());
    EXPECT_TRUE(copy->isReadOnly());
    EXPECT_EQ(copy->count(), 0);
    JournalEntry e = fixtureEntry(QDate(2024, 4, 9), {1}, {});
    EXPECT_THROW(copy->save(e), JournalError);
}

TEST_F(JournalStoreTest, DamageInsideTheFileIsFoundBeforeAnythingIsWritten)
{
    {
        auto store = JournalStore::open(path());
        for (int i = 0; i < 200; ++i) {
            JournalEntry e = fixtureEntry(QDate(2024, 1, 1).addDays(i), {i % 30 + 1}, {"Река"});
            e.text = QString(400, u'ж');
            store->save(e);
        }
    }
    // The log is in the file now (the last connection closed); overwrite pages in the middle.
    QByteArray bytes = fileBytes(path());
    ASSERT_GT(bytes.size(), 40000);
    for (int i = 20000; i < 28000; ++i)
        bytes[i] = char(0xA5);
    writeFile(path(), bytes);
    expectRefused(JournalProblem::Damaged);
    // A copy reads what it can, or says it cannot; it never fails otherwise.
    try {
        auto copy = JournalStore::openCopy(path());
        copy->summaries();
    } catch (const JournalError &e) {
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_EQ(fileBytes(path()), bytes);
}

TEST_F(JournalStoreTest, AJournalAnotherProgramHoldsIsLockedAndLeftAlone)
{
    JournalStore::open(path());
    sqlite::Connection other(path(), sqlite::Connection::Mode::ReadWrite);
    other.exec("BEGIN EXCLUSIVE");
    other.exec("CREATE TABLE held (x)");
    JournalStore::Options quick;
    quick.busyTimeoutMs = 50;
    expectRefused(JournalProblem::Locked, quick);
    other.exec("ROLLBACK");
    EXPECT_NO_THROW(JournalStore::open(path()));
}

TEST_F(JournalStoreTest, ADailyCopyIsKeptForTheLastSevenDays)
{
    auto store = JournalStore::open(path());
    JournalEntry e = fixtureEntry(QDate(2024, 4, 9), {1}, {"Река"});
    store->save(e);
    const QDate first(2024, 4, 1);
    for (int day = 0; day < 9; ++day)
        EXPECT_FALSE(store->backUp(first.addDays(day)).isEmpty());
    // Once a day.
    EXPECT_TRUE(store->backUp(first.addDays(8)).isEmpty());
    const QStringList copies = QDir(store->backupFolder()).entryList(QDir::Files | QDir::Hidden);
    ASSERT_EQ(copies.size(), JournalStore::kBackupsKept);
    EXPECT_EQ(copies.front(), "journal-2024-04-03.sqlite");
    EXPECT_EQ(copies.back(), "journal-2024-04-09.sqlite");
    // A copy is a journal of its own.
    auto copy = JournalStore::open(store->backupFolder() + "/" + copies.back());
    EXPECT_EQ(copy->entry(e.id), e);
}

TEST(JournalEntry, MeaningsOfTheNightAreThoseOfTheCalendarTables)
{
    const kelmor::astro::FixedTimeZoneProvider moscow(3 * 3600);
    JournalEntry e;
    const Night night =
        lastNight(QDateTime(QDate(2024, 4, 9), QTime(9, 30), Qt::OffsetFromUTC, 3 * 3600),
                  QTimeZone(3 * 3600));
    EXPECT_EQ(night.wokeUp - night.fellAsleep, 8 * 3600);
    EXPECT_EQ(QDateTime::fromSecsSinceEpoch(night.fellAsleep, Qt::OffsetFromUTC, 3 * 3600)
                  .toString(Qt::ISODate),
              "2024-04-08T23:00:00+03:00");
    e.fellAsleep = night.fellAsleep;
    e.wokeUp = night.wokeUp;
    kelmor::calendar::Location place;
    computeMeanings(e, place, moscow, QStringLiteral("UTC+03:00"));
    EXPECT_EQ(e.placeName, "Москва");
    EXPECT_EQ(e.timeZone, "UTC+03:00");
    EXPECT_EQ(e.morning, QDate(2024, 4, 9));
    EXPECT_EQ(e.weekDay, 2);
    EXPECT_EQ(e.weekDayMeaning.toStdString(), kelmor::calendar::DreamByWeekDay(2));
    EXPECT_EQ(e.monthDayMeaning.toStdString(), kelmor::calendar::DreamByDay(9));
    ASSERT_FALSE(e.lunarDays.empty());
    double sum = 0;
    for (const StoredLunarDay &d : e.lunarDays) {
        EXPECT_EQ(d.meaning.toStdString(), kelmor::calendar::DreamByMoon(d.number));
        sum += d.share;
    }
    EXPECT_NEAR(sum, 1.0, 1e-9);
    // A single moment has both times equal and one lunar day.
    e.moment = true;
    computeMeanings(e, place, moscow, QStringLiteral("UTC+03:00"));
    EXPECT_EQ(e.wokeUp, e.fellAsleep);
    EXPECT_EQ(e.lunarDays.size(), 1u);

    EXPECT_EQ(parseTags(" дом, Работа ,, дом,  море  и  небо "),
              (QStringList{"дом", "Работа", "море и небо"}));
    EXPECT_EQ(outcomeFromText(" Не  сбылся"), Outcome::DidNotComeTrue);
    EXPECT_FALSE(outcomeFromText("может быть"));
}

} // namespace
