#include "books/engine/textcodec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kelmor::books;

namespace {

// A stored value holding the given 9-bit codes, packed lowest bits first, without the
// stream's first byte (which the decoder puts back as a zero byte).
std::u16string streamOf(const std::vector<unsigned> &codes)
{
    std::string bytes;
    std::uint32_t acc = 0;
    unsigned bits = 0;
    for (unsigned c : codes) {
        acc |= c << bits;
        bits += 9;
        while (bits >= 8) {
            bytes.push_back(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        bytes.push_back(static_cast<char>(acc & 0xFF));
    EXPECT_EQ(bytes.at(0), 0) << "a stream must start with the clear code's zero low byte";
    return fromCp1251(std::string_view(bytes).substr(1));
}

std::string latin1(std::u16string_view s)
{
    std::string out;
    for (char16_t c : s)
        out.push_back(c < 0x100 ? static_cast<char>(c) : '#');
    return out;
}

} // namespace

TEST(Cp1251, EveryByteRoundTripsAndKnownPointsMap)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string u = fromCp1251(all);
    ASSERT_EQ(u.size(), 256u);
    EXPECT_EQ(toCp1251(u), all);

    struct Point
    {
        std::uint8_t byte;
        char16_t unicode;
    };
    const Point points[] = {{0x00, u'\0'},     {0x41, u'A'},      {0x80, u'\u0402'},
                            {0x88, u'\u20AC'}, {0x96, u'\u2013'}, {0x98, u'\u0098'},
                            {0xA7, u'\u00A7'}, {0xA8, u'\u0401'}, {0xB8, u'\u0451'},
                            {0xB9, u'\u2116'}, {0xC0, u'\u0410'}, {0xE5, u'\u0435'},
                            {0xFF, u'\u044F'}};
    for (const Point &p : points)
        EXPECT_EQ(u[p.byte], p.unicode) << "byte " << int(p.byte);
}

TEST(Cp1251, CharactersWithoutAByteAreRefused)
{
    for (char16_t c : {u'\u00C0', u'\u0100', u'\u4E00', u'\uFFFD', char16_t(0xD83D)})
        EXPECT_EQ(toCp1251(std::u16string(u"Сон") + c), std::nullopt) << int(c);
    EXPECT_THROW(CompressText(u"знак \u4E00"), std::invalid_argument);
}

TEST(DecompressText, HandMadeStreams)
{
    const unsigned a = 'a', b = 'b', c = 'c';
    struct Case
    {
        const char *name;
        std::vector<unsigned> codes;
        const char *expected;
    };
    const Case cases[] = {
        {"plain", {256, a, b, 257}, "ab"},
        {"entries are built and used", {256, a, b, 258, 259, 257}, "ababba"},
        {"code not yet defined (KwKwK)", {256, a, 258, 257}, "aaa"},
        {"KwKwK chain", {256, a, 258, 259, 257}, "aaaaaa"},
        // After a clear, p = 256 (empty), so 'c' adds the one-character entry "c" as 258.
        {"code after a clear adds its own first character", {256, a, b, 256, c, 258, 257}, "abcc"},
        {"undefined code right after a clear outputs nothing", {256, a, 256, 300, b, 257}, "ab"},
        {"no end code: runs to the last whole code", {256, a, b, 258}, "abab"},
        {"codes after the end code are ignored", {256, a, 257, b, b}, "a"},
        // Code 1 is always output as an entry, even the end code (whose entry is empty).
        {"end code as code 1 does not stop", {256, 257, a}, "a"},
        {"empty text", {256, 257}, ""},
    };
    for (const Case &k : cases)
        EXPECT_EQ(latin1(DecompressText(streamOf(k.codes))), k.expected) << k.name;
}

TEST(DecompressText, StreamsNotStartingWithClearAreEmpty)
{
    EXPECT_EQ(DecompressText(u""), u"");
    // One stored character: code 0 only (256 when its low bit is set), no code 1.
    EXPECT_EQ(DecompressText(fromCp1251("\x01")), u"");
    // The stream's first byte is zero, so code 0 is 256 or 0: a stream starting with 0.
    EXPECT_EQ(DecompressText(streamOf({0, 'a', 'b', 257})), u"");
}

TEST(DecompressText, FullTableResetsWithoutClearCode)
{
    // Code 1 adds nothing; codes 2..255 fill entries 258..511; code 256 needs entry 512, so the
    // table resets and stores (entry of code 255 + first character of code 256) as 258.
    std::vector<unsigned> codes = {256, 'a', 'b'};
    std::string expected = "ab";
    for (int i = 3; i <= 254; ++i) {
        codes.push_back('.');
        expected += '.';
    }
    codes.insert(codes.end(), {'y', 'z'});
    expected += "yz";
    ASSERT_EQ(codes.size(), 257u); // clear + codes 1..256
    // 258 is now "yz" (before the reset it was "ab"); reading it adds "zy" as 259, which
    // proves the next free entry after the reset is 259.
    codes.insert(codes.end(), {258, 259, 257});
    expected += "yzzy";
    EXPECT_EQ(latin1(DecompressText(streamOf(codes))), expected);

    // The previous code is looked up in the table as it is after the reset: here the code
    // that triggers the reset is 300 ("..", added by code 44), which the reset empties, so
    // the next code 'q' adds just "q" as 259.
    codes.resize(256);                    // clear + codes 1..255
    expected.resize(expected.size() - 5); // up to and including "y"
    codes.insert(codes.end(), {300, 'q', 259, 257});
    expected += "..qq";
    EXPECT_EQ(latin1(DecompressText(streamOf(codes))), expected);
}

TEST(DecompressText, CharacterOutsideCp1251CountsAsQuestionMark)
{
    const std::u16string stored = CompressText(u"сон и вода, сон и луна");
    for (std::size_t k : {std::size_t(0), std::size_t(3), stored.size() - 1}) {
        std::u16string question = stored, foreign = stored;
        question[k] = u'?';
        foreign[k] = u'\u4E00';
        EXPECT_EQ(DecompressText(foreign), DecompressText(question)) << "position " << k;
    }
}

TEST(CompressText, RoundTripsRandomTexts)
{
    std::mt19937 rng(20261209);
    struct Alphabet
    {
        const char *name;
        std::string bytes;
    };
    std::string everyByte;
    for (int b = 0; b < 256; ++b)
        everyByte.push_back(static_cast<char>(b));
    const Alphabet alphabets[] = {
        {"two letters (long repeats, KwKwK)", "\xE0\xE1"},
        {"one letter", "\xEE"},
        {"every byte, NUL and 0x98 included", everyByte},
        {"Russian letters and punctuation",
         "\xC0\xC1\xC2\xE0\xE5\xE8\xEE\xF3\xFB\xFF\xB8 .,;-\r\n"},
    };
    const std::size_t lengths[] = {0, 1, 2, 3, 17, 300, 5000, 120000};
    for (const Alphabet &al : alphabets) {
        std::uniform_int_distribution<std::size_t> pick(0, al.bytes.size() - 1);
        for (std::size_t len : lengths) {
            std::string text;
            for (std::size_t i = 0; i < len; ++i)
                text.push_back(al.bytes[pick(rng)]);
            const std::u16string u = fromCp1251(text);
            const std::u16string stored = CompressText(u);
            ASSERT_EQ(DecompressText(stored), u) << al.name << ", length " << len;
        }
    }
}

TEST(CompressText, RoundTripsWordTextsAndCompresses)
{
    // Word-like text resets the table many times with long entries in use at the reset.
    const std::u16string words[] = {u"сон",    u"вода", u"к слезам", u"Луна", u"ночь",  u"–",
                                    u"видеть", u"; ",   u".\r\n",    u"дом",  u"дорога"};
    std::mt19937 rng(7);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(words) - 1);
    std::u16string text;
    while (text.size() < 200000) {
        text += words[pick(rng)];
        text += u' ';
    }
    const std::u16string stored = CompressText(text);
    EXPECT_EQ(DecompressText(stored), text);
    EXPECT_LT(stored.size(), text.size() / 2);
    EXPECT_EQ(DecompressText(CompressText(std::u16string(10000, u'я'))),
              std::u16string(10000, u'я'));
    EXPECT_LT(CompressText(std::u16string(10000, u'я')).size(), 300u);
}

TEST(Utf8, ConversionsAndInvalidInput)
{
    struct Case
    {
        std::string utf8;
        std::u16string utf16;
    };
    const Case valid[] = {
        {"", u""},
        {"abc", u"abc"},
        {"\xD0\xA1\xD0\xBE\xD0\xBD \xE2\x80\x93 \xE2\x84\x96", u"Сон – №"},
        {"\xF0\x9F\x8C\x99", u"\U0001F319"},
        {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
    };
    for (const Case &k : valid) {
        EXPECT_EQ(utf8ToUtf16(k.utf8), k.utf16);
        EXPECT_EQ(utf16ToUtf8(k.utf16), k.utf8);
    }
    const Case invalid[] = {
        {"\xFF", u"\uFFFD"},
        {"a\xD0", u"a\uFFFD"},           // truncated sequence
        {"\xD0z", u"\uFFFDz"},           // missing continuation byte
        {"\xC0\xAF", u"\uFFFD"},         // overlong
        {"\xED\xA0\x80", u"\uFFFD"},     // encoded surrogate
        {"\xF4\x90\x80\x80", u"\uFFFD"}, // beyond U+10FFFF
    };
    for (const Case &k : invalid)
        EXPECT_EQ(utf8ToUtf16(k.utf8), k.utf16) << k.utf8;
    EXPECT_EQ(utf16ToUtf8(std::u16string{char16_t(0xD800), u'x'}), "\xEF\xBF\xBDx");
}
