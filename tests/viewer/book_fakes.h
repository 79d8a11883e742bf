#pragma once

// Books for the viewer tests: articles held in memory, stored compressed as in a book file.

#include "books/engine/textcodec.h"
#include "viewer/interpretation.h"

#include <QString>

#include <map>
#include <memory>
#include <vector>

namespace kelmor::viewer::testing {

struct FakeArticle
{
    std::u16string word;
    std::u16string text;
    std::optional<std::u16string> links; // decompressed form
};

inline std::u16string folded(std::u16string_view word)
{
    return QString::fromStdU16String(std::u16string(word)).toLower().toStdU16String();
}

inline InterpretationBook fakeBook(std::u16string title, std::uint32_t oleColor,
                                   std::vector<FakeArticle> articles, bool enabled = true)
{
    auto index = std::make_shared<std::map<std::u16string, StoredArticle>>();
    for (const FakeArticle &a : articles) {
        StoredArticle stored{books::CompressText(a.text), std::nullopt};
        if (a.links)
            stored.links = books::CompressText(*a.links);
        index->emplace(folded(a.word), std::move(stored));
    }
    InterpretationBook book;
    book.title = std::move(title);
    book.color = oleColor;
    book.enabled = enabled;
    book.records = static_cast<std::int64_t>(articles.size());
    book.seek = [index](std::u16string_view word) -> std::optional<StoredArticle> {
        auto it = index->find(folded(word));
        if (it == index->end())
            return std::nullopt;
        return it->second;
    };
    return book;
}

// A stored value from 9-bit codes, as a book file holds it: the code stream's bytes without the
// first (always zero) byte, each byte as its Windows-1251 character.
inline std::u16string storedFromCodes(const std::vector<unsigned> &codes)
{
    std::string bytes((codes.size() * 9 + 7) / 8, '\0');
    for (std::size_t j = 0; j < codes.size(); ++j)
        for (unsigned bit = 0; bit < 9; ++bit)
            if (codes[j] >> bit & 1u) {
                const std::size_t at = 9 * j + bit;
                bytes[at / 8] = static_cast<char>(bytes[at / 8] | (1 << (at % 8)));
            }
    return books::fromCp1251(std::string_view(bytes).substr(1));
}

} // namespace kelmor::viewer::testing
