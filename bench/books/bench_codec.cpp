// Costs of the text codec and of writing a book.
//
//   DecompressArticle    DecompressText of one stored article of about 1 KB
//   CompressArticle      CompressText of the same article
//   BuildBook50k         buildBookFile in memory: 50,000 records with articles of about 1 KB
//                        (compression of every Text and Links included)
//
// Run: bench_codec --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "books/engine/book_writer.h"
#include "books/engine/textcodec.h"

#include "sample_article.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kelmor::books;

namespace {

using bench::sampleArticle;

void DecompressArticle(benchmark::State &state)
{
    std::mt19937 rng(1);
    const std::u16string stored = CompressText(sampleArticle(rng));
    for (auto _ : state)
        benchmark::DoNotOptimize(DecompressText(stored));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 1000);
}
BENCHMARK(DecompressArticle)->Unit(benchmark::kMicrosecond);

void CompressArticle(benchmark::State &state)
{
    std::mt19937 rng(1);
    const std::u16string text = sampleArticle(rng);
    for (auto _ : state)
        benchmark::DoNotOptimize(CompressText(text));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 1000);
}
BENCHMARK(CompressArticle)->Unit(benchmark::kMicrosecond);

void BuildBook50k(benchmark::State &state)
{
    std::mt19937 rng(2);
    BookSource src;
    src.config.toolName = u"Проба";
    for (int i = 0; i < 50000; ++i) {
        std::u16string list = u"Слово ";
        for (char c : std::to_string(i))
            list.push_back(static_cast<char16_t>(c));
        src.records.push_back({list, sampleArticle(rng), u"Вода; Дорога; Луна."});
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(buildBookFile(src));
}
BENCHMARK(BuildBook50k)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
