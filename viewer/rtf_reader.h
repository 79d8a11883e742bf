#pragma once

// Reads rich text (RTF 1.x, as word processors write it) into paragraphs of formatted runs,
// pictures and simple tables. Plain code over the file's bytes: article_document.h puts the
// result into a QTextDocument.
//
// What is read: groups and destinations (the font and colour tables, pictures; ignorable "\*"
// destinations and the non-text ones such as the style sheet, headers or field instructions are
// skipped), the code page ("\ansicpg", a font's "\fcharset"; Windows-1251 when the file names
// none) for "\'hh" escapes and 8-bit text, "\uN" with "\ucN", character formatting ("\f \fs \b \i
// \ul \ulnone \strike \cf \highlight \cb \super \sub \scaps \v \plain"), paragraph formatting
// ("\pard", alignment, indents, spacing before and after, line spacing, tab stops, outline
// levels), "\line \tab \page", tables ("\trowd \cellx \intbl \cell \row", cell shading) and
// pictures in PNG, JPEG and device-independent bitmap form (other picture forms are skipped).
// A field shows its result ("\fldrslt"), so a hyperlink shows as its text.
//
// Nothing in the file is trusted: group nesting, the number of fonts, colours, table cells and
// pictures, and the size of picture data are bounded, every length is checked against what is
// left of the input, and no input can make the reader loop, recurse or allocate beyond a small
// multiple of the input's size.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtGui/qrgb.h>

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

namespace kelmor::viewer {

struct RtfCharStyle
{
    // The font's family kind from the font table (\froman, \fswiss, ...): a hint for a fallback.
    enum class Generic : std::uint8_t { Any, Roman, Swiss, Modern, Script, Decorative, Technical };
    enum class Position : std::uint8_t { Normal, Superscript, Subscript };

    QString family; // empty: the base font of the view
    Generic generic = Generic::Any;
    int halfPoints = 0; // font size in half points; 0: the base size
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool smallCaps = false;
    bool allCaps = false;
    Position position = Position::Normal;
    std::optional<QRgb> color;      // none: the view's text colour
    std::optional<QRgb> background; // highlight; none: no highlight

    friend bool operator==(const RtfCharStyle &, const RtfCharStyle &) = default;
};

// A run of text in one style, or one picture (picture >= 0, text empty). The text holds no
// paragraph breaks; "\line" is U+2028 and "\tab" a tab character.
struct RtfRun
{
    QString text;
    RtfCharStyle style;
    int picture = -1; // index into RtfDocument::pictures
};

struct RtfParagraphStyle
{
    enum class Alignment : std::uint8_t { Left, Right, Center, Justify };
    // How lineSpacing is meant (\sl with \slmult).
    enum class LineSpacing : std::uint8_t { Auto, AtLeast, Exactly, Multiple };

    Alignment alignment = Alignment::Left;
    // Lengths in twips (1/1440 inch).
    int leftIndent = 0;
    int rightIndent = 0;
    int firstLineIndent = 0; // relative to leftIndent; negative: a hanging indent
    int spaceBefore = 0;
    int spaceAfter = 0;
    LineSpacing lineSpacingRule = LineSpacing::Auto;
    int lineSpacing = 0; // twips, or 240ths of a line for Multiple
    std::vector<int> tabStops;
    int headingLevel = 0; // 1..9 from \outlinelevel0..8; 0: body text
    bool pageBreakBefore = false;

    friend bool operator==(const RtfParagraphStyle &, const RtfParagraphStyle &) = default;
};

struct RtfParagraph
{
    RtfParagraphStyle style;
    std::vector<RtfRun> runs;
    // The character style at the paragraph's end: the height of an empty paragraph.
    RtfCharStyle markStyle;
};

struct RtfCell
{
    std::vector<RtfParagraph> paragraphs;
    int rightEdge = 0; // twips from the row's reference; 0 when the row gave no \cellx for it
    std::optional<QRgb> background;
};

struct RtfRow
{
    std::vector<RtfCell> cells;
    int left = 0; // \trleft, twips
};

struct RtfTable
{
    std::vector<RtfRow> rows;
};

using RtfBlock = std::variant<RtfParagraph, RtfTable>;

struct RtfPicture
{
    enum class Format : std::uint8_t { Png, Jpeg, Dib };
    Format format = Format::Png;
    QByteArray data;     // the picture's bytes as in its file form; a DIB has no file header
    int pixelWidth = 0;  // \picw, \pich
    int pixelHeight = 0; //
    int goalWidth = 0;   // \picwgoal, \pichgoal: twips; 0 when not given
    int goalHeight = 0;  //
    int scaleX = 100;    // \picscalex, \picscaley: percent
    int scaleY = 100;    //
};

struct RtfDocument
{
    // False for a file that is not RTF, read as Windows-1251 plain text.
    bool rich = false;
    std::vector<RtfBlock> blocks;
    std::vector<RtfPicture> pictures;
    // Some content was left out because a bound was reached (nesting, cells, pictures).
    bool truncated = false;
};

// Bounds of the reader; the defaults suit any real document.
struct RtfLimits
{
    int maxGroupDepth = 200;
    int maxFonts = 4096;
    int maxColors = 4096;
    int maxColumns = 63;
    int maxTableCells = 20000;
    int maxPictures = 512;
    // Beyond these, paragraph breaks become line breaks and style changes are dropped: the
    // text still shows.
    int maxParagraphs = 200000;
    int maxRuns = 400000;
    qsizetype maxPictureBytes = 32 * 1024 * 1024;
    qsizetype maxTotalPictureBytes = 96 * 1024 * 1024;
};

// True when the bytes begin (after spaces and line breaks) with "{\rtf".
bool looksLikeRtf(QByteArrayView bytes);

// Reads RTF. Damaged or cut-off input gives what could be read; it never fails.
RtfDocument readRtf(QByteArrayView bytes, const RtfLimits &limits = {});

// A file that is not RTF: Windows-1251 text (UTF-8 when it starts with the UTF-8 byte order
// mark), one paragraph per line (CR LF, CR or LF); control characters other than tab show as
// U+FFFD.
RtfDocument readPlainText(QByteArrayView bytes);

// RTF when the bytes look like RTF, otherwise plain text.
RtfDocument readArticle(QByteArrayView bytes, const RtfLimits &limits = {});

// The text of a document: paragraphs end with "\n", the cells of a table row are separated by
// "\t" and a row ends with "\n"; a picture is left out; U+2028 comes back as "\n".
QString documentText(const RtfDocument &document);

// The text of a code page's bytes: the engine's table for Windows-1251, the platform's
// converters for others, Windows-1251 for a code page they do not know.
QString decodeCodePage(QByteArrayView bytes, int codePage);

} // namespace kelmor::viewer
