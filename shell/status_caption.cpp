#include "shell/status_caption.h"

#include "platform/twips.h"

namespace kelmor::shell {

namespace {

// Width of the status image at the right end of the status bar, in twips.
constexpr int StatusImageTwips = 255;

} // namespace

QString StatusText(std::int64_t totalArticles)
{
    return QString::number(totalArticles) + QStringLiteral(" слованых статей; ~") +
           QString::number(5 * totalArticles) + QStringLiteral(" толкований");
}

QString IfLong(const QString &text, int limit)
{
    if (limit < 1)
        return {};
    if (limit < text.size())
        return text.left(limit - 1) + QStringLiteral("...");
    return text;
}

int WhatLong(int innerWidthTwips, int imageWidthTwips, int labelLeftTwips)
{
    const int room = innerWidthTwips - imageWidthTwips - labelLeftTwips;
    // Rounded down, also for a negative room.
    return room >= 0 ? room / 85 : -((-room + 84) / 85);
}

StatusCaption::StatusCaption(QWidget *parent)
    : QLabel(parent)
{
    // The caption is shortened to the room it has; it never widens the window.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void StatusCaption::setFullText(const QString &text)
{
    m_fullText = text;
    refresh();
}

void StatusCaption::setNote(const QString &note)
{
    m_note = note;
    refresh();
}

void StatusCaption::refresh()
{
    const QString &shown = m_note.isEmpty() ? m_fullText : m_note;
    setToolTip(m_note.isEmpty() ? m_fullText : m_note + QLatin1Char('\n') + m_fullText);
    // Characters that fit: the room from the label's left edge (after the selected word) to the
    // status image, 85 twips per character. The label ends where the image begins, so the inner
    // width is its right edge plus the image. Our font's characters are often wider than 85
    // twips, so the caption is shortened further until it fits: it ends in "..." instead of
    // being cut off.
    const int left = platform::pixelsToTwips(x());
    const int inner = left + platform::pixelsToTwips(width()) + StatusImageTwips;
    int limit = WhatLong(inner, StatusImageTwips, left);
    const QFontMetrics metrics(font());
    QString caption = IfLong(shown, limit);
    while (limit > 0 && metrics.horizontalAdvance(caption) > width())
        caption = IfLong(shown, --limit);
    setText(caption);
}

void StatusCaption::moveEvent(QMoveEvent *event)
{
    QLabel::moveEvent(event);
    if (!m_fullText.isEmpty() || !m_note.isEmpty())
        refresh();
}

void StatusCaption::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    if (!m_fullText.isEmpty() || !m_note.isEmpty())
        refresh();
}

} // namespace kelmor::shell
