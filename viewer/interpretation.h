#pragma once

// The interpretation document of a dream word: assembly from the books and the formatting pass.
//
// The document is plain text with marker characters ("&", "F", "§", "^", "<", ">", "–", CR).
// The formatting pass styles the markers but never removes them, so a character position in the
// view is the same position in the plain text. Everything here is plain code over UTF-16 text;
// interpretation_document.h applies the result to a QTextDocument.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::viewer {

// A book record's stored values, still compressed as in the file.
struct StoredArticle
{
    std::u16string text;
    std::optional<std::u16string> links; // Null when absent
};

// One book of the catalogue as the assembly sees it, in catalogue order.
struct InterpretationBook
{
    std::u16string title;    // the interpretation title (TolkName)
    std::uint32_t color = 0; // heading colour as an OLE colour, 0x00BBGGRR
    bool enabled = true;
    std::int64_t records = 0;
    // Exact lookup of a word on the book's word index, ignoring letter case. Throws an exception
    // whose what() is a Russian UTF-8 text when the book cannot be read (a damaged file, or one
    // changed on disk since it was opened).
    std::function<std::optional<StoredArticle>(std::u16string_view word)> seek;
};

// The number at the start of a colour description ("255", " 32768abc"), 0 when there is none;
// the OLE colour keeps its low 24 bits.
std::uint32_t colorFromDescription(std::u16string_view description);

// The cross-reference items of a decompressed links list: split at ";" and at the closing "."
// (a "." at the last position before trailing spaces), items trimmed of spaces, empty items
// dropped, and an unterminated last item left out.
std::vector<std::u16string> splitLinks(std::u16string_view list);

// The whole document for a word: " " + word, one section per enabled book that has the word,
// the link line when any link was collected, and a final CR LF. std::nullopt when no enabled
// book has the word. A book whose read fails gets its section all the same, with the reason
// (kReadFailedText and the error) for its article, and gives no links; the other books show as
// usual.
// The start of the article of a book that could not be read.
inline constexpr std::u16string_view kReadFailedText = u"Не удалось прочитать толкование: ";
std::optional<std::u16string> assembleInterpretation(std::u16string_view word,
                                                     std::span<const InterpretationBook> books);

// Character formatting of the document.
struct CharFormat
{
    enum class Color : std::uint8_t {
        Text,       // the view's ordinary text colour
        Rgb,        // rgb below
        Background, // the window background colour: a hidden marker
    };
    Color colorKind = Color::Text;
    std::uint32_t rgb = 0; // 0x00RRGGBB
    std::uint8_t pointSize = 9;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool symbol = false; // the symbol font (book and pointing-hand glyphs)

    bool hidden() const { return colorKind == Color::Background; }
    friend bool operator==(const CharFormat &, const CharFormat &) = default;
};

struct FormatRun
{
    int start = 0;
    int length = 0;
    CharFormat format;
};

// Heading colours of the formatting pass: every book of the catalogue (enabled or not).
struct HeadingStyle
{
    std::u16string title;
    std::uint32_t color = 0; // 0x00BBGGRR
};

std::vector<HeadingStyle> headingStyles(std::span<const InterpretationBook> books);

// Colours of the document, 0x00RRGGBB.
constexpr std::uint32_t kNavy = 0x000080;
constexpr std::uint32_t kBlue = 0x0000FF;
constexpr std::uint32_t kGreen = 0x008000;
constexpr std::uint32_t kTeal = 0x008080;
constexpr int kBasePointSize = 9;
constexpr int kWordPointSize = 12;
constexpr int kBookGlyphPointSize = 14;
constexpr int kLinkGlyphPointSize = 22;
constexpr int kHiddenPointSize = 1;

// 0x00BBGGRR → 0x00RRGGBB.
constexpr std::uint32_t oleToRgb(std::uint32_t ole)
{
    return ((ole & 0xFF) << 16) | (ole & 0xFF00) | ((ole >> 16) & 0xFF);
}

// The formatting pass over a document whose heading word (at position 1) has wordLength
// characters: one left-to-right pass, giving runs that cover the whole text in order, adjacent
// runs differing in format.
std::vector<FormatRun> formatInterpretation(std::u16string_view text, std::size_t wordLength,
                                            std::span<const HeadingStyle> headings);

// The link word at a character position: the text between the "<" before the position and the
// next ">", trimmed, or empty when the position is not inside a link.
std::u16string linkWordAt(std::u16string_view text, std::ptrdiff_t position);

} // namespace kelmor::viewer
