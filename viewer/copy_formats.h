#pragma once

// What "Копировать" puts on the clipboard: the copied part of an interpretation as rich text for
// the programs that read it, as HTML for browsers, mail and messengers, and as plain text for
// everything else (terminals, plain-text editors, input fields).

#include "viewer/interpretation.h"

#include <QString>

#include <memory>
#include <span>

class QMimeData;

namespace kelmor::viewer {

// The characters [start, start + length) of the text as a reader sees them: the hidden markers
// and the symbol glyphs left out, with the space that follows a glyph and the space before the
// heading word; CR LF, a lone CR and a lone LF each as one "\n".
QString readableText(std::u16string_view text, std::span<const FormatRun> runs, int start,
                     int length);

// The same characters as an HTML document: the base font, and spans with the sizes, colours,
// bold, italic and underline of the runs; line ends as <br>, spaces kept.
QString writeHtml(std::u16string_view text, std::span<const FormatRun> runs, int start, int length);

// The clipboard contents of the characters [start, start + length): "text/rtf", "text/html" and
// "text/plain".
std::unique_ptr<QMimeData> copiedMimeData(std::u16string_view text, std::span<const FormatRun> runs,
                                          int start, int length);

} // namespace kelmor::viewer
