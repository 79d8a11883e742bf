// Start-up and interaction costs of the dictionary on a large generated library: 20 books of
// 25,000 headwords each, about 60 % of every book's headwords shared with other books.
//
//   bench_catalogue --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// BM_Startup: catalogue load + first word-list rebuild (what the main window's load runs);
// its counter sort_ms is the dictionary-order sort's part of it.
// BM_RebuildAfterToggle: one book toggled, the list rebuilt.
// BM_SearchKeystroke / BM_SearchPlainWalk: one incremental-search step, index against the plain
// walk through the list. BM_Startup's heap_mb is the heap the loaded catalogue and word list hold.

#include "books/catalogue.h"
#include "books/wordlist.h"
#include "generated_library.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kelmor::books;
using namespace kelmor::bench;

namespace {

void BM_Startup(benchmark::State &state)
{
    const QString &path = library();
    double sortMs = 0, rss = 0;
    int words = 0;
    for (auto _ : state) {
        const double before = heapMegabytes();
        Catalogue catalogue;
        catalogue.load(path);
        WordList list(catalogue);
        list.rebuild();
        sortMs = list.lastSortMilliseconds();
        words = list.count();
        rss = heapMegabytes() - before;
        benchmark::DoNotOptimize(list.count());
    }
    state.counters["words"] = words;
    state.counters["sort_ms"] = sortMs;
    state.counters["heap_mb"] = rss;
}
BENCHMARK(BM_Startup)->Unit(benchmark::kMillisecond)->Iterations(1);

struct Loaded
{
    Catalogue catalogue;
    WordList list{catalogue};
    Loaded()
    {
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
