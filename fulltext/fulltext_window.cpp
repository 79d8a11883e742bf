#include "fulltext/fulltext_window.h"

#include "fulltext/fulltext_model.h"
#include "fulltext/fulltext_search.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QStyledItemDelegate>
#include <QTextDocument>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

namespace kelmor::fulltext {

namespace {

bool plainKey(const QKeyEvent *event)
{
    return (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

bool isEnter(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

// The snippet column: rich text with the matched words in bold, in the view's own colours.
class SnippetDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString html = index.data(FulltextResultsModel::SnippetHtmlRole).toString();
        opt.text.clear();
        const QWidget *widget = opt.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

        QTextDocument doc;
        doc.setDocumentMargin(0);
        doc.setDefaultFont(opt.font);
        doc.setHtml(html);
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget);
        QAbstractTextDocumentLayout::PaintContext context;
        const bool selected = opt.state & QStyle::State_Selected;
        const QPalette::ColorGroup group =
            opt.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
        context.palette.setColor(
            QPalette::Text,
            opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
        painter->save();
        const int top = textRect.top() + (textRect.height() - int(doc.size().height())) / 2;
        painter->translate(textRect.left(), top);
        context.clip = QRectF(0, 0, textRect.width(), textRect.height());
        painter->setClipRect(context.clip);
        doc.documentLayout()->draw(painter, context);
        painter->restore();
    }
};

} // namespace

FulltextWindow::FulltextWindow(FulltextSearch &search, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_search(search)
{
    setObjectName(QStringLiteral("FulltextWindow"));
    setWindowTitle(QStringLiteral("Поиск по толкованиям"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(420, 280);
    resize(760, 480);

    auto *prompt = new QLabel(QStringLiteral("&Слова из толкования:"), this);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("FulltextQuery"));
    m_field->setClearButtonEnabled(true);
    m_field->setPlaceholderText(QStringLiteral("Например: деньги дорога или «чистая вода»"));
    prompt->setBuddy(m_field);

    m_model = new FulltextResultsModel(this);
    m_results = new QTreeView(this);
    m_results->setObjectName(QStringLiteral("FulltextResults"));
    m_results->setModel(m_model);
    m_results->setRootIsDecorated(false);
    m_results->setUniformRowHeights(true);
    m_results->setAlternatingRowColors(true);
    m_results->setAllColumnsShowFocus(true);
    m_results->setSelectionMode(QAbstractItemView::SingleSelection);
    m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_results->setItemDelegateForColumn(FulltextResultsModel::SnippetColumn,
                                        new SnippetDelegate(m_results));
    m_results->header()->setStretchLastSection(true);
    m_results->header()->setSectionsMovable(false);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("FulltextProgress"));
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(true);
    m_progress->setVisible(false);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("FulltextStatus"));
    m_status->setWordWrap(true);
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("FulltextNote"));
    m_note->setWordWrap(true);
    m_note->setVisible(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 6);
    layout->addWidget(prompt);
    layout->addWidget(m_field);
    layout->addWidget(m_results, 1);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(m_note);

    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(kPauseMs);
    connect(m_pause, &QTimer::timeout, this, &FulltextWindow::searchNow);
    connect(m_field, &QLineEdit::textChanged, m_pause, qOverload<>(&QTimer::start));
    connect(m_results, &QTreeView::doubleClicked, this,
            [this](const QModelIndex &index) { openRow(index.row()); });
    // New books indexed, or other books enabled: the same query again, keeping the row.
    connect(&m_search, &FulltextSearch::bookIndexed, this, &FulltextWindow::refresh);
    connect(&m_search, &FulltextSearch::booksChanged, this, &FulltextWindow::refresh);
    connect(&m_search, &FulltextSearch::progressChanged, this, &FulltextWindow::updateProgress);
    connect(&m_search, &FulltextSearch::indexingFinished, this, &FulltextWindow::refresh);

    m_field->installEventFilter(this);
    m_results->installEventFilter(this);
    m_field->setFocus();
    updateProgress();
    searchNow();
}

FulltextWindow::~FulltextWindow() = default;

void FulltextWindow::setQueryText(const QString &text)
{
    m_field->setText(text);
}

QString FulltextWindow::queryText() const
{
    return m_field->text();
}

QString FulltextWindow::statusText() const
{
    return m_status->text();
}

void FulltextWindow::searchNow()
{
    m_pause->stop();
    const QString text = m_field->text();
    const FulltextSearch::Answer answer = m_search.search(text);
    m_model->setAnswer(answer, m_search.books());
    m_searched = text;
    m_searchedOnce = true;
    if (m_model->rowCount() > 0)
        m_results->setCurrentIndex(m_model->index(0, 0));
    fitColumns();
    m_status->setText(answerStatus(text, answer, m_search.isIndexing(), m_search.progress()));
    updateProgress();
    Q_EMIT resultsShown();
}

void FulltextWindow::refresh()
{
    if (!m_searchedOnce || m_pause->isActive())
        return;
    const QModelIndex current = m_results->currentIndex();
    const QString headword = m_model->headwordAt(current.row());
    const QString book = m_model->bookAt(current.row());
    searchNow();
    if (const int row = m_model->rowOf(headword, book); row >= 0)
        m_results->setCurrentIndex(m_model->index(row, 0));
}

void FulltextWindow::fitColumns()
{
    // The headword and the book as wide as they are, up to a third of the view each; the
    // snippet takes the rest.
    const int most = std::max(80, m_results->viewport()->width() / 3);
    for (const int column :
         {FulltextResultsModel::HeadwordColumn, FulltextResultsModel::BookColumn}) {
        m_results->resizeColumnToContents(column);
        if (m_results->columnWidth(column) > most)
            m_results->setColumnWidth(column, most);
    }
}

void FulltextWindow::updateProgress()
{
    const FulltextSearch::Progress p = m_search.progress();
    const bool indexing = m_search.isIndexing();
    m_progress->setVisible(indexing);
    if (indexing) {
        const int value = p.articlesTotal > 0
                              ? int(std::min<qint64>(1000, p.articlesDone * 1000 / p.articlesTotal))
                              : 0;
        m_progress->setValue(value);
        QString text = indexedText(p.booksDone, p.booksTotal);
        text[0] = text[0].toUpper();
        m_progress->setFormat(text + QStringLiteral(" — %p%"));
    }
    QStringList notes;
    if (const QString note = m_search.note(); !note.isEmpty())
        notes << note;
    for (const QString &error : m_search.bookErrors())
        notes << QStringLiteral("Не проиндексирован сонник %1.").arg(error);
    m_note->setText(notes.join(u'\n'));
    m_note->setVisible(!notes.isEmpty());
}

void FulltextWindow::openRow(int row)
{
    const QString headword = m_model->headwordAt(row);
    if (!headword.isEmpty())
        Q_EMIT headwordRequested(headword);
}

void FulltextWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && plainKey(event)) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool FulltextWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_field && plainKey(key)) {
        if (isEnter(key)) {
            // A new text is searched; the text already shown opens its current row.
            if (m_pause->isActive() || m_field->text() != m_searched)
                searchNow();
            else
                openRow(m_results->currentIndex().row());
            return true;
        }
        if ((key->key() == Qt::Key_Down || key->key() == Qt::Key_PageDown) &&
            m_model->rowCount() > 0) {
            if (m_pause->isActive())
                searchNow();
            m_results->setFocus();
            if (!m_results->currentIndex().isValid())
                m_results->setCurrentIndex(m_model->index(0, 0));
            return true;
        }
    }
    if (watched == m_results && plainKey(key) && isEnter(key)) {
        openRow(m_results->currentIndex().row());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace kelmor::fulltext
