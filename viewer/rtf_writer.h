#pragma once

// Rich text (RTF 1.x) of a formatted interpretation, for the clipboard.

#include "viewer/interpretation.h"

#include <QByteArray>

#include <span>

namespace kelmor::viewer {

// The characters [start, start + length) of the text with their formatting: the base and the
// symbol font, sizes, colours, bold, italic and underline. Hidden markers stay in the text as
// hidden text (\v) in the background colour at 1 point. CR LF, a lone CR and a lone LF each end
// a paragraph. Characters of Windows-1251 are written as code-page escapes, others as \u.
QByteArray writeRtf(std::u16string_view text, std::span<const FormatRun> runs, int start,
                    int length);

} // namespace kelmor::viewer
