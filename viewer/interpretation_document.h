#pragma once

// Puts a formatted interpretation into a QTextDocument, keeping positions equal.
//
// QTextDocument has no CR character: a line break is one block separator. The document text
// keeps every CR as a character of its own: CR LF becomes a zero-width character followed by the
// block break, a lone CR or LF a block break. So the character at position i of the view is the
// character at position i of the plain text, and plainText() maps the view back exactly.

#include "viewer/interpretation.h"

#include <QColor>
#include <QFont>
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

struct DocumentColors
{
    QColor text = Qt::black;
    QColor background = Qt::white; // hidden markers
};

QTextCharFormat charFormatFor(const CharFormat &format, const DocumentColors &colors);

// Replaces the document's content with the text, formatted by the runs.
void setFormattedText(QTextDocument *document, std::u16string_view text,
                      std::span<const FormatRun> runs, const DocumentColors &colors);

// The view text of a plain text (CR LF → zero-width + block break) and back.
QString toViewText(std::u16string_view text);
// The document's text with the zero-width CR and block breaks mapped back to CR / LF. Lone CRs
// come back as LF; the viewer keeps the assembled text, this serves tests and foreign content.
QString plainText(const QTextDocument *document);

} // namespace kelmor::viewer
