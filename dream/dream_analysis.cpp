#include "dream/dream_analysis.h"

#include "books/word_forms.h"

#include <QHash>

namespace kelmor::dream {

DreamAnalysis analyseDream(QStringView text, const books::FormResolver &resolver)
{
    DreamAnalysis out;
    const std::vector<books::TextWord> words = books::splitWords(text);
    if (words.empty())
        return out;

    // The keys of each word, computed once per distinct spelling.
    std::vector<books::WordKeys> keys;
    keys.reserve(words.size());
    QHash<QStringView, std::size_t> seen;
    std::vector<bool> joinableAfter(words.size() - 1);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const QStringView word = text.mid(words[i].start, words[i].length);
        const auto it = seen.constFind(word);
        if (it != seen.cend()) {
            keys.push_back(keys[it.value()]);
        } else {
            seen.insert(word, i);
            keys.push_back(resolver.keysOf(word));
        }
        if (i > 0) {
            const int gap = words[i - 1].start + words[i - 1].length;
            joinableAfter[i - 1] = books::joinable(text.mid(gap, words[i].start - gap));
        }
    }

    QHash<int, int> symbolOfRow;
    for (std::size_t i = 0; i < words.size();) {
        const std::optional<books::FormResolver::TextMatch> found =
            resolver.matchAt(keys, joinableAfter, i);
        if (!found) {
            ++i;
            continue;
        }
        const books::TextWord &last = words[i + found->words - 1];
        DreamMark mark;
        mark.start = words[i].start;
        mark.length = last.start + last.length - mark.start;
        const auto it = symbolOfRow.constFind(found->match.row);
        if (it != symbolOfRow.cend()) {
            mark.symbol = it.value();
        } else {
            mark.symbol = int(out.symbols.size());
            symbolOfRow.insert(found->match.row, mark.symbol);
            out.symbols.push_back({found->match.headword, found->match.row,
                                   text.mid(mark.start, mark.length).toString()});
        }
        out.marks.push_back(mark);
        i += found->words;
    }
    return out;
}

} // namespace kelmor::dream
