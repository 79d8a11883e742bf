#include "books/engine/casefold.h"

#include "books/engine/casefold_table.h"

#include <algorithm>
#include <iterator>

namespace kelmor::books {

char32_t foldCodePoint(char32_t c)
{
    // Most headwords are Russian or ASCII: their small letters have no folding.
    if (c < U'A' || (c > U'Z' && c < 0xB5) || (c >= U'а' && c <= U'я')) {
        return c;
    }
    using casefold::kRuns;
    const auto after =
        std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                         [](char32_t v, const casefold::Run &r) { return v < r.first; });
    if (after == std::begin(kRuns)) {
        return c;
    }
    const casefold::Run &run = *std::prev(after);
    const char32_t offset = c - run.first;
    if (offset % run.stride != 0 || offset / run.stride >= run.count) {
        return c;
    }
    return static_cast<char32_t>(static_cast<std::int64_t>(c) + run.delta);
}

void appendFolded(std::u16string &out, std::u16string_view text)
{
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t c =
                0x10000 + ((char32_t(unit) - 0xD800) << 10) + (char32_t(text[i + 1]) - 0xDC00);
            const char32_t folded = foldCodePoint(c) - 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (folded >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (folded & 0x3FF)));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back(unit);
        } else {
            out.push_back(static_cast<char16_t>(foldCodePoint(unit)));
        }
    }
}

std::u16string foldCase(std::u16string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    appendFolded(out, text);
    return out;
}

} // namespace kelmor::books
