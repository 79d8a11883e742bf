#include "viewer/document_writer.h"

namespace kelmor::viewer {

namespace {

CharFormat coloured(std::uint32_t rgb, bool bold, bool underline, int pointSize)
{
    CharFormat f;
    f.colorKind = CharFormat::Color::Rgb;
    f.rgb = rgb;
    f.bold = bold;
    f.underline = underline;
    f.pointSize = std::uint8_t(pointSize);
    return f;
}

} // namespace

CharFormat documentHeadingFormat()
{
    return coloured(kNavy, true, true, kWordPointSize);
}

CharFormat documentLabelFormat()
{
    return coloured(kTeal, true, false, kBasePointSize);
}

CharFormat documentLinkFormat()
{
    return coloured(kGreen, false, true, kBasePointSize);
}

void DocumentWriter::add(QStringView text, const CharFormat &format)
{
    if (text.isEmpty())
        return;
    if (!m_runs.empty() && m_runs.back().format == format)
        m_runs.back().length += int(text.size());
    else
        m_runs.push_back({size(), int(text.size()), format});
    m_text.append(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
}

void DocumentWriter::addDocument(std::u16string_view text, std::span<const FormatRun> runs)
{
    const int base = size();
    m_text.append(text);
    for (FormatRun run : runs) {
        run.start += base;
        m_runs.push_back(run);
    }
}

} // namespace kelmor::viewer
