// Assembly of the interpretation document and the formatting pass over it.
#include "book_fakes.h"

#include "viewer/interpretation.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace kelmor::viewer;
using namespace kelmor::viewer::testing;

namespace {

std::string u8(std::u16string_view s)
{
    return QString::fromStdU16String(std::u16string(s)).toStdString();
}

std::string assembled(std::u16string_view word, const std::vector<InterpretationBook> &books)
{
    const auto doc = assembleInterpretation(word, books);
    return doc ? u8(*doc) : std::string("<none>");
}

// The format of each character, expanded from the runs.
std::vector<CharFormat> perChar(std::u16string_view text, const std::vector<FormatRun> &runs)
{
    std::vector<CharFormat> out;
    int expected = 0;
    for (const FormatRun &run : runs) {
        EXPECT_EQ(run.start, expected) << "runs must cover the text in order";
        EXPECT_GT(run.length, 0);
        out.insert(out.end(), static_cast<std::size_t>(run.length), run.format);
        expected = run.start + run.length;
    }
    EXPECT_EQ(static_cast<std::size_t>(expected), text.size());
    return out;
}

struct Formatted
{
    std::u16string text;
    std::vector<CharFormat> chars;
    const CharFormat &at(std::u16string_view needle, std::size_t offset = 0) const
    {
        const std::size_t pos = text.find(needle);
        EXPECT_NE(pos, std::u16string::npos) << u8(needle);
        return chars.at(pos + offset);
    }
};

Formatted format(std::u16string_view word, const std::vector<InterpretationBook> &books)
{
    const auto doc = assembleInterpretation(word, books);
    EXPECT_TRUE(doc.has_value());
    Formatted f;
    f.text = doc.value_or(u"");
    const auto styles = headingStyles(books);
    f.chars = perChar(f.text, formatInterpretation(f.text, word.size(), styles));
    return f;
}

constexpr std::uint32_t kOleRed = 0x0000FF;    // 255
constexpr std::uint32_t kOlePurple = 0x800080; // 8388736

} // namespace

TEST(Assembly, BooksInCatalogueOrderSkippingDisabledAndEmptyOnes)
{
    auto empty = fakeBook(u"Пустой", 0, {});
    empty.seek = [](std::u16string_view) -> std::optional<StoredArticle> {
        ADD_FAILURE() << "a book without records is never asked";
        return std::nullopt;
    };
    const std::vector<InterpretationBook> books{
        fakeBook(u"Сонник Миллера", kOleRed, {{u"Вода", u"Чистая вода – к радости.", {}}}),
        fakeBook(u"Отключённый", 0, {{u"вода", u"не показывать", {}}}, false),
        empty,
        fakeBook(u"Другая книга", 0, {{u"ночь", u"Темно.", {}}}),
        fakeBook(u"Книга Ванги", kOlePurple, {{u"ВОДА", u"Вода к переменам.", {}}}),
    };
    EXPECT_EQ(assembled(u"Вода", books), " Вода"
                                         "\r\n\r\n& Сонник Миллера:§\r\nЧистая вода – к радости."
                                         "\r\n\r\n& Книга Ванги:§\r\nВода к переменам.\r\n");
    // The word is written as asked, the books found in any letter case.
    EXPECT_EQ(assembled(u"вОДА", books).substr(0, 9), " вОДА");
    EXPECT_EQ(assembled(u"Огонь", books), "<none>");

    const Formatted f = format(u"Вода", books);
    EXPECT_EQ(f.at(u"Сонник").rgb, 0xFF0000u);
    EXPECT_EQ(f.at(u"Ванги").rgb, 0x800080u);
    EXPECT_TRUE(f.at(u"Ванги").bold && f.at(u"Ванги").italic);
}

TEST(Assembly, LinksAreSplitAtSemicolonsAndTheClosingPeriod)
{
    struct Case
    {
        std::u16string list;
        std::vector<std::u16string> items;
    };
    const std::vector<Case> cases{
        {u"a; b.", {u"a", u"b"}},
        {u"a;b;", {u"a", u"b"}},
        {u"a; b", {u"a"}}, // the unterminated last item is not used
        {u"a;;b.", {u"a", u"b"}},
        {u"  ночь ; луна .  ", {u"ночь", u"луна"}},
        {u"т.е.; a.b.", {u"т.е.", u"a.b"}}, // only the last period closes
        {u"a; a; b.", {u"a", u"a", u"b"}},
        {u"", {}},
        {u".", {}},
        {u"слово", {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(splitLinks(c.list), c.items) << u8(c.list);
}

TEST(Assembly, LinkLineCollectsAcrossBooksDroppingOnlyEarlierBooksItems)
{
    const std::vector<InterpretationBook> books{
        fakeBook(u"Первая", 0, {{u"сон", u"Текст 1", u"ночь; луна."}}),
        fakeBook(u"Вторая", 0, {{u"сон", u"Текст 2", u"луна; звёзды; звёзды; ночь."}}),
        fakeBook(u"Третья", 0, {{u"сон", u"Текст 3", std::nullopt}}),
    };
    const std::string doc = assembled(u"сон", books);
    EXPECT_NE(doc.find("Текст 3\r\n\r\nF^<ночь>, <луна>, <звёзды>, <звёзды>\r\n"),
              std::string::npos)
        << doc;

    // No links at all: no link line.
    const std::vector<InterpretationBook> plain{
        fakeBook(u"Первая", 0, {{u"сон", u"Текст", std::nullopt}}),
        fakeBook(u"Вторая", 0, {{u"сон", u"Ещё", u" ; ."}}),
    };
    EXPECT_EQ(assembled(u"сон", plain).find("F^"), std::string::npos);
}

TEST(Assembly, DamagedAndUnusualStoredValues)
{
    // Not starting with the clear code: the section stays, with an empty article.
    InterpretationBook book = fakeBook(u"Книга", 0, {{u"x", u"", {}}});
    std::u16string stored = storedFromCodes({65, 66, 257});
    book.seek = [&stored](std::u16string_view) {
        return std::optional<StoredArticle>(StoredArticle{stored, std::nullopt});
    };
    const std::vector<InterpretationBook> books{book};
    EXPECT_EQ(assembled(u"x", books), " x\r\n\r\n& Книга:§\r\n\r\n");

    // The table fills up to entry 511; the next entry resets it and lands at 258 without a clear
    // code, and code 258 then reads that entry.
    std::vector<unsigned> codes{256};
    codes.insert(codes.end(), 255, 'x');
    codes.push_back('y');
    codes.push_back(258);
    codes.push_back(257);
    stored = storedFromCodes(codes);
    EXPECT_EQ(assembled(u"x", books),
              " x\r\n\r\n& Книга:§\r\n" + std::string(255, 'x') + "yxy\r\n");

    // A code that is not yet in the table after a clear (KwKwK case) and no end code.
    stored = storedFromCodes({256, 'a', 258, 'b'});
    EXPECT_EQ(assembled(u"x", books), " x\r\n\r\n& Книга:§\r\naaab\r\n");

    // Links stored damaged give no items.
    std::u16string damagedLinks = storedFromCodes({1, 2, 3});
    book.seek = [&damagedLinks](std::u16string_view) {
        return std::optional<StoredArticle>(
            StoredArticle{kelmor::books::CompressText(u"Текст"), damagedLinks});
    };
    const std::vector<InterpretationBook> withLinks{book};
    EXPECT_EQ(assembled(u"x", withLinks), " x\r\n\r\n& Книга:§\r\nТекст\r\n");
}

// A book that cannot be read (a damaged file, or one changed on disk) keeps its section, with
// the reason for its article; the books before and after it show as usual. Marker characters
// in the reason (a file name may hold them) start no link and no heading.
TEST(Assembly, BookThatCannotBeReadShowsWhyInItsSection)
{
    InterpretationBook broken = fakeBook(u"Сломанный", kOlePurple, {{u"Вода", u"нет", {}}});
    broken.seek = [](std::u16string_view) -> std::optional<StoredArticle> {
        throw std::runtime_error("«/книги/<a&b>^.book»: сонник изменён на диске");
    };
    const std::vector<InterpretationBook> books{
        fakeBook(u"Первая", kOleRed, {{u"Вода", u"Текст 1", u"ночь."}}),
        broken,
        fakeBook(u"Третья", 0, {{u"вода", u"Текст 3", u"луна."}}),
    };
    EXPECT_EQ(assembled(u"Вода", books),
              " Вода\r\n\r\n& Первая:§\r\nТекст 1"
              "\r\n\r\n& Сломанный:§\r\nНе удалось прочитать толкование: «/книги/‹a＆b› .book»: "
              "сонник изменён на диске"
              "\r\n\r\n& Третья:§\r\nТекст 3\r\n\r\nF^<ночь>, <луна>\r\n");

    const Formatted f = format(u"Вода", books);
    EXPECT_EQ(f.at(u"Сломанный").rgb, 0x800080u);
    for (std::size_t i = 0; i < std::u16string_view(u"изменён на диске").size(); ++i)
        EXPECT_EQ(f.at(u"‹a＆b› .book»: сонник изменён на диске", i), CharFormat{}) << i;

    // Only unreadable books: the document still says what happened.
    const std::vector<InterpretationBook> alone{broken};
    EXPECT_NE(assembled(u"Вода", alone).find("Не удалось прочитать толкование"), std::string::npos);
}

TEST(Formatting, HeadingWordLinksAndHiddenMarkers)
{
    const std::vector<InterpretationBook> books{
        fakeBook(u"Книга", kOleRed, {{u"Сон", u"Смотри <луна> тут.", u"ночь."}}),
    };
    const Formatted f = format(u"Сон", books);

    CharFormat word;
    word.colorKind = CharFormat::Color::Rgb;
    word.rgb = kNavy;
    word.bold = word.underline = true;
    word.pointSize = 12;
    for (std::size_t i = 1; i <= 3; ++i)
        EXPECT_EQ(f.chars[i], word);
    EXPECT_EQ(f.chars[0], CharFormat{});

    // Book heading: glyph, bold italic title in the book's colour, hidden end marker.
    const CharFormat &glyph = f.at(u"& Книга");
    EXPECT_TRUE(glyph.symbol);
    EXPECT_EQ(glyph.pointSize, 14);
    EXPECT_FALSE(glyph.bold || glyph.italic);
    EXPECT_EQ(glyph.rgb, 0xFF0000u);
    EXPECT_TRUE(f.at(u"§").hidden());
    EXPECT_EQ(f.at(u"§").pointSize, 1);
    EXPECT_TRUE(f.at(u":§").bold);

    // A link inside the article and in the link line.
    for (std::u16string_view link : {u"<луна>", u"<ночь>"}) {
        EXPECT_TRUE(f.at(link, 0).hidden()) << u8(link);
        const CharFormat &letter = f.at(link, 1);
        EXPECT_EQ(letter.rgb, kGreen);
        EXPECT_TRUE(letter.underline);
        EXPECT_FALSE(letter.hidden());
        const CharFormat &close = f.at(link, link.size() - 1);
        EXPECT_TRUE(close.hidden() && close.underline);
        EXPECT_EQ(close.pointSize, 1);
    }
    EXPECT_EQ(f.at(u" тут"), CharFormat{});

    // Link line heading: large teal glyph, "^" hidden.
    const CharFormat &hand = f.at(u"F^");
    EXPECT_TRUE(hand.symbol);
    EXPECT_EQ(hand.pointSize, 22);
    EXPECT_EQ(hand.rgb, kTeal);
    EXPECT_TRUE(f.at(u"F^", 1).hidden());
}

TEST(Formatting, DashColoursItsLineStartAndLatinFMovesTheHeadingStart)
{
    const std::vector<InterpretationBook> books{
        fakeBook(u"Fairy book", kOleRed, {{u"вода", u"Начало.\r\nВода – к слезам", {}}}),
    };
    const Formatted f = format(u"вода", books);
    const std::size_t line = f.text.find(u"Вода –");
    EXPECT_TRUE(f.chars[line - 1].colorKind == CharFormat::Color::Rgb &&
                f.chars[line - 1].rgb == kBlue)
        << "the run starts at the LF";
    for (std::size_t i = line; i < line + 5; ++i)
        EXPECT_EQ(f.chars[i].rgb, kBlue) << i;
    EXPECT_EQ(f.chars[line + 5], CharFormat{}) << "the dash itself is not coloured";
    EXPECT_EQ(f.at(u"Начало"), CharFormat{});

    // The heading glyph starts at the Latin F; "& " keeps the base style.
    EXPECT_EQ(f.at(u"& F"), CharFormat{});
    EXPECT_TRUE(f.at(u"Fairy").symbol);
    EXPECT_TRUE(f.at(u"airy").bold);
    EXPECT_EQ(f.at(u"airy").rgb, 0xFF0000u);
}

TEST(Formatting, HeadingColourOfTheLastMatchingBook)
{
    auto run = [](bool shortFirst) {
        std::vector<InterpretationBook> books{
            fakeBook(u"Миллер", kOleRed, {{u"сон", u"a", {}}}),
            fakeBook(u"Миллер большой", kOlePurple, {{u"сон", u"b", {}}}),
        };
        if (!shortFirst)
            std::swap(books[0], books[1]);
        const Formatted f = format(u"сон", books);
        return std::pair(f.at(u"Миллер:").rgb, f.at(u"Миллер большой").rgb);
    };
    EXPECT_EQ(run(true), std::pair(0xFF0000u, 0x800080u));
    // The longer title's heading contains the shorter one, which comes later: it wins.
    EXPECT_EQ(run(false), std::pair(0xFF0000u, 0xFF0000u));

    // A disabled book's title still colours headings.
    std::vector<InterpretationBook> books{
        fakeBook(u"Книга", kOleRed, {{u"сон", u"a", {}}}),
        fakeBook(u"Книга", kOlePurple, {}, false),
    };
    EXPECT_EQ(format(u"сон", books).at(u"Книга").rgb, 0x800080u);
}

TEST(Formatting, ColourDescriptions)
{
    EXPECT_EQ(colorFromDescription(u"255"), 255u);
    EXPECT_EQ(colorFromDescription(u" 32768 зелёный"), 32768u);
    EXPECT_EQ(colorFromDescription(u""), 0u);
    EXPECT_EQ(colorFromDescription(u"синий"), 0u);
    EXPECT_LE(colorFromDescription(u"99999999999999999999999999"), 0xFFFFFFu);
    EXPECT_EQ(oleToRgb(0x00332211), 0x112233u);
}

TEST(LinkHitTest, PositionsInsideAndOutsideLinks)
{
    const std::u16string text = u" сон\r\nF^<ночь>, < луна >, <x";
    const std::size_t open = text.find(u"<ночь>");
    struct Case
    {
        std::ptrdiff_t position;
        std::u16string word;
    };
    const std::vector<Case> cases{
        {static_cast<std::ptrdiff_t>(open), u""},         // on the hidden "<"
        {static_cast<std::ptrdiff_t>(open + 1), u"ночь"}, // first letter
        {static_cast<std::ptrdiff_t>(open + 5), u"ночь"}, // on the closing ">"
        {static_cast<std::ptrdiff_t>(open + 6), u""},     // the ", " after it
        {static_cast<std::ptrdiff_t>(text.find(u"луна") + 2), u"луна"},
        {static_cast<std::ptrdiff_t>(text.size()), u""}, // "<x" never closed
        {0, u""},
        {1000, u""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(linkWordAt(text, c.position), c.word) << c.position;
    EXPECT_EQ(linkWordAt(u"без ссылок", 3), u"");
}
