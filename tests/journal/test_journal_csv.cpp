// The journal's files: CSV that imports back into the same entries, its reader's refusals, and
// the Markdown document.
#include "journal/journal_csv.h"
#include "journal/journal_store.h"
#include "journal_fixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kelmor::journal;
using kelmor::journal::testing::fixtureEntry;

namespace {

std::vector<JournalEntry> fixtureJournal()
{
    std::vector<JournalEntry> entries{
        fixtureEntry(QDate(2024, 4, 9), {29, 30, 1}, {"Река", "Стоячая вода"}, {"работа", "море"},
                     Outcome::CameTrue),
        fixtureEntry(QDate(2024, 3, 31), {20}, {}, {}, Outcome::DidNotComeTrue),
        fixtureEntry(QDate(1999, 12, 31), {7}, {"Змея"}),
    };
    JournalEntry &e = entries[0];
    e.title = QStringLiteral("Река, \"быстрая\"");
    e.text = QStringLiteral("Первая строка,\r\nвторая \"в кавычках\"\nи третья; ё");
    e.mood = 5;
    e.outcomeDate = QDate(2024, 4, 12);
    e.outcomeNote = QStringLiteral("звонок,\nнеожиданный");
    e.created = 1712640000;
    e.modified = 1712650000;
    // A night across the spring clock change in Berlin, and a single moment west of Greenwich.
    entries[1].fellAsleepOffset = 3600;
    entries[1].wokeUpOffset = 7200;
    entries[1].timeZone = QStringLiteral("Europe/Berlin");
    entries[1].lunarDays[0].startOffset = 3600;
    entries[1].created = entries[1].modified = 1711860000;
    entries[2].moment = true;
    entries[2].wokeUp = entries[2].fellAsleep;
    entries[2].fellAsleepOffset = entries[2].wokeUpOffset = -(5 * 3600 + 1800);
    entries[2].latitude = -338667;
    entries[2].longitude = -1512000;
    entries[2].created = entries[2].modified = 946600000;
    entries[2].lunarDays[0].share = 1;
    return entries;
}

TEST(JournalCsv, ExportThenImportGivesTheSameEntries)
{
    const std::vector<JournalEntry> entries = fixtureJournal();
    const QByteArray csv = entriesToCsv(entries);
    EXPECT_TRUE(csv.startsWith("Название,Заснул,Проснулся,"));
    EXPECT_TRUE(csv.contains("\"Река, \"\"быстрая\"\"\""));
    std::vector<JournalEntry> back = entriesFromCsv(csv);
    ASSERT_EQ(back.size(), entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i)
        EXPECT_EQ(back[i], entries[i]) << i;

    // Through the database and a file: imported once, a second import adds nothing.
    QTemporaryDir dir;
    auto store = JournalStore::open(dir.filePath("journal.sqlite"));
    EXPECT_EQ(store->import(back), 3);
    const QString file = dir.filePath("выгрузка.csv");
    writeFileAtomically(file, entriesToCsv(store->entries()));
    EXPECT_EQ(store->import(readCsvFile(file)), 0);
    std::vector<JournalEntry> stored = store->entries();
    ASSERT_EQ(stored.size(), 3u);
    // Newest night first; ids are the journal's own.
    EXPECT_EQ(stored[0].id != 0, true);
    stored[0].id = 0;
    EXPECT_EQ(stored[0], entries[0]);

    // Columns in another order, an extra column and a byte order mark read the same.
    const std::vector<QStringList> records = parseCsv(csv);
    QString reordered;
    for (const QStringList &r : records) {
        QStringList fields = r;
        std::reverse(fields.begin(), fields.end());
        fields.append(QStringLiteral("лишнее"));
        for (QString &f : fields)
            f = u'"' + f.replace(u'"', QStringLiteral("\"\"")) + u'"';
        reordered += fields.join(u',') + u'\n';
    }
    back = entriesFromCsv("\xEF\xBB\xBF" + reordered.toUtf8());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], entries[0]);
}

TEST(JournalCsv, TheReaderSaysWhereAFileDoesNotFit)
{
    const QByteArray good = entriesToCsv(fixtureJournal());
    const auto replaced = [&](const char *from, const char *to) {
        QByteArray b = good;
        const qsizetype at = b.indexOf(from);
        EXPECT_GE(at, 0) << from;
        return b.replace(at, qsizetype(qstrlen(from)), to);
    };
    struct Case
    {
        const char *what;
        QByteArray data;
        const char *reason;
    };
    const Case cases[] = {
        {"empty", "", "файл пуст"},
        {"another file", "a,b,c\r\n1,2,3\r\n", "нет столбца «Название»"},
        {"not UTF-8", QByteArray("Название\xff\r\n"), "UTF-8"},
        {"unclosed quote", good + "\"abc", "кавычка не закрыта"},
        {"text after a quote", replaced("\"Река, \"\"быстрая\"\"\"", "\"Река\"x"),
         "после закрывающей кавычки"},
        {"a time without its zone", replaced("2024-04-08T23:00:00+03:00", "2024-04-08T23:00:00"),
         "строка 2, столбец «Заснул»"},
        {"woke up before falling asleep",
         replaced("2024-04-09T07:00:00+03:00", "2024-04-08T07:00:00+03:00"), "столбец «Проснулся»"},
        {"mood out of range", replaced(",5,сбылся", ",9,сбылся"), "столбец «Настроение»"},
        {"unknown outcome", replaced(",5,сбылся", ",5,может быть"), "столбец «Сбылся»"},
        {"broken lunar days", replaced("[{\"\"end", "[{\"\"nope"), "столбец «Лунные дни»"},
        {"lunar day 40", replaced("\"\"number\"\":29", "\"\"number\"\":40"), "лунный день 1"},
        {"latitude beyond the pole", replaced("55.7500", "95.0"), "столбец «Широта»"},
    };
    for (const Case &c : cases) {
        try {
            entriesFromCsv(c.data);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const CsvError &e) {
            EXPECT_TRUE(e.message().contains(QString::fromUtf8(c.reason)))
                << c.what << ": " << e.what();
        }
    }
    // Limits: fields, field length, records.
    CsvLimits small;
    small.maxFields = 3;
    EXPECT_THROW(parseCsv("a,b,c,d\n", small), CsvError);
    small.maxFieldChars = 4;
    EXPECT_THROW(parseCsv("\"abcdef\"\n", small), CsvError);
    small.maxRecords = 2;
    EXPECT_THROW(parseCsv("a\nb\nc\n", small), CsvError);
    EXPECT_EQ(parseCsv("a,\"b\nc\",\r\n\r\nd"),
              (std::vector<QStringList>{{"a", "b\nc", ""}, {""}, {"d"}}));
}

TEST(JournalCsv, MarkdownShowsEachEntryWithItsMeaningsAndKeepsItsTextLiteral)
{
    std::vector<JournalEntry> entries = fixtureJournal();
    entries[0].text = QStringLiteral("*не жирный* и #не заголовок");
    const QString md = QString::fromUtf8(entriesToMarkdown(entries));
    EXPECT_TRUE(md.startsWith("# Дневник снов\n"));
    EXPECT_TRUE(md.contains("## 09.04.2024 — Река, \"быстрая\"")) << md.toStdString();
    EXPECT_TRUE(md.contains("- **Ночь:** 08.04.2024 23:00 – 09.04.2024 07:00 (UTC+3)"));
    EXPECT_TRUE(md.contains("- **29-й лунный день** (33 % ночи): Значение дня 29"));
    EXPECT_TRUE(md.contains("- **Символы:** Река, Стоячая вода"));
    EXPECT_TRUE(md.contains("- **Настроение:** 5 из 5"));
    EXPECT_TRUE(md.contains("- **Сбылся ли:** сбылся 12.04.2024 — звонок,"));
    EXPECT_TRUE(md.contains("\\*не жирный\\* и \\#не заголовок"));
    EXPECT_TRUE(md.contains("- **Когда приснился:** 30.12.1999 14:30 (UTC−5:30)"));
}

} // namespace
