// Start-up and interaction costs of the dictionary on a large generated library: 20 books of
// 25,000 headwords each, about 60 % of every book's headwords shared with other books.
//
//   bench_catalogue --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// BM_Startup: catalogue load + first word-list rebuild (what the main window's load runs);
// its counters load_ms and sort_ms are the catalogue's load and the dictionary-order part of the
// rebuild. /0 without the books' headword
// indexes, /1 a first start as the main window makes it (an empty cache folder: the books read
// from their tables, the indexes written afterwards and not timed), /2 a later start (the
// indexes read and merged), /3 a first start that indexes the books while loading (what a
// terminal command does).
// BM_RebuildAfterToggle: one book toggled, the list rebuilt.
// BM_FindInEveryBook: the article of a headword sought in all 20 books (what an interpretation
// reads), /0 through the tables' own in-memory indexes, /1 through the headword indexes.
// BM_SearchKeystroke / BM_SearchPlainWalk: one incremental-search step, index against the plain
// walk through the list. BM_Startup's heap_mb is the heap the loaded catalogue and word list hold.

#include "books/catalogue.h"
#include "books/wordlist.h"
#include "generated_library.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <random>

using namespace kelmor::books;
using namespace kelmor::bench;

namespace {

// A cache folder of the benchmark's own.
const QString &cacheHome()
{
    static QTemporaryDir dir;
    static const bool set = qputenv("XDG_CACHE_HOME", QFile::encodeName(dir.path()));
    (void)set;
    static const QString path = dir.path();
    return path;
}

void BM_Startup(benchmark::State &state)
{
    const QString &path = library();
    const auto mode = state.range(0);
    QDir(cacheHome() + QStringLiteral("/kelmor")).removeRecursively();
    if (mode == 2) {
        Catalogue warmUp;
        warmUp.load(path);
    }
    double sortMs = 0, loadMs = 0, rss = 0;
    int words = 0;
    for (auto _ : state) {
        const double before = heapMegabytes();
        if (mode == 1 || mode == 3) {
            state.PauseTiming();
            QDir(cacheHome() + QStringLiteral("/kelmor")).removeRecursively();
            state.ResumeTiming();
        }
        Catalogue catalogue;
        catalogue.setHeadwordIndexes(mode != 0);
        catalogue.setIndexingOnLoad(mode != 1);
        const auto loadStart = std::chrono::steady_clock::now();
        catalogue.load(path);
        loadMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - loadStart)
                .count();
        WordList list(catalogue);
        list.rebuild();
        sortMs = list.lastSortMilliseconds();
        words = list.count();
        rss = heapMegabytes() - before;
        benchmark::DoNotOptimize(list.count());
        if (mode == 1) {
            state.PauseTiming();
            writeHeadwordIndexes(catalogue.unindexedBooks());
            state.ResumeTiming();
        }
    }
    state.counters["words"] = words;
    state.counters["sort_ms"] = sortMs;
    state.counters["load_ms"] = loadMs;
    state.counters["heap_mb"] = rss;
}
BENCHMARK(BM_Startup)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond)->Iterations(1);

struct Loaded
{
    Catalogue catalogue;
    WordList list{catalogue};
    Loaded()
    {
        (void)cacheHome();
        catalogue.load(library());
        list.rebuild();
    }
};

Loaded &loaded()
{
    static Loaded l;
    return l;
}

void BM_RebuildAfterToggle(benchmark::State &state)
{
    Loaded &l = loaded();
    int n = 0;
    for (auto _ : state) {
        l.catalogue.setEnabled(n % kBooks, !l.catalogue.isEnabled(n % kBooks));
        l.list.rebuild();
        benchmark::DoNotOptimize(l.list.count());
        if (state.iterations() % 2 == 1)
            ++n;
    }
    l.catalogue.setAllEnabled(true);
    l.list.rebuild();
    state.counters["words"] = l.list.count();
}
BENCHMARK(BM_RebuildAfterToggle)->Unit(benchmark::kMillisecond);

void BM_FindInEveryBook(benchmark::State &state)
{
    (void)cacheHome();
    Catalogue catalogue;
    catalogue.setHeadwordIndexes(state.range(0) != 0);
    catalogue.load(library());
    WordList list(catalogue);
    list.rebuild();
    std::mt19937 rng(5);
    std::vector<std::u16string> words;
    for (int i = 0; i < 512; ++i)
        words.push_back(list.word(std::uniform_int_distribution<int>(0, list.count() - 1)(rng))
                            .toStdU16String());
    std::size_t i = 0;
    int found = 0;
    for (auto _ : state) {
        for (int n = 0; n < catalogue.count(); ++n)
            found += catalogue.find(n, words[i]).has_value();
        i = (i + 1) % words.size();
    }
    state.counters["found_per_word"] = double(found) / double(state.iterations());
}
BENCHMARK(BM_FindInEveryBook)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Prefixes a user types: the leading letters of words spread over the list, in growing length.
std::vector<QString> keystrokes(const WordList &list)
{
    std::vector<QString> out;
    std::mt19937 rng(11);
    for (int i = 0; i < 256; ++i) {
        const QString w = list.word(std::uniform_int_distribution<int>(0, list.count() - 1)(rng));
        for (int len = 1; len <= std::min<qsizetype>(4, w.size()); ++len)
            out.push_back(len % 2 ? w.left(len).toLower() : w.left(len));
    }
    return out;
}

void BM_SearchKeystroke(benchmark::State &state)
{
    Loaded &l = loaded();
    const std::vector<QString> typed = keystrokes(l.list);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(l.list.find(typed[i]));
        i = (i + 1) % typed.size();
    }
}
BENCHMARK(BM_SearchKeystroke)->Unit(benchmark::kMicrosecond);

void BM_SearchPlainWalk(benchmark::State &state)
{
    Loaded &l = loaded();
    const std::vector<QString> typed = keystrokes(l.list);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(l.list.findByScan(typed[i]));
        i = (i + 1) % typed.size();
    }
}
BENCHMARK(BM_SearchPlainWalk)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
