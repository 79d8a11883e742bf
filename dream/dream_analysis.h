#pragma once

// A whole dream read at once: every headword the text names, single words through their
// dictionary forms and headwords of several words on word boundaries, longest first.

#include <QString>

#include <vector>

namespace kelmor::books {
class FormResolver;
}

namespace kelmor::dream {

// One place of a symbol in the text, in UTF-16 code units of the text analysed.
struct DreamMark
{
    int start = 0;
    int length = 0;
    int symbol = 0; // index into DreamAnalysis::symbols
};

struct DreamSymbol
{
    QString headword;
    int row = -1;      // the headword's row in the resolver's list
    QString firstText; // how the text first names it ("реке")
};

struct DreamAnalysis
{
    std::vector<DreamSymbol> symbols; // each once, in the order the text first names them
    std::vector<DreamMark> marks;     // every place, in text order, not overlapping
};

// Reads the text word by word: at each word the longest headword that starts there (see
// FormResolver::matchAt), then on after it. The dictionary forms of each distinct word are
// looked up once.
DreamAnalysis analyseDream(QStringView text, const books::FormResolver &resolver);

} // namespace kelmor::dream
