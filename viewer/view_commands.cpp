#include "viewer/view_commands.h"

#include "viewer/copy_formats.h"
#include "viewer/messages.h"
#include "viewer/print_dialog.h"
#include "viewer/search_form.h"
#include "viewer/tolk.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QToolBar>
#include <QToolButton>

namespace kelmor::viewer {

QToolButton *addViewButton(QToolBar *toolbar, const QString &key, const QString &caption,
                           const QString &tip, QStyle::StandardPixmap icon)
{
    auto *button = new QToolButton(toolbar);
    button->setObjectName(key);
    button->setText(caption);
    button->setToolTip(tip);
    button->setIcon(toolbar->style()->standardIcon(icon));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFocusPolicy(Qt::NoFocus);
    toolbar->addWidget(button);
    return button;
}

bool ctrlOnly(const QKeyEvent *event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
}

bool noModifiers(const QKeyEvent *event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

void copyView(const InterpretationView &view)
{
    const std::u16string text = view.plainText().toStdU16String();
    const int length = view.selectionLength();
    const int start = length > 0 ? view.selectionStart() : 0;
    std::unique_ptr<QMimeData> mime =
        copiedMimeData(text, view.runs(), start, length > 0 ? length : int(text.size()));
    QClipboard *clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(mime.release()); // the clipboard owns it
}

void printView(InterpretationView *view, QWidget *parent)
{
    if (!PrintDialog::systemHasPrinters()) {
        showMessage(
            parent, MessageIcon::Warning, QString(),
            QStringLiteral("В системе нет принтеров. Установите принтер и повторите попытку."));
        return;
    }
    PrintDialog dialog(view, parent);
    dialog.exec();
}

void findInView(InterpretationView *view, QPointer<SearchForm> &form, QWidget *parent)
{
    if (form && form->isVisible()) {
        form->FND();
        return;
    }
    if (!form)
        form = new SearchForm(view, parent);
    // The selected characters of the text itself: the view's own selected text has a paragraph
    // separator for each line end, which the text never holds.
    form->setSearchText(view->plainText().mid(view->selectionStart(), view->selectionLength()));
    form->show();
    form->raise();
    form->activateWindow();
}

} // namespace kelmor::viewer
