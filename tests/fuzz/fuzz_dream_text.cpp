// Fuzz target of a dream's text: the words, the symbols found through their forms and the
// report built on them. The first byte picks how the rest is read: even as UTF-8, odd as
// UTF-16LE (lone surrogates and all).

#include "books/word_forms.h"
#include "dream/dream_analysis.h"
#include "dream/dream_report.h"

#include <QString>

#include <cstdint>
#include <cstdlib>

using namespace kelmor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    static const books::FormResolver resolver(
        {QStringLiteral("Вода"), QStringLiteral("Змея"), QStringLiteral("Стоячая вода"),
         QStringLiteral("Жар-птица"), QStringLiteral("Зубы"), QStringLiteral("F <&§>")},
        books::WordForms::systemDictionary());
    const auto *rest = reinterpret_cast<const char *>(data + 1);
    const QString text = data[0] % 2 == 0
                             ? QString::fromUtf8(rest, qsizetype(size - 1))
                             : QString::fromUtf16(reinterpret_cast<const char16_t *>(rest),
                                                  qsizetype((size - 1) / 2));
    const dream::DreamAnalysis analysis = dream::analyseDream(text, resolver);
    int end = 0;
    for (const dream::DreamMark &mark : analysis.marks) {
        if (mark.start < end || mark.length <= 0 || mark.start + mark.length > text.size() ||
            mark.symbol < 0 || std::size_t(mark.symbol) >= analysis.symbols.size())
            std::abort();
        end = mark.start + mark.length;
    }
    (void)resolver.resolve(text);
    const dream::DreamReport report = dream::buildDreamReport(text, analysis, {}, {});
    int covered = 0;
    for (const auto &run : report.runs) {
        if (run.start != covered || run.length <= 0)
            std::abort();
        covered += run.length;
    }
    if (std::size_t(covered) != report.text.size())
        std::abort();
    return 0;
}
