#pragma once

// The main window's status caption: the full status text, shortened with "..." to the room the
// label has beside the selected word, the whole text in its tooltip.

#include <QLabel>

#include <cstdint>

namespace kelmor::shell {

// "N слованых статей; ~5N толкований".
QString StatusText(std::int64_t totalArticles);
// A text shortened to limit characters: the first limit - 1 characters and "..."; the text
// unchanged when it fits; empty when limit < 1.
QString IfLong(const QString &text, int limit);
// How many characters of the status text fit: (inner width of the window - width of the status
// image - left edge of the status label) / 85, all in twips, rounded down.
int WhatLong(int innerWidthTwips, int imageWidthTwips, int labelLeftTwips);

// The label that shows the caption. It recomputes the shortened text whenever it moves (the
// selected word beside it changed) or resizes (the window did).
class StatusCaption : public QLabel
{
    Q_OBJECT
public:
    explicit StatusCaption(QWidget *parent = nullptr);

    void setFullText(const QString &text);
    QString fullText() const { return m_fullText; }
    // A note shown in place of the text until it is cleared with an empty note ("«змеи» →
    // Змея": the search found the word through a form).
    void setNote(const QString &note);
    QString note() const { return m_note; }
    // Shortens the full text to the label's width.
    void refresh();

protected:
    void moveEvent(QMoveEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    QString m_fullText;
    QString m_note;
};

} // namespace kelmor::shell
