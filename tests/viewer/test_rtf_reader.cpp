// The rich-text reader: text, code pages and Unicode, destinations, character and paragraph
// formatting, tables, pictures, bounds; plain text files.
#include "viewer/rtf_reader.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

using namespace kelmor::viewer;

namespace {

QByteArray rtf(const char *body)
{
    return QByteArray(body);
}

// The runs of the only paragraph of a document.
const std::vector<RtfRun> &onlyRuns(const RtfDocument &doc)
{
    static const std::vector<RtfRun> none;
    if (doc.blocks.size() != 1 || !std::holds_alternative<RtfParagraph>(doc.blocks[0]))
        return none;
    return std::get<RtfParagraph>(doc.blocks[0]).runs;
}

const RtfParagraph &paragraphAt(const RtfDocument &doc, std::size_t i)
{
    return std::get<RtfParagraph>(doc.blocks.at(i));
}

// The run that holds a piece of text.
const RtfRun *runWith(const RtfDocument &doc, const QString &text)
{
    for (const RtfBlock &block : doc.blocks) {
        if (const auto *p = std::get_if<RtfParagraph>(&block)) {
            for (const RtfRun &run : p->runs) {
                if (run.text.contains(text))
                    return &run;
            }
        }
    }
    return nullptr;
}

QByteArray toHex(const QByteArray &bytes)
{
    QByteArray hex = bytes.toHex();
    // Word wraps picture data in lines; the reader must not mind.
    for (qsizetype at = 64; at < hex.size(); at += 65)
        hex.insert(at, '\n');
    return hex;
}

QByteArray imageBytes(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

struct TextCase
{
    const char *name;
    const char *input;
    const char16_t *text;
};

class RtfText : public ::testing::TestWithParam<TextCase>
{
};

TEST_P(RtfText, ReadsTheText)
{
    const TextCase &c = GetParam();
    const RtfDocument doc = readArticle(QByteArray(c.input));
    EXPECT_EQ(documentText(doc), QString::fromUtf16(c.text)) << c.input;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RtfText,
    ::testing::Values(
        TextCase{"Plain", R"({\rtf1 Hello})", u"Hello\n"},
        TextCase{"ControlWordEatsOneSpace", R"({\rtf1\b  bold\b0})", u" bold\n"},
        TextCase{"Cp1251ByDefault", R"({\rtf1\ansi \'cf\'f0\'e8\'e2\'e5\'f2})", u"Привет\n"},
        TextCase{"EightBitTextInTheCodePage", "{\\rtf1 \xc4\xe0}", u"Да\n"},
        TextCase{"AnsiCpg1252", R"({\rtf1\ansi\ansicpg1252 caf\'e9 \'80})", u"café €\n"},
        TextCase{"AnsiCpgUnknownKeepsCp1251", R"({\rtf1\ansicpg77777 \'e4\'e0})", u"да\n"},
        TextCase{"FontCharsetOverridesTheDocument",
                 R"({\rtf1\ansi\ansicpg1252{\fonttbl{\f0\fcharset204 Arial;}{\f1\fcharset0 X;}})"
                 R"(\f0 \'c4\'e0 \f1 \'e9})",
                 u"Да é\n"},
        TextCase{"FontCharset0TakesTheDocumentPage",
                 R"({\rtf1\ansi\ansicpg1251{\fonttbl{\f0\fcharset0 Arial;}}\f0 \'c4\'e0})",
                 u"Да\n"},
        TextCase{"UnicodeSkipsOneFallback", R"({\rtf1 \u1044?\u1072\'e0!})", u"Да!\n"},
        TextCase{"UnicodeSkipsUcFallbacks", R"({\rtf1\uc2 \u1044\'c4\'c4x})", u"Дx\n"},
        TextCase{"UcZeroSkipsNothing", R"({\rtf1\uc0 \u1044 a})", u"Дa\n"},
        TextCase{"UcIsScopedToTheGroup", R"({\rtf1{\uc2 \u1044??}\u1072?b})", u"Даb\n"},
        TextCase{"NegativeUnicode", R"({\rtf1 \u-4064?})", u"\uF020\n"},
        TextCase{"FallbackEndsAtAGroup", R"({\rtf1\uc3 \u1044{a}b})", u"Дab\n"},
        TextCase{"IgnorableDestinationSkipped", R"({\rtf1 a{\*\unknown x{y}z}b})", u"ab\n"},
        TextCase{"KnownDestinationsSkipped",
                 R"({\rtf1{\stylesheet{\s1 Heading;}}{\info{\title T}{\author A}})"
                 R"({\header H}{\footnote N}a})",
                 u"a\n"},
        TextCase{"UnknownWordKeepsItsText", R"({\rtf1 {\foo x}y})", u"xy\n"},
        TextCase{"HyperlinkShowsItsText",
                 R"({\rtf1 see {\field{\*\fldinst HYPERLINK "http://x.org/"}{\fldrslt )"
                 R"({\ul\cf1 the site}}}.})",
                 u"see the site.\n"},
        TextCase{"FieldInstructionWithoutStar", R"({\rtf1 {\field{\fldinst PAGE}{\fldrslt 7}}})",
                 u"7\n"},
        TextCase{"LineTabAndParagraphs", R"({\rtf1 a\line b\tab c\par d\par})", u"a\nb\tc\nd\n"},
        TextCase{"NewlineAfterBackslashIsAParagraph", "{\\rtf1 a\\\r\nb}", u"a\nb\n"},
        TextCase{"RawLineBreaksIgnored", "{\\rtf1 a\r\nb\nc}", u"abc\n"},
        TextCase{"Escapes", R"({\rtf1 \{x\}\\})", u"{x}\\\n"},
        TextCase{"SpecialCharacters",
                 R"({\rtf1 \emdash\endash\bullet\lquote\rquote\ldblquote\rdblquote\~\-\_})",
                 u"—–•‘’“”\u00A0\u00AD\u2011\n"},
        TextCase{"HiddenTextLeftOut", R"({\rtf1 a{\v secret}b\v c\v0 d})", u"abd\n"},
        TextCase{"BinaryDataIsNotParsed", "{\\rtf1{\\*\\blob \\bin4 }}}{}b}", u"b\n"},
        TextCase{"BinaryLengthBeyondTheInput", "{\\rtf1 a{\\*\\blob \\bin999999999 xy", u"a\n"},
        TextCase{"ListTextShown", R"({\rtf1{\listtext \'95\tab}Item\par})", u"•\tItem\n"},
        TextCase{"OldListNumberingSkipped",
                 R"({\rtf1{\pntext 1.\tab}{\*\pn\pnlvlbody{\pntxta .}}Item\par})", u"1.\tItem\n"},
        TextCase{"UnicodeAlternativeOfUpr", R"({\rtf1{\upr{ansi}{\*\ud{uni}}}})", u"uni\n"},
        TextCase{"ShapePictureAlternativeSkipped",
                 R"({\rtf1 a{\*\shppict{\pict\emfblip 00}}{\nonshppict{\pict\wmetafile8 00}}b})",
                 u"ab\n"},
        TextCase{"CutOffInput", R"({\rtf1 abc{\b def)", u"abcdef\n"},
        TextCase{"TextAfterTheDocumentIgnored", R"({\rtf1 a}b{c})", u"a\n"},
        TextCase{"UnbalancedCloseIgnored", R"({\rtf1 a}})", u"a\n"},
        TextCase{"BadHexEscape", R"({\rtf1 a\'zzb\'4})", u"azzb4\n"},
        TextCase{"ControlCharactersDropped",
                 "{\\rtf1 a\x01\x7f"
                 "b}",
                 u"a\x7f"
                 u"b\n"},
        TextCase{"LeadingSpaceBeforeRtf", " \r\n{\\rtf1 x}", u"x\n"},
        TextCase{"NotRtfIsCp1251", "\xcf\xf0\xe8\xe2\xe5\xf2\r\n\xec\xe8\xf0", u"Привет\nмир\n"},
        TextCase{"NotRtfLoneLineBreaks", "a\rb\nc\r\n\r\nd", u"a\nb\nc\n\nd\n"},
        TextCase{"NotRtfControlCharacters", "a\x01\tb", u"a\uFFFD\tb\n"},
        TextCase{"NotRtfUtf8WithByteOrderMark", "\xEF\xBB\xBF\xD0\x94\xD0\xB0", u"Да\n"},
        TextCase{"NotRtfAlmost", "{\\rtx1 a}", u"{\\rtx1 a}\n"}),
    [](const ::testing::TestParamInfo<TextCase> &info) { return std::string(info.param.name); });

TEST(RtfReader, TellsRtfFromPlainText)
{
    EXPECT_TRUE(readArticle(rtf(R"({\rtf1 a})")).rich);
    EXPECT_FALSE(readArticle(QByteArray("plain")).rich);
    EXPECT_FALSE(readArticle(QByteArray()).rich);
    EXPECT_TRUE(readArticle(QByteArray()).blocks.empty());
}

TEST(RtfReader, CharacterFormatting)
{
    const RtfDocument doc = readRtf(rtf(
        R"({\rtf1\deff1{\fonttbl{\f0\froman Times New Roman;}{\f1\fswiss\fcharset204 Arial;})"
        R"({\f2\fmodern{\*\panose 02070309020205020404}Courier New{\*\falt Courier};}})"
        R"({\colortbl;\red255\green0\blue0;\red0\green0\blue255;})"
        R"(\fs28 A{\b B}{\i C}{\ul D\ulnone E}{\uldb F}{\strike G}\cf1 H\highlight2 I\cf0\highlight0 J)"
        R"({\f0 K}{\f2 L}{\f9 M}{\super N}{\sub O}{\scaps P}{\caps Q}\plain R{\b\b0 S}})"));
    const auto style = [&](const char *text) {
        const RtfRun *run = runWith(doc, QString::fromLatin1(text));
        EXPECT_NE(run, nullptr) << text;
        return run ? run->style : RtfCharStyle{};
    };
    EXPECT_EQ(style("A").family, "Arial"); // the default font
    EXPECT_EQ(style("A").generic, RtfCharStyle::Generic::Swiss);
    EXPECT_EQ(style("A").halfPoints, 28);
    EXPECT_TRUE(style("B").bold);
    EXPECT_FALSE(style("C").bold);
    EXPECT_TRUE(style("C").italic);
    EXPECT_TRUE(style("D").underline);
    EXPECT_FALSE(style("E").underline);
    EXPECT_TRUE(style("F").underline);
    EXPECT_TRUE(style("G").strike);
    EXPECT_EQ(style("H").color, qRgb(255, 0, 0));
    EXPECT_FALSE(style("H").background);
    EXPECT_EQ(style("I").color, qRgb(255, 0, 0));
    EXPECT_EQ(style("I").background, qRgb(0, 0, 255));
    EXPECT_FALSE(style("J").color);
    EXPECT_FALSE(style("J").background);
    EXPECT_EQ(style("K").family, "Times New Roman");
    EXPECT_EQ(style("L").family, "Courier New"); // nested groups of the entry left out
    EXPECT_EQ(style("L").generic, RtfCharStyle::Generic::Modern);
    EXPECT_EQ(style("M").family, "Arial"); // an unknown font changes nothing
    EXPECT_EQ(style("N").position, RtfCharStyle::Position::Superscript);
    EXPECT_EQ(style("O").position, RtfCharStyle::Position::Subscript);
    EXPECT_TRUE(style("P").smallCaps);
    EXPECT_TRUE(style("Q").allCaps);
    EXPECT_EQ(style("R").halfPoints, 0); // \plain: back to the base size, the default font
    EXPECT_EQ(style("R").family, "Arial");
    EXPECT_FALSE(style("R").color);
    EXPECT_FALSE(style("S").bold);
    // One run per change of style, not one per character.
    EXPECT_EQ(runWith(doc, "A")->text, "A");
}

TEST(RtfReader, ColourTableOutOfRangeAndAuto)
{
    const RtfDocument doc =
        readRtf(rtf(R"({\rtf1{\colortbl;\red300\green-5\blue7;;}\cf1 a\cf2 b\cf99 c\cf-1 d})"));
    EXPECT_EQ(runWith(doc, "a")->style.color, qRgb(255, 0, 7)); // clamped to 0..255
    EXPECT_FALSE(runWith(doc, "b")->style.color);               // an empty entry is "auto"
    EXPECT_FALSE(runWith(doc, "c")->style.color);
}

TEST(RtfReader, ParagraphFormatting)
{
    using A = RtfParagraphStyle::Alignment;
    using L = RtfParagraphStyle::LineSpacing;
    const RtfDocument doc =
        readRtf(rtf(R"({\rtf1)"
                    R"(\pard\qc\li720\ri360\fi-360\sb120\sa240\sl360\slmult1 a\par)"
                    R"(\pard\qr\sl-300 b\par)"
                    R"(\pard\qj\sl280\slmult0\tx1440\tx720 c\par)"
                    R"(\pard\outlinelevel1 d\page e\par)"
                    R"(\pard\pagebb f\par)"
                    R"(\pard g\par})"));
    ASSERT_EQ(doc.blocks.size(), 7u);
    const RtfParagraphStyle &a = paragraphAt(doc, 0).style;
    EXPECT_EQ(a.alignment, A::Center);
    EXPECT_EQ(a.leftIndent, 720);
    EXPECT_EQ(a.rightIndent, 360);
    EXPECT_EQ(a.firstLineIndent, -360);
    EXPECT_EQ(a.spaceBefore, 120);
    EXPECT_EQ(a.spaceAfter, 240);
    EXPECT_EQ(a.lineSpacingRule, L::Multiple);
    EXPECT_EQ(a.lineSpacing, 360);
    const RtfParagraphStyle &b = paragraphAt(doc, 1).style;
    EXPECT_EQ(b.alignment, A::Right);
    EXPECT_EQ(b.leftIndent, 0); // \pard resets
    EXPECT_EQ(b.lineSpacingRule, L::Exactly);
    EXPECT_EQ(b.lineSpacing, 300);
    const RtfParagraphStyle &c = paragraphAt(doc, 2).style;
    EXPECT_EQ(c.alignment, A::Justify);
    EXPECT_EQ(c.lineSpacingRule, L::AtLeast);
    EXPECT_EQ(c.tabStops, (std::vector<int>{1440, 720}));
    EXPECT_EQ(paragraphAt(doc, 3).style.headingLevel, 2);
    EXPECT_FALSE(paragraphAt(doc, 3).style.pageBreakBefore);
    EXPECT_TRUE(paragraphAt(doc, 4).style.pageBreakBefore); // after \page
    EXPECT_EQ(documentText(doc), "a\nb\nc\nd\ne\nf\ng\n");
    EXPECT_TRUE(paragraphAt(doc, 5).style.pageBreakBefore); // \pagebb
    EXPECT_FALSE(paragraphAt(doc, 6).style.pageBreakBefore);
    EXPECT_EQ(paragraphAt(doc, 6).style.alignment, A::Left);
}

TEST(RtfReader, LengthsAndSizesAreBounded)
{
    const RtfDocument doc =
        readRtf(rtf(R"({\rtf1\pard\li99999999999\fi-99999999\sb-50\tx0\fs99999999999 a\par})"));
    const RtfParagraph &p = paragraphAt(doc, 0);
    EXPECT_EQ(p.style.leftIndent, 31680);
    EXPECT_EQ(p.style.firstLineIndent, -31680);
    EXPECT_EQ(p.style.spaceBefore, 0);
    EXPECT_TRUE(p.style.tabStops.empty());
    EXPECT_EQ(p.runs.at(0).style.halfPoints, 2000);
}

TEST(RtfReader, Table)
{
    const RtfDocument doc = readRtf(
        rtf(R"({\rtf1{\colortbl;\red0\green128\blue0;}before\par)"
            R"(\trowd\trleft100\clcbpat1\cellx1000\cellx3000)"
            R"(\pard\intbl A\cell\pard\intbl B\par B2\cell\row)"
            R"(\trowd\trleft100\cellx1000\cellx3000\pard\intbl C\cell\pard\intbl\qc D\cell\row)"
            R"(\pard after\par})"));
    ASSERT_EQ(doc.blocks.size(), 3u);
    ASSERT_TRUE(std::holds_alternative<RtfTable>(doc.blocks[1]));
    const RtfTable &t = std::get<RtfTable>(doc.blocks[1]);
    ASSERT_EQ(t.rows.size(), 2u);
    ASSERT_EQ(t.rows[0].cells.size(), 2u);
    EXPECT_EQ(t.rows[0].left, 100);
    EXPECT_EQ(t.rows[0].cells[0].rightEdge, 1000);
    EXPECT_EQ(t.rows[0].cells[1].rightEdge, 3000);
    EXPECT_EQ(t.rows[0].cells[0].background, qRgb(0, 128, 0));
    EXPECT_FALSE(t.rows[0].cells[1].background);
    ASSERT_EQ(t.rows[0].cells[1].paragraphs.size(), 2u);
    EXPECT_EQ(t.rows[1].cells[1].paragraphs.at(0).style.alignment,
              RtfParagraphStyle::Alignment::Center);
    EXPECT_EQ(documentText(doc), "before\nA\tB\nB2\nC\tD\nafter\n");
}

TEST(RtfReader, TableEdgeCases)
{
    // A row never closed, a table at the very end, cells without \intbl, a nested table.
    EXPECT_EQ(documentText(readRtf(rtf(R"({\rtf1\trowd\cellx500\intbl a\cell b})"))), "a\tb\n");
    EXPECT_EQ(documentText(readRtf(rtf(R"({\rtf1 x\cell y\cell\row})"))), "x\ty\n");
    EXPECT_EQ(documentText(readRtf(rtf(R"({\rtf1\intbl a\cell\row\pard b\par})"))), "a\nb\n");
    EXPECT_EQ(documentText(readRtf(rtf(R"({\rtf1\intbl a\par\itap2 n1\nestcell n2\nestcell)"
                                       R"({\*\nesttableprops\trowd\cellx9\nestrow})"
                                       R"({\nonesttables n1 n2}\itap1\cell\row})"))),
              "a\nn1\nn2\n");
    // More cells than columns: the extra ones join the last cell.
    RtfLimits limits;
    limits.maxColumns = 2;
    const RtfDocument wide = readRtf(rtf(R"({\rtf1\intbl a\cell b\cell c\cell\row})"), limits);
    EXPECT_EQ(documentText(wide), "a\tb\nc\n");
    EXPECT_TRUE(wide.truncated);
}

TEST(RtfReader, TooManyCellsGoOnAsParagraphs)
{
    QByteArray input("{\\rtf1 ");
    for (int i = 0; i < 6; ++i)
        input += "\\intbl r" + QByteArray::number(i) + "a\\cell r" + QByteArray::number(i) +
                 "b\\cell\\row ";
    input += "}";
    RtfLimits limits;
    limits.maxTableCells = 4;
    const RtfDocument doc = readRtf(input, limits);
    EXPECT_TRUE(doc.truncated);
    EXPECT_EQ(documentText(doc), "r0a\tr0b\nr1a\tr1b\nr2a\nr2b\nr3a\nr3b\nr4a\nr4b\nr5a\nr5b\n");
}

TEST(RtfReader, NestingBeyondTheBoundIsLeftOut)
{
    QByteArray input("{\\rtf1 a");
    input += QByteArray(100000, '{') + "deep" + QByteArray(100000, '}') + "z}";
    const RtfDocument doc = readRtf(input);
    EXPECT_TRUE(doc.truncated);
    EXPECT_EQ(documentText(doc), "az\n");
}

TEST(RtfReader, ParagraphAndRunBoundsKeepTheText)
{
    RtfLimits limits;
    limits.maxParagraphs = 2;
    limits.maxRuns = 3;
    const RtfDocument doc =
        readRtf(rtf(R"({\rtf1 a\par b\par c\par d\b e\b0 f\b g\b0 h\par})"), limits);
    EXPECT_TRUE(doc.truncated);
    EXPECT_EQ(documentText(doc), "a\nb\nc\ndefgh\n\n");
}

TEST(RtfReader, Pictures)
{
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(qRgb(10, 200, 30));
    const QByteArray png = imageBytes(image, "PNG");
    const QByteArray input = "{\\rtf1 a{\\*\\shppict{\\pict{\\*\\picprop{\\sp{\\sn x}{\\sv 1}}}"
                             "\\pngblip\\picw3\\pich2\\picwgoal450\\pichgoal300\\picscalex50 " +
                             toHex(png) + "}}b{\\pict\\wmetafile8 0102}c{\\pict\\jpegblip \\bin" +
                             QByteArray::number(png.size()) + " " + png + "}d}";
    const RtfDocument doc = readRtf(input);
    ASSERT_EQ(doc.pictures.size(), 2u); // the metafile is skipped
    EXPECT_EQ(documentText(doc), "abcd\n");
    const RtfPicture &first = doc.pictures[0];
    EXPECT_EQ(first.format, RtfPicture::Format::Png);
    EXPECT_EQ(first.data, png);
    EXPECT_EQ(first.goalWidth, 450);
    EXPECT_EQ(first.goalHeight, 300);
    EXPECT_EQ(first.scaleX, 50);
    EXPECT_EQ(first.scaleY, 100);
    EXPECT_EQ(doc.pictures[1].format, RtfPicture::Format::Jpeg);
    EXPECT_EQ(doc.pictures[1].data, png); // \bin data as it is
    const auto &runs = onlyRuns(doc);
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[1].picture, 0);
    EXPECT_EQ(runs[3].picture, 1);
}

TEST(RtfReader, PictureBounds)
{
    RtfLimits limits;
    limits.maxPictureBytes = 4;
    limits.maxPictures = 1;
    const RtfDocument big = readRtf(rtf(R"({\rtf1{\pict\pngblip 0102030405}x})"), limits);
    EXPECT_TRUE(big.pictures.empty());
    EXPECT_TRUE(big.truncated);
    EXPECT_EQ(documentText(big), "x\n");
    const RtfDocument many =
        readRtf(rtf(R"({\rtf1{\pict\pngblip 01}{\pict\pngblip 02}{\pict\pngblip}})"), limits);
    EXPECT_EQ(many.pictures.size(), 1u);
    EXPECT_TRUE(many.truncated);
    // A picture inside a skipped destination is not kept.
    EXPECT_TRUE(readRtf(rtf(R"({\rtf1{\header{\pict\pngblip 01}}})")).pictures.empty());
}

TEST(RtfReader, DecodeCodePage)
{
    EXPECT_EQ(decodeCodePage("\xc0\xff", 1251), "Ая");
    EXPECT_EQ(decodeCodePage("\x80\xef", 866), "Ая");
    EXPECT_EQ(decodeCodePage("\xe1\xd1", 20866), "Ая");
    EXPECT_EQ(decodeCodePage("\xc0", 424242), "А"); // unknown: Windows-1251
}

} // namespace
