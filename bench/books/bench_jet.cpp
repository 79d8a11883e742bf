// Costs of the Jet 4 reader on a synthetic book of 50,000 records with articles of about 1 KB.
//
//   ReadFileBytes        reading the file's bytes once (the floor for opening a book)
//   OpenIndexList        open + table Book + index List + every List value
//   SeekDecompress       seek one headword + DecompressText of its article (the book is far
//                        larger than the reader's page cache, so a seek mostly reads its pages
//                        from the file)
//   ReadAllStored        open + every record's List, Text and Links as stored
//   MdbExport            `mdb-export` of the same table to /dev/null (an unlocked copy)
//
// Run: bench_jet --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
// and compare the medians: OpenIndexList / ReadFileBytes (goal ≤ 2), SeekDecompress (goal
// < 20 µs), MdbExport / ReadAllStored (goal ≥ 3). The fixture is written once into the
// temporary folder.
//
// Times are CPU times (user + system) so that a loaded machine does not blur the ratios; for
// MdbExport that is the CPU time of the child process, taken from its resource usage.

#include "books/engine/book_writer.h"
#include "books/engine/jet.h"
#include "books/engine/textcodec.h"

#include "sample_article.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;
using namespace kelmor::books;

namespace {

constexpr int kRecords = 50000;

std::u16string headword(int i)
{
    // Cyrillic headwords of varied length, unique by their number.
    static const std::u16string stems[] = {u"Сон",  u"Луна",  u"Дорога",  u"Вода",
                                           u"Ёлка", u"Кошка", u"Зеркало", u"Полёт"};
    std::u16string w = stems[i % 8] + u" ";
    for (char c : std::to_string(i)) {
        w.push_back(static_cast<char16_t>(c));
    }
    return w;
}

using bench::sampleArticle;

struct Fixture
{
    std::string book;     // with the book marker
    std::string unlocked; // plain Jet database, for mdb-export
    std::vector<std::u16string> keys;
};

const Fixture &fixture()
{
    static const Fixture f = [] {
        Fixture f;
        const fs::path dir = fs::temp_directory_path();
        f.book = (dir / "kelmor-bench-50000.book").string();
        f.unlocked = (dir / "kelmor-bench-50000.mdb").string();
        for (int i = 0; i < kRecords; ++i) {
            f.keys.push_back(headword(i));
        }
        if (!fs::exists(f.book) || !fs::exists(f.unlocked)) {
            std::mt19937 rng(42);
            BookSource source;
            source.config.toolName = u"Проверочный сонник";
            source.config.tolkName = u"Проверка";
            source.config.color = u"255";
            for (int i = 0; i < kRecords; ++i) {
                source.records.push_back({f.keys[i], sampleArticle(rng),
                                          u"сон; луна; " + f.keys[(i + 1) % kRecords] + u"."});
            }
            writeBookFile(source, f.book);
            writeBookFile(source, f.unlocked, StoredForm::Decompressed, false);
        }
        return f;
    }();
    return f;
}

void ReadFileBytes(benchmark::State &state)
{
    const auto &f = fixture();
    for (auto _ : state) {
        std::ifstream in(f.book, std::ios::binary | std::ios::ate);
        std::vector<char> bytes(static_cast<std::size_t>(in.tellg()));
        in.seekg(0);
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        benchmark::DoNotOptimize(bytes.data());
    }
}
BENCHMARK(ReadFileBytes)->Unit(benchmark::kMillisecond);

void OpenIndexList(benchmark::State &state)
{
    const auto &f = fixture();
    for (auto _ : state) {
        const auto db = Database::open(f.book);
        const auto table = db->openTable("Book");
        table->setCurrentIndex("List");
        std::size_t chars = 0;
        for (table->moveFirst(); !table->eof(); table->moveNext()) {
            chars += table->text("List")->size();
        }
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(OpenIndexList)->Unit(benchmark::kMillisecond);

void SeekDecompress(benchmark::State &state)
{
    const auto &f = fixture();
    const auto db = Database::open(f.book);
    const auto table = db->openTable("Book");
    table->setCurrentIndex("List");
    std::mt19937 rng(7);
    for (auto _ : state) {
        table->seek(f.keys[rng() % f.keys.size()]);
        const std::u16string text = DecompressText(table->text("Text").value_or(u""));
        benchmark::DoNotOptimize(text.data());
    }
}
BENCHMARK(SeekDecompress)->Unit(benchmark::kMicrosecond);

void ReadAllStored(benchmark::State &state)
{
    const auto &f = fixture();
    for (auto _ : state) {
        const auto db = Database::open(f.unlocked);
        const auto table = db->openTable("Book");
        std::size_t chars = 0;
        for (table->moveFirst(); !table->eof(); table->moveNext()) {
            for (const char *column : {"List", "Text", "Links"}) {
                chars += table->text(column).value_or(u"").size();
            }
        }
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(ReadAllStored)->Unit(benchmark::kMillisecond);

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void MdbExport(benchmark::State &state)
{
    const auto &f = fixture();
    const std::string command = "mdb-export '" + f.unlocked + "' Book > /dev/null";
    for (auto _ : state) {
        const double before = childCpuSeconds();
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("mdb-export failed");
            break;
        }
        state.SetIterationTime(childCpuSeconds() - before);
    }
}
BENCHMARK(MdbExport)->Unit(benchmark::kMillisecond)->UseManualTime();

} // namespace
