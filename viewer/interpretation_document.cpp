#include "viewer/interpretation_document.h"

#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>

namespace kelmor::viewer {

QString toViewText(std::u16string_view text)
{
    QString out;
    out.reserve(static_cast<qsizetype>(text.size()));
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i];
        if (ch == u'\r')
            out.append(i + 1 < text.size() && text[i + 1] == u'\n' ? QChar(kViewCr) : QChar(u'\n'));
        else
            out.append(QChar(ch));
    }
    return out;
}

QTextCharFormat charFormatFor(const CharFormat &format)
{
    QTextCharFormat f;
    f.setFontFamilies({format.symbol ? kSymbolFontFamily : kBaseFontFamily});
    f.setFontPointSize(format.pointSize);
    f.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(format.italic);
    f.setFontUnderline(format.underline);
    switch (format.colorKind) {
    case CharFormat::Color::Text:
        break;
    case CharFormat::Color::Rgb:
        f.setForeground(QColor::fromRgb(static_cast<QRgb>(format.rgb)));
        break;
    case CharFormat::Color::Background:
        f.setForeground(QColor(Qt::transparent));
        break;
    }
    return f;
}

void setFormattedText(QTextDocument *document, std::u16string_view text,
                      std::span<const FormatRun> runs)
{
    const QString view = toViewText(text);
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    // The first block takes the base format too, so an empty line has the base height.
    cursor.setBlockCharFormat(charFormatFor(CharFormat{}));
    int covered = 0;
    for (const FormatRun &run : runs) {
        cursor.insertText(view.mid(run.start, run.length), charFormatFor(run.format));
        covered = run.start + run.length;
    }
    if (covered < view.size())
        cursor.insertText(view.mid(covered), charFormatFor(CharFormat{}));
    cursor.endEditBlock();
    document->setUndoRedoEnabled(undo);
}

QPalette documentPalette()
{
    QPalette page;
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, Qt::black);
    return page;
}

QString plainText(const QTextDocument *document)
{
    QString text = document->toRawText();
    // toRawText keeps block separators as U+2029; map them and the zero-width CR back.
    QString out;
    out.reserve(text.size());
    for (const QChar ch : text) {
        if (ch == QChar::ParagraphSeparator)
            out.append(u'\n');
        else if (ch == QChar(kViewCr))
            out.append(u'\r');
        else
            out.append(ch);
    }
    // The document ends with a block that has no separator after it.
    return out;
}

} // namespace kelmor::viewer
