// ShowInterpretation of a word present in all 20 books: seek, decompression, assembly, the
// formatting pass and the formatted QTextDocument.
#include "books/engine/textcodec.h"
#include "viewer/interpretation.h"
#include "viewer/interpretation_document.h"

#include <QGuiApplication>
#include <QTextDocument>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace kelmor::viewer;

namespace {

QGuiApplication &app()
{
    static int argc = 1;
    static char name[] = "bench_viewer";
    static char *argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication instance(argc, argv);
    return instance;
}

std::vector<InterpretationBook> library()
{
    std::vector<InterpretationBook> books;
    for (int b = 0; b < 20; ++b) {
        std::u16string article;
        for (int line = 0; line < 12; ++line)
            article += u"Видеть во сне чистую воду – к радости и успеху в делах; мутную "
                       u"<воду> – к болезни.\r\n";
        auto stored = std::make_shared<StoredArticle>(
            StoredArticle{kelmor::books::CompressText(article),
                          kelmor::books::CompressText(u"море; река; дождь; лёд; купание.")});
        InterpretationBook book;
        book.title = u"Сонник номер " + QString::number(b).toStdU16String();
        book.color = 0x0000FF * std::uint32_t(b % 3);
        book.records = 1000;
        book.seek = [stored](std::u16string_view) { return std::optional(*stored); };
        books.push_back(std::move(book));
    }
    return books;
}

void BM_ShowInterpretation20Books(benchmark::State &state)
{
    app();
    const std::vector<InterpretationBook> books = library();
    const std::vector<HeadingStyle> headings = headingStyles(books);
    QTextDocument document;
    for (auto _ : state) {
        const auto text = assembleInterpretation(u"Вода", books);
        const auto runs = formatInterpretation(*text, 4, headings);
        setFormattedText(&document, *text, runs);
        benchmark::DoNotOptimize(document.characterCount());
    }
}
BENCHMARK(BM_ShowInterpretation20Books)->Unit(benchmark::kMillisecond);

} // namespace
