#pragma once

// The find window: finds text in the viewer's document, wrapping around once.

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace kelmor::viewer {

class InterpretationView;

// Where the next match of needle lies in text, searching from `from` to the end and then once
// from the start; letter case ignored. -1 when there is none (or the needle is empty).
int findWrapped(const QString &text, const QString &needle, int from);

class SearchForm : public QDialog
{
    Q_OBJECT
public:
    SearchForm(InterpretationView *view, QWidget *owner);

    void setSearchText(const QString &text);
    QLineEdit *searchField() const { return m_text; }

    // Finds the next occurrence after the view's selection and selects it; "Строка не
    // найдена." when there is none. Returns whether one was found.
    bool FND();

private:
    InterpretationView *m_view;
    QLineEdit *m_text;
};

} // namespace kelmor::viewer
