#include "viewer/copy_formats.h"

#include "viewer/interpretation_document.h"
#include "viewer/rtf_writer.h"

#include <QMimeData>

#include <algorithm>
#include <optional>

namespace kelmor::viewer {

namespace {

// Walks the characters of a range as a reader sees them: calls onChar(ch, format) for each
// visible character and onLineEnd() for each line end.
template <typename OnChar, typename OnLineEnd>
void forEachReadable(std::u16string_view text, std::span<const FormatRun> runs, int start,
                     int length, OnChar onChar, OnLineEnd onLineEnd)
{
    const int size = int(text.size());
    const int end = std::clamp(start + std::max(0, length), 0, size);
    start = std::clamp(start, 0, end);
    std::size_t r = 0;
    const auto formatAt = [&](int i) -> CharFormat {
        while (r < runs.size() && runs[r].start + runs[r].length <= i)
            ++r;
        if (r < runs.size() && runs[r].start <= i)
            return runs[r].format;
        return CharFormat{};
    };
    bool afterGlyph = false;
    for (int i = start; i < end; ++i) {
        const char16_t ch = text[std::size_t(i)];
        const CharFormat format = formatAt(i);
        const bool glyph = format.symbol && !format.hidden();
        const bool skipSpace = ch == u' ' && (afterGlyph || i == 0);
        if (!format.hidden())
            afterGlyph = glyph;
        if (format.hidden() || glyph || skipSpace)
            continue;
        if (ch == u'\r') {
            onLineEnd();
            if (i + 1 < end && text[std::size_t(i) + 1] == u'\n')
                ++i;
        } else if (ch == u'\n') {
            onLineEnd();
        } else if (ch == u'\t' || ch >= 0x20) {
            onChar(ch, format);
        }
    }
}

QString htmlStyle(const CharFormat &f)
{
    QString style;
    if (f.pointSize != kBasePointSize)
        style += QStringLiteral("font-size:%1pt;").arg(f.pointSize);
    if (f.bold)
        style += QStringLiteral("font-weight:bold;");
    if (f.italic)
        style += QStringLiteral("font-style:italic;");
    if (f.underline)
        style += QStringLiteral("text-decoration:underline;");
    if (f.colorKind == CharFormat::Color::Rgb)
        style += QStringLiteral("color:#%1;").arg(f.rgb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
    return style;
}

} // namespace

QString readableText(std::u16string_view text, std::span<const FormatRun> runs, int start,
                     int length)
{
    QString out;
    forEachReadable(
        text, runs, start, length, [&](char16_t ch, const CharFormat &) { out += QChar(ch); },
        [&] { out += u'\n'; });
    return out;
}

QString writeHtml(std::u16string_view text, std::span<const FormatRun> runs, int start, int length)
{
    QString body;
    std::optional<CharFormat> open; // the format of the span being written
    const auto closeSpan = [&] {
        if (open && !htmlStyle(*open).isEmpty())
            body += QStringLiteral("</span>");
        open.reset();
    };
    forEachReadable(
        text, runs, start, length,
        [&](char16_t ch, const CharFormat &format) {
            if (!open || !(*open == format)) {
                closeSpan();
                open = format;
                const QString style = htmlStyle(format);
                if (!style.isEmpty())
                    body += QStringLiteral("<span style=\"") + style + QStringLiteral("\">");
            }
            switch (ch) {
            case u'&':
                body += QStringLiteral("&amp;");
                break;
            case u'<':
                body += QStringLiteral("&lt;");
                break;
            case u'>':
                body += QStringLiteral("&gt;");
                break;
            case u'"':
                body += QStringLiteral("&quot;");
                break;
            default:
                body += QChar(ch);
            }
        },
        [&] {
            closeSpan();
            body += QStringLiteral("<br>");
        });
    closeSpan();
    return QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>"
                          "<div style=\"font-family:'%1',Arial,'Liberation Sans',sans-serif;"
                          "font-size:%2pt;white-space:pre-wrap\">")
               .arg(kBaseFontFamily)
               .arg(kBasePointSize) +
           body + QStringLiteral("</div></body></html>");
}

std::unique_ptr<QMimeData> copiedMimeData(std::u16string_view text, std::span<const FormatRun> runs,
                                          int start, int length)
{
    auto mime = std::make_unique<QMimeData>();
    mime->setData(QStringLiteral("text/rtf"), writeRtf(text, runs, start, length));
    mime->setHtml(writeHtml(text, runs, start, length));
    mime->setText(readableText(text, runs, start, length));
    return mime;
}

} // namespace kelmor::viewer
