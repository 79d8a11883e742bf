#include "viewer/interpretation.h"

#include "books/engine/textcodec.h"

#include <exception>
#include <new>
#include <utility>

namespace kelmor::viewer {

namespace {

constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

std::u16string_view trimSpaces(std::u16string_view s)
{
    while (!s.empty() && s.front() == u' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == u' ')
        s.remove_suffix(1);
    return s;
}

// An error text that goes into the document: marker characters (a file name may hold "<" or
// "&") are replaced by look-alikes that the formatting pass leaves alone, so the message
// shows as plain text and starts no heading or link.
std::u16string asPlainText(std::u16string text)
{
    static constexpr std::pair<char16_t, char16_t> kLookAlikes[] = {
        {u'<', u'‹'}, {u'>', u'›'}, {u'&', u'＆'}, {u'§', u' '},
        {u'^', u' '}, {u'–', u'-'}, {u'\r', u' '}, {u'\n', u' '},
    };
    for (char16_t &ch : text)
        for (const auto &[marker, plain] : kLookAlikes)
            if (ch == marker) {
                ch = plain;
                break;
            }
    return text;
}

// The book's stored article, or the reason it could not be read.
struct SeekOutcome
{
    std::optional<StoredArticle> article;
    std::u16string error;
};

SeekOutcome seekIn(const InterpretationBook &book, std::u16string_view word)
{
    try {
        return {book.seek(word), {}};
    } catch (const std::bad_alloc &) {
        return {std::nullopt, u"недостаточно памяти"};
    } catch (const std::exception &e) {
        return {std::nullopt, books::utf8ToUtf16(e.what())};
    }
}

} // namespace

std::uint32_t colorFromDescription(std::u16string_view description)
{
    std::size_t i = 0;
    while (i < description.size() && (description[i] == u' ' || description[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < description.size() && (description[i] == u'-' || description[i] == u'+')) {
        negative = description[i] == u'-';
        ++i;
    }
    std::uint64_t value = 0;
    for (; i < description.size() && description[i] >= u'0' && description[i] <= u'9'; ++i) {
        value = value * 10 + (description[i] - u'0');
        value &= 0xFFFFFFFFu; // only the low bits matter; keeps long digit strings bounded
    }
    if (negative)
        value = (~value + 1) & 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(value) & 0xFFFFFFu;
}

std::vector<std::u16string> splitLinks(std::u16string_view list)
{
    std::size_t trimmedLength = list.size();
    while (trimmedLength > 0 && list[trimmedLength - 1] == u' ')
        --trimmedLength;

    std::vector<std::u16string> items;
    std::u16string current;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const char16_t ch = list[i];
        if (ch == u';' || (ch == u'.' && i + 1 == trimmedLength)) {
            const std::u16string_view item = trimSpaces(current);
            if (!item.empty())
                items.emplace_back(item);
            current.clear();
        } else {
            current.push_back(ch);
        }
    }
    return items;
}

std::optional<std::u16string> assembleInterpretation(std::u16string_view word,
                                                     std::span<const InterpretationBook> books)
{
    std::u16string body;
    std::u16string collected = u"<";
    for (const InterpretationBook &book : books) {
        if (!book.enabled || book.records == 0 || !book.seek)
            continue;
        const SeekOutcome outcome = seekIn(book, word);
        if (!outcome.article && outcome.error.empty())
            continue;
        body += u"\r\n\r\n& ";
        body += book.title;
        body += u":§\r\n";
        if (!outcome.article) {
            body += kReadFailedText;
            body += asPlainText(outcome.error);
            continue;
        }
        const std::optional<StoredArticle> &found = outcome.article;
        body += books::DecompressText(found->text);

        if (!found->links)
            continue;
        std::u16string bookItems;
        for (const std::u16string &item : splitLinks(books::DecompressText(*found->links))) {
            // Dropped only when an earlier book gave it; repeats within this book stay.
            if (collected.find(u"<" + item + u">") != std::u16string::npos)
                continue;
            bookItems += item;
            bookItems += u">, <";
        }
        collected += bookItems;
    }
    if (collected.size() > 3) {
        collected.resize(collected.size() - 3);
        body += u"\r\n\r\nF^";
        body += collected;
    }
    if (body.empty())
        return std::nullopt;

    std::u16string document;
    document.reserve(1 + word.size() + body.size() + 2);
    document += u' ';
    document += word;
    document += body;
    document += u"\r\n";
    return document;
}

std::vector<HeadingStyle> headingStyles(std::span<const InterpretationBook> books)
{
    std::vector<HeadingStyle> styles;
    styles.reserve(books.size());
    for (const InterpretationBook &book : books)
        styles.push_back({book.title, book.color});
    return styles;
}

std::vector<FormatRun> formatInterpretation(std::u16string_view text, std::size_t wordLength,
                                            std::span<const HeadingStyle> headings)
{
    const std::size_t n = text.size();
    std::vector<CharFormat> chars(n);

    auto forRange = [&](std::size_t start, std::size_t length, auto &&apply) {
        if (start >= n)
            return;
        const std::size_t end = std::min(n, start + length);
        for (std::size_t i = start; i < end; ++i)
            apply(chars[i]);
    };
    auto colour = [](std::uint32_t rgb) {
        return [rgb](CharFormat &f) {
            f.colorKind = CharFormat::Color::Rgb;
            f.rgb = rgb;
        };
    };
    auto hide = [&](std::size_t at) {
        forRange(at, 1, [](CharFormat &f) {
            f.colorKind = CharFormat::Color::Background;
            f.pointSize = kHiddenPointSize;
        });
    };

    // The heading word.
    forRange(1, wordLength, [](CharFormat &f) {
        f.bold = true;
        f.underline = true;
        f.colorKind = CharFormat::Color::Rgb;
        f.rgb = kNavy;
        f.pointSize = kWordPointSize;
    });

    std::size_t lineStart = 0;
    std::size_t headingStart = 0;
    std::size_t linkStart = 0;
    std::uint32_t headingColor = 0; // black
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t ch = text[i];
        switch (ch) {
        case kCr:
            lineStart = i + 1;
            break;
        case u'–':
            if (i > lineStart)
                forRange(lineStart, i - lineStart, colour(kBlue));
            break;
        case u'&':
        case u'F':
            headingStart = i;
            break;
        case u'§':
        case u'^': {
            const std::size_t length = i + 1 - headingStart;
            if (ch == u'§') {
                const std::u16string_view selected = text.substr(headingStart, length);
                for (const HeadingStyle &style : headings) {
                    if (selected.find(style.title) != std::u16string_view::npos)
                        headingColor = oleToRgb(style.color);
                }
            } else {
                headingColor = kTeal;
            }
            forRange(headingStart, length, [&](CharFormat &f) {
                colour(headingColor)(f);
                f.bold = true;
                f.italic = true;
            });
            forRange(headingStart, 1, [&](CharFormat &f) {
                f.pointSize = ch == u'§' ? kBookGlyphPointSize : kLinkGlyphPointSize;
                f.italic = false;
                f.bold = false;
                f.symbol = true;
            });
            hide(i);
            break;
        }
        case u'<':
            linkStart = i;
            break;
        case u'>':
            hide(linkStart);
            if (i > linkStart)
                forRange(linkStart + 1, i - linkStart, [&](CharFormat &f) {
                    colour(kGreen)(f);
                    f.underline = true;
                });
            hide(i);
            break;
        default:
            break;
        }
    }

    std::vector<FormatRun> runs;
    for (std::size_t i = 0; i < n; ++i) {
        if (!runs.empty() && runs.back().format == chars[i])
            ++runs.back().length;
        else
            runs.push_back({static_cast<int>(i), 1, chars[i]});
    }
    return runs;
}

std::u16string linkWordAt(std::u16string_view text, std::ptrdiff_t position)
{
    if (text.find(u'<') == std::u16string_view::npos)
        return {};
    if (position > static_cast<std::ptrdiff_t>(text.size()))
        position = static_cast<std::ptrdiff_t>(text.size());
    std::ptrdiff_t open = -1;
    for (std::ptrdiff_t i = position - 1; i >= 0; --i) {
        if (text[i] == u'>')
            return {};
        if (text[i] == u'<') {
            open = i;
            break;
        }
    }
    if (open < 0)
        return {};
    const std::size_t close = text.find(u'>', static_cast<std::size_t>(open) + 1);
    if (close == std::u16string_view::npos)
        return {};
    return std::u16string(trimSpaces(text.substr(open + 1, close - open - 1)));
}

} // namespace kelmor::viewer
