#pragma once

// Puts a formatted interpretation into a QTextDocument, keeping positions equal.
//
// QTextDocument has no CR character: a line break is one block separator. The document text
// keeps every CR as a character of its own: CR LF becomes a zero-width character followed by the
// block break, a lone CR or LF a block break. So the character at position i of the view is the
// character at position i of the plain text, and plainText() maps the view back exactly.

#include "viewer/interpretation.h"

#include <QFont>
#include <QPalette>
#include <QString>

#include <span>

class QTextDocument;
class QTextCharFormat;

namespace kelmor::viewer {

// Stands for the CR of a CR LF pair in the view; no Windows-1251 character maps to it.
constexpr char16_t kViewCr = u'\u200B';

// Family names the formatting refers to; the application maps them to installed fonts
// (fonts.h).
inline const QString kBaseFontFamily = QStringLiteral("Arial Cyr");
inline const QString kSymbolFontFamily = QStringLiteral("Wingdings");

// The character format of a run. Ordinary text has no colour of its own, so it takes the view's
// text colour on screen and black on paper whatever the desktop theme; hidden markers are drawn
// in no colour at all; the books' colours are kept as they are.
QTextCharFormat charFormatFor(const CharFormat &format);

// Replaces the document's content with the text, formatted by the runs.
void setFormattedText(QTextDocument *document, std::u16string_view text,
                      std::span<const FormatRun> runs);

// The page a document is shown on: black text on white, the page the books' heading and link
// colours are made for, also under a dark desktop theme. Only these two roles are set, so the
// rest (selection colours) follows the theme.
QPalette documentPalette();

// The view text of a plain text (CR LF → zero-width + block break) and back.
QString toViewText(std::u16string_view text);
// The document's text with the zero-width CR and block breaks mapped back to CR / LF. Lone CRs
// come back as LF; the viewer keeps the assembled text, this serves tests and foreign content.
QString plainText(const QTextDocument *document);

} // namespace kelmor::viewer
