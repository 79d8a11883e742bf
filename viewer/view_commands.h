#pragma once

// The commands every window with a formatted view offers (the viewer, the whole-dream report):
// copy, print and find, and the modifier tests of their keys.

#include <QPointer>
#include <QStyle>

class QKeyEvent;
class QToolBar;
class QToolButton;
class QWidget;

namespace kelmor::viewer {

class InterpretationView;
class SearchForm;

// A button of a view's toolbar: caption beside its icon, the tooltip naming its key, never taking
// the focus from the view.
QToolButton *addViewButton(QToolBar *toolbar, const QString &key, const QString &caption,
                           const QString &tip, QStyle::StandardPixmap icon);

// Ctrl alone, or no modifier at all (the keypad's flag aside).
bool ctrlOnly(const QKeyEvent *event);
bool noModifiers(const QKeyEvent *event);

// The view's selection, or its whole text when nothing is selected, on the clipboard as rich
// text, HTML and plain text.
void copyView(const InterpretationView &view);
// The print dialog for the view; the no-printer message where the system has none.
void printView(InterpretationView *view, QWidget *parent);
// F3: the find window on the view's selected characters, or the next match when it is open.
void findInView(InterpretationView *view, QPointer<SearchForm> &form, QWidget *parent);

} // namespace kelmor::viewer
