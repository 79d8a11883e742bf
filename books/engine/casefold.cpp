#include "books/engine/casefold.h"

namespace kelmor::books {

namespace {

// Blocks where upper and lower case alternate (upper on the even or on the odd code point).
struct AlternatingRange
{
    char16_t first;
    char16_t last;
    bool upperIsEven;
};

constexpr AlternatingRange kAlternating[] = {
    {0x0100, 0x012F, true}, {0x0132, 0x0137, true},  {0x0139, 0x0148, false},
    {0x014A, 0x0177, true}, {0x0179, 0x017E, false}, {0x03D8, 0x03EF, true},
    {0x0460, 0x0481, true}, {0x048A, 0x04BF, true},  {0x04C1, 0x04CE, false},
    {0x04D0, 0x052F, true}, {0x1E00, 0x1E95, true},  {0x1EA0, 0x1EFF, true},
};

struct Single
{
    char16_t from;
    char16_t to;
};

constexpr Single kSingles[] = {
    {0x00B5, 0x03BC}, {0x0178, 0x00FF}, {0x017F, 0x0073}, {0x0345, 0x03B9}, {0x037F, 0x03F3},
    {0x0386, 0x03AC}, {0x038C, 0x03CC}, {0x038E, 0x03CD}, {0x038F, 0x03CE}, {0x03C2, 0x03C3},
    {0x03CF, 0x03D7}, {0x03D0, 0x03B2}, {0x03D1, 0x03B8}, {0x03D5, 0x03C6}, {0x03D6, 0x03C0},
    {0x03F0, 0x03BA}, {0x03F1, 0x03C1}, {0x03F4, 0x03B8}, {0x03F5, 0x03B5}, {0x03F7, 0x03F8},
    {0x03F9, 0x03F2}, {0x03FA, 0x03FB}, {0x03FD, 0x037B}, {0x03FE, 0x037C}, {0x03FF, 0x037D},
    {0x04C0, 0x04CF}, {0x1E9B, 0x1E61}, {0x1E9E, 0x00DF},
};

} // namespace

char16_t foldCase(char16_t c)
{
    if (c < 0x80) {
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    }
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
        return static_cast<char16_t>(c + 0x20);
    }
    // Greek capitals (U+03A2 is unassigned) and the accented capitals Έ Ή Ί.
    if ((c >= 0x0391 && c <= 0x03A1) || (c >= 0x03A3 && c <= 0x03AB)) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c >= 0x0388 && c <= 0x038A) {
        return static_cast<char16_t>(c + 0x25);
    }
    // Cyrillic: Ѐ..Џ (Ё among them) and А..Я.
    if (c >= 0x0400 && c <= 0x040F) {
        return static_cast<char16_t>(c + 0x50);
    }
    if (c >= 0x0410 && c <= 0x042F) {
        return static_cast<char16_t>(c + 0x20);
    }
    for (const auto &r : kAlternating) {
        if (c >= r.first && c <= r.last) {
            const bool even = (c % 2) == 0;
            return even == r.upperIsEven ? static_cast<char16_t>(c + 1) : c;
        }
    }
    for (const auto &s : kSingles) {
        if (s.from == c) {
            return s.to;
        }
    }
    return c;
}

std::u16string foldCase(std::u16string_view text)
{
    std::u16string out(text);
    for (auto &c : out) {
        c = foldCase(c);
    }
    return out;
}

} // namespace kelmor::books
