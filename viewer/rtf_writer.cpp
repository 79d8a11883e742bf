#include "viewer/rtf_writer.h"

#include "books/engine/textcodec.h"

#include <algorithm>
#include <map>

namespace kelmor::viewer {

namespace {

// Colour table entries: 1 = the hidden-marker background (white), then every colour used.
class ColorTable
{
public:
    int index(const CharFormat &f)
    {
        if (f.colorKind == CharFormat::Color::Text)
            return 0; // auto
        const std::uint32_t rgb = f.hidden() ? 0xFFFFFFu : f.rgb;
        auto it = m_index.find(rgb);
        if (it != m_index.end())
            return it->second;
        m_order.push_back(rgb);
        return m_index[rgb] = int(m_order.size());
    }
    QByteArray table() const
    {
        QByteArray out = "{\\colortbl ;";
        for (std::uint32_t rgb : m_order)
            out += "\\red" + QByteArray::number((rgb >> 16) & 0xFF) + "\\green" +
                   QByteArray::number((rgb >> 8) & 0xFF) + "\\blue" +
                   QByteArray::number(rgb & 0xFF) + ";";
        out += "}";
        return out;
    }

private:
    std::map<std::uint32_t, int> m_index;
    std::vector<std::uint32_t> m_order;
};

void appendChar(QByteArray &out, char16_t ch)
{
    if (ch == u'\\' || ch == u'{' || ch == u'}') {
        out += '\\';
        out += char(ch);
    } else if (ch >= 0x20 && ch < 0x7F) {
        out += char(ch);
    } else if (ch == u'\t') {
        out += "\\tab ";
    } else if (const auto byte = books::toCp1251(std::u16string_view(&ch, 1)); byte && ch >= 0x80) {
        static const char hex[] = "0123456789abcdef";
        const auto b = static_cast<unsigned char>((*byte)[0]);
        out += "\\'";
        out += hex[b >> 4];
        out += hex[b & 15];
    } else if (ch < 0x20) {
        // Other control characters have no meaning in the document.
    } else {
        out += "\\u" + QByteArray::number(static_cast<std::int16_t>(ch)) + "?";
    }
}

QByteArray formatControls(const CharFormat &f, ColorTable &colors)
{
    QByteArray out = "\\plain";
    out += f.symbol ? "\\f1" : "\\f0";
    out += "\\fs" + QByteArray::number(int(f.pointSize) * 2);
    out += "\\cf" + QByteArray::number(colors.index(f));
    if (f.bold)
        out += "\\b";
    if (f.italic)
        out += "\\i";
    if (f.underline)
        out += "\\ul";
    if (f.hidden())
        out += "\\v";
    out += ' ';
    return out;
}

} // namespace

QByteArray writeRtf(std::u16string_view text, std::span<const FormatRun> runs, int start,
                    int length)
{
    const int size = int(text.size());
    const int end = std::clamp(start + std::max(0, length), 0, size);
    start = std::clamp(start, 0, end);

    ColorTable colors;
    QByteArray body;
    CharFormat current;
    bool haveFormat = false;
    auto formatAt = [&, r = std::size_t(0)](int i) mutable -> CharFormat {
        while (r < runs.size() && runs[r].start + runs[r].length <= i)
            ++r;
        if (r < runs.size() && runs[r].start <= i)
            return runs[r].format;
        return CharFormat{};
    };
    for (int i = start; i < end; ++i) {
        const CharFormat f = formatAt(i);
        if (!haveFormat || !(f == current)) {
            body += formatControls(f, colors);
            current = f;
            haveFormat = true;
        }
        const char16_t ch = text[std::size_t(i)];
        if (ch == u'\r') {
            body += "\\par\n";
            if (i + 1 < end && text[std::size_t(i) + 1] == u'\n')
                ++i;
        } else if (ch == u'\n') {
            body += "\\par\n";
        } else {
            appendChar(body, ch);
        }
    }

    QByteArray out = "{\\rtf1\\ansi\\ansicpg1251\\deff0\\uc1"
                     "{\\fonttbl{\\f0\\fswiss\\fcharset204 Arial Cyr;}"
                     "{\\f1\\fnil\\fcharset2 Wingdings;}}";
    out += colors.table();
    out += "\n\\pard\\plain\\f0\\fs18 ";
    out += body;
    out += "}\n";
    return out;
}

} // namespace kelmor::viewer
