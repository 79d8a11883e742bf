#pragma once

// Fonts of the viewer: the Windows families the documents name, mapped to installed fonts, and
// the symbol font with the heading glyphs.

#include <QString>

namespace kelmor::viewer {

// Family of the bundled symbol font ("&" an open book, "F" a hand pointing right).
inline const QString kBundledSymbolFamily = QStringLiteral("Kelmor Symbols");

// Registers the bundled symbol font and the substitutions ("Arial Cyr" → Liberation Sans,
// "Wingdings" → the bundled font, ...). Safe to call more than once; needs a QGuiApplication.
void installFonts();

} // namespace kelmor::viewer
