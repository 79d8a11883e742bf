// The dream journal on a generated journal of 10,000 entries (each 1 to 3 lunar days, 2 to 5
// symbols of 300 headwords, up to 2 tags of 40, a text of about 600 characters, a third with a
// known outcome).
//
//   bench_journal --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// BM_OpenJournal: what the "Дневник снов" window pays to open: the database opened, every entry's
// summary read and put into the list's model (goal: under 100 ms).
// BM_CheckJournal: every page read and checked, which the window does beside on a worker thread
// (and `kelmor journal add` before it writes).
// BM_Statistics: the statistics over every entry (goal: under 100 ms).
// BM_SearchText: the list for a search text found in about one entry in eight.
// BM_SaveEntry: one new entry stored (one transaction, synced to disk), then deleted again.

#include "journal/journal_model.h"
#include "journal/journal_store.h"

#include <benchmark/benchmark.h>

#include <QDateTime>
#include <QTemporaryDir>

#include <random>

using namespace kelmor::journal;

namespace {

constexpr int kEntries = 10000;

JournalEntry generated(std::mt19937 &random, int index)
{
    std::uniform_int_distribution<int> symbol(0, 299), symbols(2, 5), tags(0, 2), tag(0, 39),
        days(1, 3), day(1, 28), outcome(0, 5), mood(0, 5);
    JournalEntry e;
    const QDate morning = QDate(2000, 1, 1).addDays(index);
    const int offset = 3 * 3600;
    e.fellAsleep =
        QDateTime(morning.addDays(-1), QTime(23, 0), Qt::OffsetFromUTC, offset).toSecsSinceEpoch();
    e.wokeUp = e.fellAsleep + 8 * 3600;
    e.fellAsleepOffset = e.wokeUpOffset = offset;
    e.placeName = QStringLiteral("Москва");
    e.latitude = 557500;
    e.longitude = 375833;
    e.timeZone = QStringLiteral("Europe/Moscow");
    e.title = QStringLiteral("Сон номер %1").arg(index);
    for (int i = 0, n = symbols(random); i < n; ++i)
        e.symbols.append(QStringLiteral("Символ%1").arg(symbol(random)));
    e.symbols.removeDuplicates();
    for (int i = 0, n = tags(random); i < n; ++i)
        e.tags.append(QStringLiteral("метка%1").arg(tag(random)));
    e.tags.removeDuplicates();
    e.text = QStringLiteral("Мне снилось, что ") + e.symbols.join(QStringLiteral(" и ")) +
             QStringLiteral(". ") + QString(560, u'ж');
    const int n = days(random);
    const int first = day(random);
    for (int i = 0; i < n; ++i)
        e.lunarDays.push_back({first + i, e.fellAsleep + i * 9600 - 3600, offset,
                               e.fellAsleep + (i + 1) * 9600, offset, 28800 / n, 1.0 / n,
                               QStringLiteral("Значение лунного дня")});
    const int o = outcome(random);
    e.outcome = o == 0 ? Outcome::CameTrue : o == 1 ? Outcome::DidNotComeTrue : Outcome::Unknown;
    e.mood = mood(random);
    e.morning = morning;
    e.weekDay = morning.dayOfWeek();
    e.weekDayMeaning = QStringLiteral("Значение дня недели");
    e.monthDay = morning.day();
    e.monthDayMeaning = QStringLiteral("Значение числа");
    return e;
}

// The generated journal, written once per run.
const QString &journalPath()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString p = dir.filePath(QStringLiteral("journal.sqlite"));
        auto store = JournalStore::open(p);
        std::mt19937 random(18);
        std::vector<JournalEntry> entries;
        for (int i = 0; i < kEntries; ++i)
            entries.push_back(generated(random, i));
        store->import(entries);
        return p;
    }();
    return path;
}

void BM_OpenJournal(benchmark::State &state)
{
    const QString &path = journalPath();
    JournalListModel model;
    JournalStore::Options options;
    options.fullCheck = false;
    for (auto _ : state) {
        auto store = JournalStore::open(path, options);
        model.setRows(store->summaries());
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["entries"] = model.rowCount();
}
BENCHMARK(BM_OpenJournal)->Unit(benchmark::kMillisecond);

void BM_CheckJournal(benchmark::State &state)
{
    const QString &path = journalPath();
    for (auto _ : state)
        JournalStore::checkFile(path);
}
BENCHMARK(BM_CheckJournal)->Unit(benchmark::kMillisecond);

void BM_Statistics(benchmark::State &state)
{
    auto store = JournalStore::open(journalPath());
    for (auto _ : state) {
        const JournalStatistics st = store->statistics();
        benchmark::DoNotOptimize(st.entries);
    }
}
BENCHMARK(BM_Statistics)->Unit(benchmark::kMillisecond);

void BM_SearchText(benchmark::State &state)
{
    auto store = JournalStore::open(journalPath());
    JournalFilter filter;
    filter.text = QStringLiteral("Символ17");
    std::size_t found = 0;
    for (auto _ : state) {
        found = store->summaries(filter).size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["found"] = double(found);
}
BENCHMARK(BM_SearchText)->Unit(benchmark::kMillisecond);

void BM_SaveEntry(benchmark::State &state)
{
    auto store = JournalStore::open(journalPath());
    std::mt19937 random(7);
    for (auto _ : state) {
        JournalEntry e = generated(random, kEntries + 1);
        store->save(e);
        state.PauseTiming();
        store->remove(e.id);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_SaveEntry)->Unit(benchmark::kMillisecond);

} // namespace
