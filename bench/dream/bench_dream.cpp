// Word forms and whole dreams on the generated library (bench/books/generated_library.h: 20
// books × 25,000 headwords, about 230,000 distinct).
//
//   bench_dream --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// BM_ResolverStartup: what start-up pays for the resolver: the word list's headwords copied in;
// the index is not built there.
// BM_ResolverIndex: the headword index built on first need (every headword's dictionary forms);
// counters headwords and heap_mb (the heap the index holds).
// BM_ResolveTyped: one typed word resolved on the built index (forms, misses, headwords).
// BM_AnalyseDream: every symbol of a 20,000-character dream found (goal: under 50 ms).
// BM_DreamReport: the same, then the calendar lines and the whole report with every symbol's
// interpretation from the 20 books.

#include "bench/books/generated_library.h"
#include "books/catalogue.h"
#include "books/word_forms.h"
#include "books/word_list_forms.h"
#include "books/wordlist.h"
#include "dream/dream_analysis.h"
#include "dream/dream_report.h"
#include "platform/qt_timezone.h"
#include "viewer/catalogue_books.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kelmor;

namespace {

struct Loaded
{
    books::Catalogue catalogue;
    books::WordList list{catalogue};
    QStringList headwords;
    std::shared_ptr<const books::WordForms> forms = books::WordForms::systemDictionary();
    std::unique_ptr<books::FormResolver> resolver;
    Loaded()
    {
        catalogue.load(bench::library());
        list.rebuild();
        headwords = books::headwordsOf(list);
        resolver = std::make_unique<books::FormResolver>(headwords, forms);
        resolver->prepare();
    }
};

Loaded &loaded()
{
    static Loaded l;
    return l;
}

// A dream of about 20,000 characters: everyday Russian words in many forms, and every eighth
// word a headword of the library (one in ten of two words).
QString dreamText(const Loaded &l, int characters = 20000)
{
    static const QStringList everyday =
        QStringLiteral(
            "мне снилось что я плыву по реке а на берегу сидят собаки и змеи потом шёл дождь "
            "мы долго бежали через тёмный лес где пели птицы и шумели деревья вдруг появилась "
            "старая женщина в красном платке она говорила со мной о доме о матери и о дороге "
            "домой было страшно но светло я видел воду огонь луну и звёзды над головой утром "
            "проснулся с чувством тревоги которое не проходило весь день")
            .split(u' ');
    std::mt19937 rng(5);
    QString text;
    int n = 0;
    while (text.size() < characters) {
        if (++n % 8 == 0)
            text += l.list.word(std::uniform_int_distribution<int>(0, l.list.count() - 1)(rng))
                        .toLower();
        else
            text += everyday[std::uniform_int_distribution<int>(0, int(everyday.size()) - 1)(rng)];
        text += n % 13 == 0  ? QStringLiteral(". ")
                : n % 5 == 0 ? QStringLiteral(", ")
                             : QStringLiteral(" ");
    }
    return text.left(characters);
}

void BM_ResolverStartup(benchmark::State &state)
{
    Loaded &l = loaded();
    for (auto _ : state) {
        books::FormResolver resolver(books::headwordsOf(l.list), l.forms);
        benchmark::DoNotOptimize(resolver.count());
    }
}
BENCHMARK(BM_ResolverStartup)->Unit(benchmark::kMillisecond);

void BM_ResolverIndex(benchmark::State &state)
{
    Loaded &l = loaded();
    double heap = 0;
    for (auto _ : state) {
        const double before = bench::heapMegabytes();
        books::FormResolver resolver(l.headwords, l.forms);
        resolver.prepare();
        heap = bench::heapMegabytes() - before;
        benchmark::DoNotOptimize(resolver.isPrepared());
    }
    state.counters["headwords"] = double(l.headwords.size());
    state.counters["heap_mb"] = heap;
}
BENCHMARK(BM_ResolverIndex)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ResolveTyped(benchmark::State &state)
{
    Loaded &l = loaded();
    std::mt19937 rng(3);
    QStringList typed = {QStringLiteral("змеи"), QStringLiteral("собаками"), QStringLiteral("реке"),
                         QStringLiteral("шмяк")};
    for (int i = 0; i < 60; ++i)
        typed << l.list.word(std::uniform_int_distribution<int>(0, l.list.count() - 1)(rng))
                     .toLower();
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(l.resolver->resolve(typed[i]));
        i = (i + 1) % typed.size();
    }
}
BENCHMARK(BM_ResolveTyped)->Unit(benchmark::kMicrosecond);

void BM_AnalyseDream(benchmark::State &state)
{
    Loaded &l = loaded();
    const QString text = dreamText(l);
    std::size_t symbols = 0;
    for (auto _ : state) {
        const dream::DreamAnalysis analysis = dream::analyseDream(text, *l.resolver);
        symbols = analysis.symbols.size();
        benchmark::DoNotOptimize(symbols);
    }
    state.counters["chars"] = double(text.size());
    state.counters["symbols"] = double(symbols);
}
BENCHMARK(BM_AnalyseDream)->Unit(benchmark::kMillisecond);

void BM_DreamReport(benchmark::State &state)
{
    Loaded &l = loaded();
    const QString text = dreamText(l);
    const std::vector<viewer::InterpretationBook> books = viewer::interpretationBooks(l.catalogue);
    const platform::QtTimeZoneProvider zone;
    std::size_t length = 0;
    for (auto _ : state) {
        const dream::DreamAnalysis analysis = dream::analyseDream(text, *l.resolver);
        const auto calendar = dream::calendarLines(
            calendar::DateTime::fromFields(2024, 4, 9, 7, 30, 0), calendar::Location{}, zone);
        const dream::DreamReport report = dream::buildDreamReport(text, analysis, calendar, books);
        length = report.text.size();
        benchmark::DoNotOptimize(length);
    }
    state.counters["report_chars"] = double(length);
}
BENCHMARK(BM_DreamReport)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
