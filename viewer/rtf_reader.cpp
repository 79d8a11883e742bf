#include "viewer/rtf_reader.h"

#include "books/engine/textcodec.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kelmor::viewer {

namespace {

// The Windows code page of symbol fonts: bytes are glyph numbers, kept as Latin-1.
constexpr int kSymbolCodePage = 42;
constexpr int kDefaultCodePage = 1251;
// Lengths beyond 22 inches are taken as 22 inches; font sizes beyond 1000 points as 1000.
constexpr int kMaxLength = 31680;
constexpr int kMaxHalfPoints = 2000;
constexpr int kMaxTabStops = 32;
constexpr int kMaxControlWord = 32;

QString codePageName(int codePage)
{
    switch (codePage) {
    case 437:
    case 850:
    case 852:
    case 855:
    case 866:
        return QStringLiteral("IBM%1").arg(codePage);
    case 932:
        return QStringLiteral("Shift_JIS");
    case 936:
        return QStringLiteral("GBK");
    case 949:
        return QStringLiteral("windows-949");
    case 950:
        return QStringLiteral("Big5");
    case 10000:
        return QStringLiteral("macintosh");
    case 10007:
        return QStringLiteral("x-mac-cyrillic");
    case 20866:
        return QStringLiteral("KOI8-R");
    case 21866:
        return QStringLiteral("KOI8-U");
    case 65001:
        return QStringLiteral("UTF-8");
    default:
        break;
    }
    if (codePage >= 28591 && codePage <= 28605)
        return QStringLiteral("ISO-8859-%1").arg(codePage - 28590);
    if (codePage == 874 || (codePage >= 1250 && codePage <= 1258))
        return QStringLiteral("windows-%1").arg(codePage);
    return QStringLiteral("cp%1").arg(codePage);
}

// Code page of a font's \fcharset; 0 (ANSI) and 1 (default) take the document's.
int charsetCodePage(int charset, int documentCodePage)
{
    switch (charset) {
    case 2:
        return kSymbolCodePage;
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 255:
        return 437;
    default:
        return documentCodePage;
    }
}

QStringDecoder makeDecoder(int codePage)
{
    return QStringDecoder(codePageName(codePage).toLatin1().constData(),
                          QStringConverter::Flag::Stateless);
}

bool knownCodePage(int codePage)
{
    return codePage == kDefaultCodePage || codePage == kSymbolCodePage ||
           makeDecoder(codePage).isValid();
}

enum class Destination : std::uint8_t {
    Text,
    FontTable,
    ColorTable,
    Picture,
    Skip,
    Upr, // \upr: its first part is the ANSI copy of its \ud part
};

enum class Word : std::uint8_t {
    SkipDestination,
    // header
    Ansi,
    Mac,
    Pc,
    Pca,
    AnsiCpg,
    Deff,
    Uc,
    U,
    // destinations read
    FontTable,
    ColorTable,
    Pict,
    ShpPict,
    Upr,
    Ud,
    // font table
    F,
    FNil,
    FRoman,
    FSwiss,
    FModern,
    FScript,
    FDecor,
    FTech,
    FCharset,
    Cpg,
    // colour table
    Red,
    Green,
    Blue,
    // characters
    Plain,
    B,
    I,
    Ul,
    UlNone,
    Strike,
    StrikeD,
    Cf,
    Highlight,
    Cb,
    Fs,
    Super,
    Sub,
    NoSuperSub,
    Scaps,
    Caps,
    V,
    // paragraphs
    Pard,
    Par,
    Ql,
    Qr,
    Qc,
    Qj,
    Li,
    Ri,
    Fi,
    Sb,
    Sa,
    Sl,
    SlMult,
    Tx,
    OutlineLevel,
    PageBb,
    InTbl,
    Itap,
    // breaks and special characters
    Line,
    Tab,
    Page,
    Sect,
    EmDash,
    EnDash,
    Bullet,
    LQuote,
    RQuote,
    LDblQuote,
    RDblQuote,
    EmSpace,
    EnSpace,
    QmSpace,
    Zwj,
    Zwnj,
    LtrMark,
    RtlMark,
    // tables
    TRowD,
    TrLeft,
    CellX,
    ClCbPat,
    Cell,
    Row,
    NestCell,
    NestRow,
    // pictures
    PngBlip,
    JpegBlip,
    DiBitmap,
    OtherPicture,
    PicW,
    PicH,
    PicWGoal,
    PicHGoal,
    PicScaleX,
    PicScaleY,
    Bin,
};

const std::unordered_map<std::string, Word> &keywords()
{
    static const std::unordered_map<std::string, Word> table = [] {
        std::unordered_map<std::string, Word> t = {
            {"ansi", Word::Ansi},
            {"mac", Word::Mac},
            {"pc", Word::Pc},
            {"pca", Word::Pca},
            {"ansicpg", Word::AnsiCpg},
            {"deff", Word::Deff},
            {"uc", Word::Uc},
            {"u", Word::U},
            {"fonttbl", Word::FontTable},
            {"colortbl", Word::ColorTable},
            {"pict", Word::Pict},
            {"shppict", Word::ShpPict},
            {"upr", Word::Upr},
            {"ud", Word::Ud},
            {"f", Word::F},
            {"fnil", Word::FNil},
            {"froman", Word::FRoman},
            {"fswiss", Word::FSwiss},
            {"fmodern", Word::FModern},
            {"fscript", Word::FScript},
            {"fdecor", Word::FDecor},
            {"ftech", Word::FTech},
            {"fbidi", Word::FNil},
            {"fcharset", Word::FCharset},
            {"cpg", Word::Cpg},
            {"red", Word::Red},
            {"green", Word::Green},
            {"blue", Word::Blue},
            {"plain", Word::Plain},
            {"b", Word::B},
            {"i", Word::I},
            {"ulnone", Word::UlNone},
            {"strike", Word::Strike},
            {"striked", Word::StrikeD},
            {"cf", Word::Cf},
            {"highlight", Word::Highlight},
            {"cb", Word::Cb},
            {"chcbpat", Word::Cb},
            {"fs", Word::Fs},
            {"super", Word::Super},
            {"sub", Word::Sub},
            {"nosupersub", Word::NoSuperSub},
            {"scaps", Word::Scaps},
            {"caps", Word::Caps},
            {"v", Word::V},
            {"pard", Word::Pard},
            {"par", Word::Par},
            {"ql", Word::Ql},
            {"qr", Word::Qr},
            {"qc", Word::Qc},
            {"qj", Word::Qj},
            {"qd", Word::Qj},
            {"li", Word::Li},
            {"lin", Word::Li},
            {"ri", Word::Ri},
            {"rin", Word::Ri},
            {"fi", Word::Fi},
            {"sb", Word::Sb},
            {"sa", Word::Sa},
            {"sl", Word::Sl},
            {"slmult", Word::SlMult},
            {"tx", Word::Tx},
            {"tb", Word::Tx},
            {"outlinelevel", Word::OutlineLevel},
            {"pagebb", Word::PageBb},
            {"intbl", Word::InTbl},
            {"itap", Word::Itap},
            {"line", Word::Line},
            {"tab", Word::Tab},
            {"page", Word::Page},
            {"sect", Word::Sect},
            {"emdash", Word::EmDash},
            {"endash", Word::EnDash},
            {"bullet", Word::Bullet},
            {"lquote", Word::LQuote},
            {"rquote", Word::RQuote},
            {"ldblquote", Word::LDblQuote},
            {"rdblquote", Word::RDblQuote},
            {"emspace", Word::EmSpace},
            {"enspace", Word::EnSpace},
            {"qmspace", Word::QmSpace},
            {"zwj", Word::Zwj},
            {"zwnj", Word::Zwnj},
            {"ltrmark", Word::LtrMark},
            {"rtlmark", Word::RtlMark},
            {"trowd", Word::TRowD},
            {"trleft", Word::TrLeft},
            {"cellx", Word::CellX},
            {"clcbpat", Word::ClCbPat},
            {"cell", Word::Cell},
            {"row", Word::Row},
            {"nestcell", Word::NestCell},
            {"nestrow", Word::NestRow},
            {"pngblip", Word::PngBlip},
            {"jpegblip", Word::JpegBlip},
            {"dibitmap", Word::DiBitmap},
            {"wbitmap", Word::OtherPicture},
            {"wmetafile", Word::OtherPicture},
            {"emfblip", Word::OtherPicture},
            {"macpict", Word::OtherPicture},
            {"pmmetafile", Word::OtherPicture},
            {"picw", Word::PicW},
            {"pich", Word::PicH},
            {"picwgoal", Word::PicWGoal},
            {"pichgoal", Word::PicHGoal},
            {"picscalex", Word::PicScaleX},
            {"picscaley", Word::PicScaleY},
            {"bin", Word::Bin},
        };
        // Every kind of underline is an underline here.
        for (const char *ul : {"ul", "uld", "uldb", "uldash", "uldashd", "uldashdd", "ulhwave",
                               "ulldash", "ulth", "ulthd", "ulthdash", "ulthdashd", "ulthdashdd",
                               "ulthldash", "ululdbwave", "ulw", "ulwave"})
            t.emplace(ul, Word::Ul);
        // Destinations whose content is not text of the document.
        for (const char *skip : {"aftncn",       "aftnsep",
                                 "aftnsepc",     "annotation",
                                 "atnauthor",    "atndate",
                                 "atnicn",       "atnid",
                                 "atnparent",    "atnref",
                                 "atntime",      "author",
                                 "background",   "bkmkend",
                                 "bkmkstart",    "blipuid",
                                 "category",     "colorschememapping",
                                 "comment",      "company",
                                 "datafield",    "datastore",
                                 "do",           "doccomm",
                                 "docvar",       "falt",
                                 "fldinst",      "fontemb",
                                 "fontfile",     "footer",
                                 "footerf",      "footerl",
                                 "footerr",      "footnote",
                                 "formfield",    "ftncn",
                                 "ftnsep",       "ftnsepc",
                                 "generator",    "header",
                                 "headerf",      "headerl",
                                 "headerr",      "hlinkbase",
                                 "info",         "keywords",
                                 "latentstyles", "listoverridetable",
                                 "listtable",    "manager",
                                 "mmathPr",      "nesttableprops",
                                 "nonesttables", "nonshppict",
                                 "objalias",     "objclass",
                                 "objdata",      "objname",
                                 "objsect",      "objtime",
                                 "operator",     "panose",
                                 "passwordhash", "pgdsctbl",
                                 "pgp",          "picprop",
                                 "pn",           "pntxta",
                                 "pntxtb",       "private",
                                 "protusertbl",  "pxe",
                                 "revtbl",       "rsidtbl",
                                 "rxe",          "shpinst",
                                 "shptxt",       "sn",
                                 "sp",           "stylesheet",
                                 "subject",      "sv",
                                 "tc",           "tcn",
                                 "template",     "themedata",
                                 "title",        "txe",
                                 "userprops",    "wgrffmtfilter",
                                 "xe",           "xmlnstbl"})
            t.emplace(skip, Word::SkipDestination);
        return t;
    }();
    return table;
}

int clampLength(int value)
{
    return std::clamp(value, -kMaxLength, kMaxLength);
}

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return c - 'A' + 10;
}

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

class Reader
{
public:
    Reader(QByteArrayView in, const RtfLimits &limits)
        : m_in(in)
        , m_limits(limits)
    {
        m_document.rich = true;
    }

    RtfDocument run();

private:
    struct Font
    {
        QString name;
        RtfCharStyle::Generic generic = RtfCharStyle::Generic::Any;
        int codePage = 0; // 0: the document's
    };

    struct State
    {
        Destination dest = Destination::Text;
        Destination uprOuter = Destination::Text;
        RtfCharStyle style; // family and generic come from the font at output
        int font = -1;      // -1: the default font (\deff)
        bool hidden = false;
        int uc = 1;
        RtfParagraphStyle paragraph;
        bool inTable = false;
        bool ownsPicture = false;
    };

    struct CellDefinition
    {
        int rightEdge = 0;
        std::optional<QRgb> background;
    };

    State &state() { return m_stack.back(); }

    void openGroup();
    void closeGroup();
    qsizetype control(qsizetype at);
    void word(std::string_view name, bool hasParam, int param, qsizetype &next);
    void symbol(char c);
    void textByte(char c);

    void flushBytes();
    void appendText(const QString &text);
    void appendChar(char16_t c) { appendText(QString(QChar(c))); }
    int codePage() const;
    RtfCharStyle outputStyle() const;
    std::optional<QRgb> colorAt(int index) const;

    void commitFont();
    void commitColor();
    void finishPicture(const State &parent);

    // last: the end of the input, where the paragraph is kept even beyond the bound.
    void endParagraph(bool last = false);
    void endCell();
    void endRow();
    void closeTable();
    void pushTable();
    bool paragraphRoom();

    QByteArrayView m_in;
    RtfLimits m_limits;
    RtfDocument m_document;
    std::vector<State> m_stack;
    State m_last; // the outermost state once its group has closed
    int m_overflow = 0;
    bool m_done = false;
    bool m_star = false;
    int m_ucSkip = 0;

    int m_documentCodePage = kDefaultCodePage;
    int m_defaultFont = -1;
    std::map<int, Font> m_fonts;
    int m_fontEntry = -1;
    Font m_fontPending;
    QString m_fontName;

    std::vector<std::optional<QRgb>> m_colors;
    int m_red = 0, m_green = 0, m_blue = 0;
    bool m_colorGiven = false;

    QByteArray m_bytes; // 8-bit text not yet decoded
    std::map<int, QStringDecoder> m_decoders;

    std::vector<RtfRun> m_runs; // the paragraph being read
    bool m_pageBreak = false;
    int m_paragraphs = 0;
    int m_runCount = 0;

    RtfTable m_table;
    RtfRow m_row;
    RtfCell m_cell;
    bool m_cellOpen = false;
    int m_tableCells = 0;
    std::vector<CellDefinition> m_rowDefinition;
    int m_rowLeft = 0;
    std::optional<QRgb> m_cellShading;

    RtfPicture m_picture;
    bool m_pictureSupported = false;
    bool m_pictureTooBig = false;
    int m_nibble = -1;
    qsizetype m_pictureBytes = 0;
};

RtfDocument Reader::run()
{
    const qsizetype n = m_in.size();
    qsizetype i = 0;
    while (i < n && m_in[i] != '{')
        ++i;
    while (i < n && !m_done) {
        const char c = m_in[i];
        if (c == '{') {
            openGroup();
            ++i;
        } else if (c == '}') {
            closeGroup();
            ++i;
        } else if (c == '\\') {
            i = control(i);
        } else {
            if (c != '\r' && c != '\n')
                textByte(c);
            ++i;
        }
    }
    flushBytes();
    if (!m_stack.empty())
        m_last = m_stack.front();
    if (!m_runs.empty()) {
        if (m_stack.empty())
            m_stack.push_back(m_last);
        endParagraph(true);
    }
    closeTable();
    return std::move(m_document);
}

void Reader::openGroup()
{
    flushBytes();
    m_ucSkip = 0;
    m_star = false;
    if (m_overflow > 0) {
        ++m_overflow;
        return;
    }
    if (m_stack.empty()) {
        m_stack.emplace_back();
        return;
    }
    if (int(m_stack.size()) >= m_limits.maxGroupDepth) {
        m_overflow = 1;
        m_document.truncated = true;
        return;
    }
    m_stack.push_back(m_stack.back());
    state().ownsPicture = false;
}

void Reader::closeGroup()
{
    flushBytes();
    m_ucSkip = 0;
    m_star = false;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.empty())
        return;
    State closing = std::move(m_stack.back());
    m_stack.pop_back();
    if (closing.dest == Destination::FontTable)
        commitFont();
    if (m_stack.empty()) {
        m_last = std::move(closing);
        m_done = true;
        return;
    }
    if (closing.ownsPicture)
        finishPicture(state());
}

qsizetype Reader::control(qsizetype at)
{
    const qsizetype n = m_in.size();
    qsizetype j = at + 1;
    if (j >= n)
        return n;
    const char c = m_in[j];
    if (!isLetter(c)) {
        if (c == '\'') {
            if (j + 2 < n && isHex(m_in[j + 1]) && isHex(m_in[j + 2])) {
                textByte(char(hexValue(m_in[j + 1]) * 16 + hexValue(m_in[j + 2])));
                return j + 3;
            }
            return j + 1;
        }
        flushBytes();
        symbol(c);
        return j + 1;
    }
    qsizetype k = j;
    while (k < n && isLetter(m_in[k]))
        ++k;
    const std::string_view name(m_in.data() + j, std::size_t(k - j));
    bool hasParam = false;
    long long value = 0;
    bool negative = false;
    if (k < n && m_in[k] == '-' && k + 1 < n && m_in[k + 1] >= '0' && m_in[k + 1] <= '9') {
        negative = true;
        ++k;
    }
    while (k < n && m_in[k] >= '0' && m_in[k] <= '9') {
        hasParam = true;
        value = std::min<long long>(value * 10 + (m_in[k] - '0'), 2000000000LL);
        ++k;
    }
    if (k < n && m_in[k] == ' ')
        ++k;
    flushBytes();
    word(name, hasParam, int(negative ? -value : value), k);
    return k;
}

void Reader::symbol(char c)
{
    if (m_stack.empty() || m_overflow > 0)
        return;
    if (c == '*') {
        m_star = true;
        return;
    }
    const Destination dest = state().dest;
    if (dest == Destination::Skip || dest == Destination::Upr)
        return;
    if (m_ucSkip > 0) {
        --m_ucSkip;
        return;
    }
    switch (c) {
    case '\\':
    case '{':
    case '}':
        textByte(c);
        break;
    case '~':
        appendChar(u'\u00A0');
        break;
    case '-':
        appendChar(u'\u00AD');
        break;
    case '_':
        appendChar(u'\u2011');
        break;
    case '\r':
    case '\n':
        if (dest == Destination::Text)
            endParagraph();
        break;
    default:
        break;
    }
}

void Reader::textByte(char c)
{
    if (m_stack.empty() || m_overflow > 0)
        return;
    State &s = state();
    switch (s.dest) {
    case Destination::Skip:
    case Destination::Upr:
        return;
    case Destination::Picture:
        if (!isHex(c) || m_pictureTooBig)
            return;
        if (m_nibble < 0) {
            m_nibble = hexValue(c);
        } else {
            if (m_picture.data.size() >= m_limits.maxPictureBytes) {
                m_pictureTooBig = true;
                return;
            }
            m_picture.data.append(char(m_nibble * 16 + hexValue(c)));
            m_nibble = -1;
        }
        return;
    case Destination::ColorTable:
        if (c == ';')
            commitColor();
        return;
    case Destination::FontTable:
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        if (c == ';') {
            flushBytes();
            commitFont();
            return;
        }
        break;
    case Destination::Text:
        if (m_ucSkip > 0) {
            --m_ucSkip;
            return;
        }
        if (s.hidden)
            return;
        break;
    }
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 && byte != '\t')
        return;
    m_bytes.append(c);
}

int Reader::codePage() const
{
    if (m_stack.empty())
        return m_documentCodePage;
    const State &s = m_stack.back();
    if (s.dest == Destination::FontTable)
        return m_fontPending.codePage ? m_fontPending.codePage : m_documentCodePage;
    auto f = m_fonts.find(s.font < 0 ? m_defaultFont : s.font);
    if (f == m_fonts.end())
        f = m_fonts.find(m_defaultFont);
    if (f != m_fonts.end() && f->second.codePage)
        return f->second.codePage;
    return m_documentCodePage;
}

void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    const int cp = codePage();
    QString text;
    if (cp == kDefaultCodePage) {
        text = QString::fromStdU16String(
            books::fromCp1251(std::string_view(m_bytes.constData(), std::size_t(m_bytes.size()))));
    } else if (cp == kSymbolCodePage) {
        text = QString::fromLatin1(m_bytes);
    } else {
        auto it = m_decoders.find(cp);
        if (it == m_decoders.end())
            it = m_decoders.emplace(cp, makeDecoder(cp)).first;
        text = it->second.isValid() ? QString(it->second.decode(m_bytes))
                                    : decodeCodePage(m_bytes, kDefaultCodePage);
    }
    m_bytes.clear();
    appendText(text);
}

RtfCharStyle Reader::outputStyle() const
{
    const State &s = m_stack.back();
    RtfCharStyle style = s.style;
    // A font the table does not have is the default font.
    auto f = m_fonts.find(s.font < 0 ? m_defaultFont : s.font);
    if (f == m_fonts.end())
        f = m_fonts.find(m_defaultFont);
    if (f != m_fonts.end()) {
        style.family = f->second.name;
        style.generic = f->second.generic;
    }
    return style;
}

void Reader::appendText(const QString &text)
{
    if (text.isEmpty() || m_stack.empty())
        return;
    const State &s = state();
    if (s.dest == Destination::FontTable) {
        if (m_fontEntry >= 0)
            m_fontName += text;
        return;
    }
    if (s.dest != Destination::Text || s.hidden)
        return;
    RtfCharStyle style = outputStyle();
    if (!m_runs.empty() && m_runs.back().picture < 0 &&
        (m_runs.back().style == style || m_runCount >= m_limits.maxRuns)) {
        m_runs.back().text += text;
        if (!(m_runs.back().style == style))
            m_document.truncated = true;
        return;
    }
    ++m_runCount;
    m_runs.push_back(RtfRun{text, std::move(style), -1});
}

std::optional<QRgb> Reader::colorAt(int index) const
{
    if (index <= 0 || index >= int(m_colors.size()))
        return std::nullopt;
    return m_colors[std::size_t(index)];
}

void Reader::commitFont()
{
    if (m_fontEntry < 0)
        return;
    m_fontPending.name = m_fontName.trimmed();
    if (!m_fontPending.name.isEmpty() &&
        (m_fonts.count(m_fontEntry) || int(m_fonts.size()) < m_limits.maxFonts))
        m_fonts[m_fontEntry] = m_fontPending;
    m_fontEntry = -1;
    m_fontPending = Font{};
    m_fontName.clear();
}

void Reader::commitColor()
{
    if (int(m_colors.size()) < m_limits.maxColors) {
        m_colors.push_back(m_colorGiven ? std::optional(qRgb(m_red, m_green, m_blue))
                                        : std::nullopt);
    }
    m_red = m_green = m_blue = 0;
    m_colorGiven = false;
}

void Reader::finishPicture(const State &parent)
{
    const bool usable = m_pictureSupported && !m_pictureTooBig && !m_picture.data.isEmpty();
    if (usable && (int(m_document.pictures.size()) >= m_limits.maxPictures ||
                   m_pictureBytes + m_picture.data.size() > m_limits.maxTotalPictureBytes))
        m_document.truncated = true;
    else if (usable && parent.dest == Destination::Text && !parent.hidden) {
        m_pictureBytes += m_picture.data.size();
        m_document.pictures.push_back(std::move(m_picture));
        m_runs.push_back(RtfRun{QString(), outputStyle(), int(m_document.pictures.size()) - 1});
    }
    if (m_pictureTooBig)
        m_document.truncated = true;
    m_picture = RtfPicture{};
    m_pictureSupported = false;
    m_pictureTooBig = false;
    m_nibble = -1;
}

bool Reader::paragraphRoom()
{
    if (m_paragraphs < m_limits.maxParagraphs) {
        ++m_paragraphs;
        return true;
    }
    m_document.truncated = true;
    return false;
}

void Reader::endParagraph(bool last)
{
    const State &s = state();
    if (!paragraphRoom() && !last) {
        // Beyond the bound the text goes on as lines of the last paragraph.
        if (!m_runs.empty() && m_runs.back().picture < 0)
            m_runs.back().text += QChar(u'\u2028');
        return;
    }
    RtfParagraph paragraph{s.paragraph, std::move(m_runs), outputStyle()};
    m_runs.clear();
    paragraph.style.pageBreakBefore = paragraph.style.pageBreakBefore || m_pageBreak;
    m_pageBreak = false;
    if (s.inTable) {
        m_cell.paragraphs.push_back(std::move(paragraph));
        m_cellOpen = true;
    } else {
        closeTable();
        m_document.blocks.emplace_back(std::move(paragraph));
    }
}

void Reader::endCell()
{
    if (!m_runs.empty() || m_cell.paragraphs.empty()) {
        if (paragraphRoom()) {
            RtfParagraph paragraph{state().paragraph, std::move(m_runs), outputStyle()};
            paragraph.style.pageBreakBefore = false;
            m_cell.paragraphs.push_back(std::move(paragraph));
        }
        m_runs.clear();
    }
    if (int(m_row.cells.size()) < m_limits.maxColumns) {
        m_row.cells.push_back(std::move(m_cell));
    } else {
        m_document.truncated = true;
        auto &last = m_row.cells.back().paragraphs;
        for (RtfParagraph &p : m_cell.paragraphs)
            last.push_back(std::move(p));
    }
    m_cell = RtfCell{};
    m_cellOpen = false;
}

void Reader::endRow()
{
    if (!m_runs.empty() || m_cellOpen)
        endCell();
    if (m_row.cells.empty())
        return;
    RtfRow row = std::move(m_row);
    m_row = RtfRow{};
    row.left = m_rowLeft;
    for (std::size_t i = 0; i < row.cells.size() && i < m_rowDefinition.size(); ++i) {
        row.cells[i].rightEdge = m_rowDefinition[i].rightEdge;
        row.cells[i].background = m_rowDefinition[i].background;
    }
    if (m_tableCells + int(row.cells.size()) > m_limits.maxTableCells) {
        // Too many cells for one document: the row's paragraphs follow as text.
        m_document.truncated = true;
        pushTable();
        for (RtfCell &cell : row.cells)
            for (RtfParagraph &p : cell.paragraphs)
                m_document.blocks.emplace_back(std::move(p));
        return;
    }
    m_tableCells += int(row.cells.size());
    m_table.rows.push_back(std::move(row));
}

void Reader::pushTable()
{
    if (m_table.rows.empty())
        return;
    m_document.blocks.emplace_back(std::move(m_table));
    m_table = RtfTable{};
}

void Reader::closeTable()
{
    if (!m_row.cells.empty() || m_cellOpen)
        endRow();
    pushTable();
}

void Reader::word(std::string_view name, bool hasParam, int param, qsizetype &next)
{
    if (m_stack.empty())
        return;
    const bool star = std::exchange(m_star, false);
    if (name == "bin") {
        // Binary data: its length is taken only as far as the input goes.
        const qsizetype length = std::clamp<qsizetype>(hasParam ? param : 0, 0, m_in.size() - next);
        if (m_overflow == 0 && state().dest == Destination::Picture && !m_pictureTooBig) {
            if (m_picture.data.size() + length > m_limits.maxPictureBytes)
                m_pictureTooBig = true;
            else
                m_picture.data.append(m_in.sliced(next, length));
        }
        next += length;
        return;
    }
    State &s = state();
    if (s.dest == Destination::Skip || m_overflow > 0)
        return;
    const auto &table = keywords();
    const auto found =
        name.size() <= std::size_t(kMaxControlWord) ? table.find(std::string(name)) : table.end();
    if (star &&
        (found == table.end() || (found->second != Word::ShpPict && found->second != Word::Ud))) {
        s.dest = Destination::Skip;
        return;
    }
    if (found == table.end())
        return;
    const Word w = found->second;
    if (s.dest == Destination::Upr) {
        if (w == Word::Ud)
            s.dest = s.uprOuter;
        return;
    }
    // A control word counts as one character of a \u fallback; another \u ends the fallback.
    if (w == Word::U)
        m_ucSkip = 0;
    if (m_ucSkip > 0 && s.dest != Destination::Picture) {
        --m_ucSkip;
        return;
    }
    const bool on = !hasParam || param != 0;
    switch (w) {
    case Word::SkipDestination:
        s.dest = Destination::Skip;
        break;
    case Word::Ansi:
        break;
    case Word::Mac:
        m_documentCodePage = 10000;
        break;
    case Word::Pc:
        m_documentCodePage = 437;
        break;
    case Word::Pca:
        m_documentCodePage = 850;
        break;
    case Word::AnsiCpg:
        if (hasParam && param > 0 && knownCodePage(param))
            m_documentCodePage = param;
        break;
    case Word::Deff:
        if (hasParam)
            m_defaultFont = param;
        break;
    case Word::Uc:
        s.uc = std::clamp(hasParam ? param : 1, 0, 16);
        break;
    case Word::U: {
        if (!hasParam)
            break;
        int code = param < 0 ? param + 65536 : param;
        if (code < 0 || code > 0xFFFF)
            code = 0xFFFD;
        if (s.dest == Destination::Text || s.dest == Destination::FontTable) {
            if (code < 0x20 && code != '\t')
                code = 0xFFFD;
            appendChar(char16_t(code));
        }
        m_ucSkip = s.uc;
        break;
    }
    case Word::FontTable:
        s.dest = Destination::FontTable;
        break;
    case Word::ColorTable:
        s.dest = Destination::ColorTable;
        m_colors.clear();
        m_colorGiven = false;
        break;
    case Word::Pict:
        if (s.dest == Destination::Picture)
            break;
        s.dest = Destination::Picture;
        s.ownsPicture = true;
        m_picture = RtfPicture{};
        m_pictureSupported = false;
        m_pictureTooBig = false;
        m_nibble = -1;
        break;
    case Word::ShpPict:
    case Word::Ud:
        break;
    case Word::Upr:
        s.uprOuter = s.dest;
        s.dest = Destination::Upr;
        break;
    case Word::F:
        if (s.dest == Destination::FontTable) {
            commitFont();
            if (hasParam) {
                m_fontEntry = param;
                m_fontPending = Font{};
                m_fontName.clear();
            }
        } else if (hasParam) {
            s.font = param;
        }
        break;
    case Word::FNil:
    case Word::FRoman:
    case Word::FSwiss:
    case Word::FModern:
    case Word::FScript:
    case Word::FDecor:
    case Word::FTech:
        if (s.dest == Destination::FontTable) {
            using G = RtfCharStyle::Generic;
            static constexpr G kinds[] = {G::Any,    G::Roman,      G::Swiss,    G::Modern,
                                          G::Script, G::Decorative, G::Technical};
            m_fontPending.generic = kinds[int(w) - int(Word::FNil)];
        }
        break;
    case Word::FCharset:
        if (s.dest == Destination::FontTable && hasParam) {
            const int cp = charsetCodePage(param, 0);
            if (cp == 0 || knownCodePage(cp))
                m_fontPending.codePage = cp;
        }
        break;
    case Word::Cpg:
        if (s.dest == Destination::FontTable && hasParam && param > 0 && knownCodePage(param))
            m_fontPending.codePage = param;
        break;
    case Word::Red:
    case Word::Green:
    case Word::Blue:
        if (s.dest == Destination::ColorTable) {
            const int v = std::clamp(hasParam ? param : 0, 0, 255);
            (w == Word::Red ? m_red : w == Word::Green ? m_green : m_blue) = v;
            m_colorGiven = true;
        }
        break;
    case Word::Plain:
        s.style = RtfCharStyle{};
        s.font = -1;
        s.hidden = false;
        break;
    case Word::B:
        s.style.bold = on;
        break;
    case Word::I:
        s.style.italic = on;
        break;
    case Word::Ul:
        s.style.underline = on;
        break;
    case Word::UlNone:
        s.style.underline = false;
        break;
    case Word::Strike:
    case Word::StrikeD:
        s.style.strike = on;
        break;
    case Word::Cf:
        s.style.color = colorAt(hasParam ? param : 0);
        break;
    case Word::Highlight:
    case Word::Cb:
        s.style.background = colorAt(hasParam ? param : 0);
        break;
    case Word::Fs:
        s.style.halfPoints = hasParam && param > 0 ? std::min(param, kMaxHalfPoints) : 0;
        break;
    case Word::Super:
        s.style.position = RtfCharStyle::Position::Superscript;
        break;
    case Word::Sub:
        s.style.position = RtfCharStyle::Position::Subscript;
        break;
    case Word::NoSuperSub:
        s.style.position = RtfCharStyle::Position::Normal;
        break;
    case Word::Scaps:
        s.style.smallCaps = on;
        break;
    case Word::Caps:
        s.style.allCaps = on;
        break;
    case Word::V:
        s.hidden = on;
        break;
    case Word::Pard:
        s.paragraph = RtfParagraphStyle{};
        s.inTable = false;
        break;
    case Word::Par:
    case Word::Sect:
        if (s.dest == Destination::Text)
            endParagraph();
        break;
    case Word::Ql:
        s.paragraph.alignment = RtfParagraphStyle::Alignment::Left;
        break;
    case Word::Qr:
        s.paragraph.alignment = RtfParagraphStyle::Alignment::Right;
        break;
    case Word::Qc:
        s.paragraph.alignment = RtfParagraphStyle::Alignment::Center;
        break;
    case Word::Qj:
        s.paragraph.alignment = RtfParagraphStyle::Alignment::Justify;
        break;
    case Word::Li:
        s.paragraph.leftIndent = clampLength(param);
        break;
    case Word::Ri:
        s.paragraph.rightIndent = clampLength(param);
        break;
    case Word::Fi:
        s.paragraph.firstLineIndent = clampLength(param);
        break;
    case Word::Sb:
        s.paragraph.spaceBefore = std::clamp(param, 0, kMaxLength);
        break;
    case Word::Sa:
        s.paragraph.spaceAfter = std::clamp(param, 0, kMaxLength);
        break;
    case Word::Sl: {
        using L = RtfParagraphStyle::LineSpacing;
        const int v = clampLength(param);
        s.paragraph.lineSpacing = v < 0 ? -v : v;
        s.paragraph.lineSpacingRule = v == 0 ? L::Auto : v < 0 ? L::Exactly : L::AtLeast;
        break;
    }
    case Word::SlMult:
        if (on && s.paragraph.lineSpacingRule != RtfParagraphStyle::LineSpacing::Auto)
            s.paragraph.lineSpacingRule = RtfParagraphStyle::LineSpacing::Multiple;
        break;
    case Word::Tx:
        if (hasParam && param > 0 && int(s.paragraph.tabStops.size()) < kMaxTabStops)
            s.paragraph.tabStops.push_back(std::min(param, kMaxLength));
        break;
    case Word::OutlineLevel:
        s.paragraph.headingLevel = hasParam && param >= 0 && param <= 8 ? param + 1 : 0;
        break;
    case Word::PageBb:
        s.paragraph.pageBreakBefore = on;
        break;
    case Word::InTbl:
        s.inTable = on;
        break;
    case Word::Itap:
        s.inTable = hasParam ? param > 0 : true;
        break;
    case Word::Line:
        appendChar(u'\u2028');
        break;
    case Word::Tab:
        appendChar(u'\t');
        break;
    case Word::Page:
        if (s.dest != Destination::Text)
            break;
        if (!m_runs.empty())
            endParagraph();
        m_pageBreak = true;
        break;
    case Word::EmDash:
        appendChar(u'\u2014');
        break;
    case Word::EnDash:
        appendChar(u'\u2013');
        break;
    case Word::Bullet:
        appendChar(u'\u2022');
        break;
    case Word::LQuote:
        appendChar(u'\u2018');
        break;
    case Word::RQuote:
        appendChar(u'\u2019');
        break;
    case Word::LDblQuote:
        appendChar(u'\u201C');
        break;
    case Word::RDblQuote:
        appendChar(u'\u201D');
        break;
    case Word::EmSpace:
        appendChar(u'\u2003');
        break;
    case Word::EnSpace:
        appendChar(u'\u2002');
        break;
    case Word::QmSpace:
        appendChar(u'\u2005');
        break;
    case Word::Zwj:
        appendChar(u'\u200D');
        break;
    case Word::Zwnj:
        appendChar(u'\u200C');
        break;
    case Word::LtrMark:
        appendChar(u'\u200E');
        break;
    case Word::RtlMark:
        appendChar(u'\u200F');
        break;
    case Word::TRowD:
        m_rowDefinition.clear();
        m_rowLeft = 0;
        m_cellShading.reset();
        break;
    case Word::TrLeft:
        m_rowLeft = clampLength(param);
        break;
    case Word::CellX:
        if (int(m_rowDefinition.size()) < m_limits.maxColumns)
            m_rowDefinition.push_back({clampLength(param), m_cellShading});
        m_cellShading.reset();
        break;
    case Word::ClCbPat:
        m_cellShading = colorAt(param);
        break;
    case Word::Cell:
        if (s.dest == Destination::Text)
            endCell();
        break;
    case Word::Row:
        if (s.dest == Destination::Text)
            endRow();
        break;
    case Word::NestCell:
    case Word::NestRow:
        // Nested tables show their cells as paragraphs of the outer cell.
        if (s.dest == Destination::Text && (!m_runs.empty() || w == Word::NestCell))
            endParagraph();
        break;
    case Word::PngBlip:
    case Word::JpegBlip:
    case Word::DiBitmap:
    case Word::OtherPicture:
        if (s.dest == Destination::Picture) {
            m_pictureSupported = w != Word::OtherPicture;
            m_picture.format = w == Word::PngBlip    ? RtfPicture::Format::Png
                               : w == Word::JpegBlip ? RtfPicture::Format::Jpeg
                                                     : RtfPicture::Format::Dib;
        }
        break;
    case Word::PicW:
    case Word::PicH:
    case Word::PicWGoal:
    case Word::PicHGoal:
    case Word::PicScaleX:
    case Word::PicScaleY:
        if (s.dest == Destination::Picture) {
            const int v = std::clamp(param, 0, w >= Word::PicScaleX ? 10000 : kMaxLength * 4);
            switch (w) {
            case Word::PicW:
                m_picture.pixelWidth = v;
                break;
            case Word::PicH:
                m_picture.pixelHeight = v;
                break;
            case Word::PicWGoal:
                m_picture.goalWidth = v;
                break;
            case Word::PicHGoal:
                m_picture.goalHeight = v;
                break;
            case Word::PicScaleX:
                m_picture.scaleX = v;
                break;
            default:
                m_picture.scaleY = v;
                break;
            }
        }
        break;
    case Word::Bin:
        break;
    }
}

} // namespace

bool looksLikeRtf(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() &&
           (bytes[i] == ' ' || bytes[i] == '\t' || bytes[i] == '\r' || bytes[i] == '\n'))
        ++i;
    return bytes.sliced(i).startsWith(QByteArrayView("{\\rtf"));
}

RtfDocument readRtf(QByteArrayView bytes, const RtfLimits &limits)
{
    return Reader(bytes, limits).run();
}

RtfDocument readPlainText(QByteArrayView bytes)
{
    QString text;
    if (bytes.startsWith(QByteArrayView("\xEF\xBB\xBF")))
        text = QString::fromUtf8(bytes.sliced(3));
    else
        text = decodeCodePage(bytes, kDefaultCodePage);
    RtfDocument document;
    QString line;
    const auto endLine = [&] {
        RtfParagraph paragraph;
        if (!line.isEmpty())
            paragraph.runs.push_back(RtfRun{line, {}, -1});
        document.blocks.emplace_back(std::move(paragraph));
        line.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                ++i;
            endLine();
        } else if (c == u'\n') {
            endLine();
        } else if (c.unicode() < 0x20 && c != u'\t') {
            line += QChar(u'\uFFFD');
        } else {
            line += c;
        }
    }
    if (!line.isEmpty())
        endLine();
    return document;
}

RtfDocument readArticle(QByteArrayView bytes, const RtfLimits &limits)
{
    return looksLikeRtf(bytes) ? readRtf(bytes, limits) : readPlainText(bytes);
}

namespace {

QString paragraphText(const RtfParagraph &paragraph)
{
    QString out;
    for (const RtfRun &run : paragraph.runs)
        out += run.text;
    out.replace(QChar(u'\u2028'), QChar(u'\n'));
    return out;
}

} // namespace

QString documentText(const RtfDocument &document)
{
    QString out;
    for (const RtfBlock &block : document.blocks) {
        if (const auto *paragraph = std::get_if<RtfParagraph>(&block)) {
            out += paragraphText(*paragraph) + u'\n';
            continue;
        }
        for (const RtfRow &row : std::get<RtfTable>(block).rows) {
            QStringList cells;
            for (const RtfCell &cell : row.cells) {
                QStringList paragraphs;
                for (const RtfParagraph &p : cell.paragraphs)
                    paragraphs.append(paragraphText(p));
                cells.append(paragraphs.join(u'\n'));
            }
            out += cells.join(u'\t') + u'\n';
        }
    }
    return out;
}

QString decodeCodePage(QByteArrayView bytes, int codePage)
{
    if (codePage == kSymbolCodePage)
        return QString::fromLatin1(bytes);
    if (codePage != kDefaultCodePage) {
        QStringDecoder decoder = makeDecoder(codePage);
        if (decoder.isValid())
            return decoder.decode(bytes);
    }
    return QString::fromStdU16String(
        books::fromCp1251(std::string_view(bytes.data(), std::size_t(bytes.size()))));
}

} // namespace kelmor::viewer
