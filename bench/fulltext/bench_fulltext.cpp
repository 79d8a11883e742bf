// The full-text search on the generated library (20 books of 25,000 articles, each article its
// headword and two to four sentences of the sample books, about 250 characters):
//
//   bench_fulltext --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
//
// BM_IndexLibrary: every book indexed into a new cache file, as the first use does; counters
// cache_mb (the file once closed) and articles_per_s. The words' forms are looked up afresh.
// BM_Query/<query>: one search of the 20 books for the best 20 articles with their snippets.
// BM_PlainScan/<query>: the same words matched by a plain scan that decompresses every article
// and compares its words' forms with the query's (the forms already looked up, as the index
// has them); the query's ratio is the scan's median over the search's, both from one run.

#include "bench/books/generated_library.h"
#include "books/engine/jet.h"
#include "books/engine/textcodec.h"
#include "books/word_forms.h"
#include "fulltext/fulltext_index.h"
#include "fulltext/word_tokens.h"
#include "platform/cache_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <set>

using namespace kelmor;
using namespace kelmor::fulltext;

namespace {

const char *const kQueries[] = {"змеи", "деньги дорога", "\"чистая вода\""};

const QString &articlesLibrary()
{
    const QDir sources(QStringLiteral(KELMOR_SOURCE_DIR "/data/sources"));
    QStringList files;
    for (const QString &name : sources.entryList({QStringLiteral("*.txt")}))
        files << sources.filePath(name);
    return bench::libraryWithArticles(files);
}

std::shared_ptr<const books::WordForms> forms()
{
    static const std::shared_ptr<const books::WordForms> f = books::WordForms::systemDictionary();
    return f;
}

QStringList bookPaths()
{
    const QDir dir(articlesLibrary());
    QStringList paths;
    for (const QString &name : dir.entryList({QStringLiteral("*.book")}, QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

void indexAll(FulltextIndex &index, std::vector<BookRef> *refs, qint64 *articles)
{
    for (const QString &path : bookPaths()) {
        const QString key = platform::bookCacheKey(path);
        const auto report = index.indexBook(path, key, QFileInfo(path).baseName());
        if (articles)
            *articles += report.articles;
        if (refs)
            refs->push_back({key, QFileInfo(path).baseName()});
    }
}

void BM_IndexLibrary(benchmark::State &state)
{
    articlesLibrary(); // written before the clock runs
    double cacheMb = 0;
    qint64 articles = 0;
    for (auto _ : state) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("kelmor/fulltext.sqlite"));
        articles = 0;
        {
            const auto index = FulltextIndex::open({file, forms()});
            indexAll(*index, nullptr, &articles);
        }
        state.PauseTiming();
        cacheMb = double(QFileInfo(file).size()) / (1024.0 * 1024.0);
        state.ResumeTiming();
    }
    state.counters["cache_mb"] = cacheMb;
    state.counters["articles"] = double(articles);
    state.counters["articles_per_s"] =
        benchmark::Counter(double(articles), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_IndexLibrary)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

struct Indexed
{
    QTemporaryDir dir;
    std::shared_ptr<FulltextIndex> index;
    std::vector<BookRef> refs;
};

Indexed &indexed()
{
    // Made once; its folder goes at the end of the process.
    static Indexed built;
    if (!built.index) {
        built.index = FulltextIndex::open(
            {built.dir.filePath(QStringLiteral("kelmor/fulltext.sqlite")), forms()});
        indexAll(*built.index, &built.refs, nullptr);
    }
    return built;
}

void BM_Query(benchmark::State &state)
{
    Indexed &in = indexed();
    const FulltextQuery query = parseFulltextQuery(QString::fromUtf8(kQueries[state.range(0)]));
    int total = 0;
    for (auto _ : state) {
        const FulltextResult result = in.index->search(query, in.refs, 20);
        total = result.total;
        benchmark::DoNotOptimize(result.hits.data());
    }
    state.SetLabel(kQueries[state.range(0)]);
    state.counters["matches"] = total;
}
BENCHMARK(BM_Query)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The scan: every article read and decompressed, its words split and each compared with the
// query's words through their forms (what each distinct word matches is worked out once and
// kept, as the index keeps its words' forms); a phrase's words must stand in a row.
struct Scan
{
    std::vector<std::unique_ptr<books::Database>> books;
    WordTokens tokens{forms()};
    QHash<QString, quint64> matches; // a word → the query words it matches, one bit each
};

Scan &scan()
{
    static Scan s;
    if (s.books.empty())
        for (const QString &path : bookPaths())
            s.books.push_back(books::Database::open(QFile::encodeName(path).toStdString()));
    return s;
}

int plainScan(Scan &s, const FulltextQuery &query)
{
    // The query's words in a row, term by term: bit i is query word i.
    std::vector<std::vector<QByteArray>> queryWords;
    std::vector<std::pair<int, int>> termBits; // each term's first bit and word count
    for (const QueryTerm &term : query.terms) {
        termBits.emplace_back(int(queryWords.size()), int(term.words.size()));
        for (const QString &word : term.words)
            queryWords.push_back(s.tokens.tokensOf(word));
    }
    const auto matchesOf = [&](QStringView word) {
        const QString key = word.toString();
        const auto found = s.matches.constFind(key);
        if (found != s.matches.cend())
            return *found;
        quint64 bits = 0;
        const std::vector<QByteArray> tokens = s.tokens.tokensOf(word);
        for (std::size_t i = 0; i < queryWords.size() && i < 64; ++i)
            for (const QByteArray &t : tokens)
                if (std::find(queryWords[i].begin(), queryWords[i].end(), t) != queryWords[i].end())
                    bits |= quint64(1) << i;
        s.matches.insert(key, bits);
        return bits;
    };
    int matches = 0;
    std::vector<quint64> words;
    for (const auto &database : s.books) {
        const std::unique_ptr<books::Table> table = database->openTable("Book");
        for (table->moveFirst(); !table->eof(); table->moveNext()) {
            const std::optional<std::u16string> stored = table->text("Text");
            if (!stored)
                continue;
            const QString text = QString::fromStdU16String(books::DecompressText(*stored));
            words.clear();
            for (const books::TextWord &w : books::splitWords(text))
                words.push_back(matchesOf(QStringView(text).mid(w.start, w.length)));
            bool all = true;
            for (const auto &[first, count] : termBits) {
                bool found = false;
                for (std::size_t at = 0; !found && at + std::size_t(count) <= words.size(); ++at) {
                    found = true;
                    for (int k = 0; found && k < count; ++k)
                        found = (words[at + std::size_t(k)] >> (first + k)) & 1;
                }
                all = all && found;
                if (!all)
                    break;
            }
            matches += all;
        }
    }
    return matches;
}

void BM_PlainScan(benchmark::State &state)
{
    Scan &s = scan();
    const FulltextQuery query = parseFulltextQuery(QString::fromUtf8(kQueries[state.range(0)]));
    s.matches.clear();
    plainScan(s, query); // the words' forms looked up once, as the index has them
    const int expected = indexed().index->search(query, indexed().refs, 1).total; // the same answer
    int matches = 0;
    for (auto _ : state)
        matches = plainScan(s, query);
    if (matches != expected)
        state.SkipWithError("the scan and the index disagree");
    state.SetLabel(kQueries[state.range(0)]);
    state.counters["matches"] = matches;
}
BENCHMARK(BM_PlainScan)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

} // namespace
