#include "shell/dictionary_pane.h"

#include "books/book_icon.h"

#include "books/form_cache.h"
#include "books/word_list_forms.h"
#include "platform/cache_folder.h"
#include "platform/keyboard_layout.h"
#include "platform/version.h"
#include "shell/status_caption.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelmor::shell {

namespace {
// How long after the word list is shown the background preparation starts.
constexpr int BackgroundPreparationDelayMs = 1000;
} // namespace

using books::BookEntry;
using books::Catalogue;
using books::WordList;

namespace {

bool onlySpaces(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == QLatin1Char(' '); });
}

// Icons of the list-mode buttons: one column of lines; several columns.
QIcon listModeIcon(bool columns)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(QColor(0x1f, 0x3a, 0x7a));
    for (int y = 3; y <= 13; y += 3) {
        if (columns) {
            p.drawLine(1, y, 6, y);
            p.drawLine(9, y, 14, y);
        } else {
            p.drawLine(1, y, 14, y);
        }
    }
    return QIcon(pm);
}

} // namespace

// --- SearchField ---------------------------------------------------------------------------

void SearchField::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        Q_EMIT navigationKey(event->key());
        event->accept();
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void SearchField::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    Q_EMIT focused();
}

void SearchField::mouseReleaseEvent(QMouseEvent *event)
{
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton)
        Q_EMIT clickedInside();
}

// --- WordListView --------------------------------------------------------------------------

void WordListView::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    const auto mods =
        event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (!text.isEmpty() && text.at(0).unicode() >= 34 && !mods) {
        Q_EMIT characterTyped(text.left(text.at(0).isHighSurrogate() ? 2 : 1));
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void WordListView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    Q_EMIT focused();
}

// --- DictionaryPane ------------------------------------------------------------------------

DictionaryPane::DictionaryPane(QWidget *parent)
    : QWidget(parent)
    , m_catalogue(std::make_unique<Catalogue>())
    , m_words(std::make_unique<WordList>(*m_catalogue))
{
    setObjectName(QStringLiteral("Picture2"));
    m_model = new books::WordListModel(*m_words, this);

    m_bookBar = new QToolBar(this);
    m_bookBar->setObjectName(QStringLiteral("Toolbar2"));
    m_bookBar->setIconSize(QSize(24, 24));
    m_bookBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_bookBar->setContextMenuPolicy(Qt::PreventContextMenu);
    m_bookBar->installEventFilter(this);

    m_listModeBar = new QToolBar(this);
    m_listModeBar->setObjectName(QStringLiteral("Toolbar4"));
    m_listModeBar->setIconSize(QSize(16, 16));
    m_listModeBar->setContextMenuPolicy(Qt::PreventContextMenu);
    auto *modeGroup = new QActionGroup(this);
    modeGroup->setExclusive(true);
    m_oneColumnMode = m_listModeBar->addAction(listModeIcon(false), QString());
    m_oneColumnMode->setObjectName(QStringLiteral("ListModeOrdinary"));
    m_oneColumnMode->setToolTip(QStringLiteral("Обычный список"));
    m_oneColumnMode->setCheckable(true);
    m_oneColumnMode->setChecked(true);
    m_columnsMode = m_listModeBar->addAction(listModeIcon(true), QString());
    m_columnsMode->setObjectName(QStringLiteral("ListModeColumns"));
    m_columnsMode->setToolTip(QStringLiteral("Несколько колонок"));
    m_columnsMode->setCheckable(true);
    modeGroup->addAction(m_oneColumnMode);
    modeGroup->addAction(m_columnsMode);
    connect(m_oneColumnMode, &QAction::triggered, this, [this] { setListMode(1); });
    connect(m_columnsMode, &QAction::triggered, this, [this] { setListMode(2); });

    m_listFrame = new QFrame(this);
    m_listFrame->setObjectName(QStringLiteral("Text2"));
    m_listFrame->setFrameShape(QFrame::StyledPanel);
    m_listFrame->setFrameShadow(QFrame::Sunken);
    m_listView = new WordListView(m_listFrame);
    m_listView->setObjectName(QStringLiteral("ListView1"));
    m_listView->setModel(m_model);
    m_listView->setUniformItemSizes(true);
    m_listView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listView->setFrameShape(QFrame::NoFrame);
    auto *frameLayout = new QVBoxLayout(m_listFrame);
    frameLayout->setContentsMargins(2, 2, 2, 2);
    frameLayout->addWidget(m_listView);

    m_searchField = new SearchField(this);
    m_searchField->setObjectName(QStringLiteral("Text1"));
    // Empty until the first rebuild: the field and the list stay disabled until then.
    m_searchField->setEnabled(false);
    m_listView->setEnabled(false);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(2);
    top->addWidget(m_bookBar, 1);
    top->addWidget(m_listModeBar, 0, Qt::AlignRight | Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 3, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(m_listFrame, 1);
    layout->addWidget(m_searchField);

    // The popup menu of the book toolbar.
    m_booksMenu = new QMenu(this);
    m_booksMenu->setObjectName(QStringLiteral("mnuBooks"));
    m_allOnAction = m_booksMenu->addAction(QStringLiteral("Включить все"));
    m_allOnAction->setObjectName(QStringLiteral("mnuBooksAll0"));
    m_allOffAction = m_booksMenu->addAction(QStringLiteral("Выключить все"));
    m_allOffAction->setObjectName(QStringLiteral("mnuBooksAll1"));
    m_booksMenu->addSeparator()->setObjectName(QStringLiteral("mnuSep01"));
    m_pickMenu = m_booksMenu->addMenu(QStringLiteral("Выбрать"));
    m_pickMenu->setObjectName(QStringLiteral("mnuSel"));
    m_keepOneMenu = m_booksMenu->addMenu(QStringLiteral("Оставить один"));
    m_keepOneMenu->setObjectName(QStringLiteral("mnuOneBook"));
    m_pickPlaceholder = m_pickMenu->addAction(QStringLiteral("<Пусто>"));
    m_keepOnePlaceholder = m_keepOneMenu->addAction(QStringLiteral("<Пусто>"));
    connect(m_allOnAction, &QAction::triggered, this, [this] {
        m_catalogue->setAllEnabled(true);
        bookButtonClick();
    });
    connect(m_allOffAction, &QAction::triggered, this, [this] {
        m_catalogue->setAllEnabled(false);
        bookButtonClick();
    });
    connect(m_catalogue.get(), &Catalogue::enabledChanged, this, [this] { syncBookButtons(); });

    // Search field and list.
    connect(m_searchField, &QLineEdit::textChanged, this, &DictionaryPane::search);
    connect(m_searchField, &SearchField::navigationKey, this, &DictionaryPane::onNavigationKey);
    connect(m_searchField, &SearchField::focused, this, [this] {
        platform::SetRus();
        applyFieldFocusRule();
        Q_EMIT litFocusCleared();
    });
    connect(m_searchField, &SearchField::clickedInside, this, [this] {
        platform::SetRus();
        applyFieldFocusRule();
    });
    connect(m_listView, &WordListView::characterTyped, this, [this](const QString &c) {
        m_searchField->setFocus(Qt::OtherFocusReason);
        m_searchField->setText(c);
        applyFieldFocusRule();
    });
    connect(m_listView, &WordListView::focused, this, &DictionaryPane::onListFocused);
    connect(m_listView, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { itemClick(index.row()); });
    connect(m_listView, &QAbstractItemView::doubleClicked, this, [this] { activateSelected(); });
    connect(m_listView->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                // Moving through the list with the keyboard is an item click; selections made by
                // the search or by code are not.
                if (!m_programmatic && m_listView->hasFocus() && current.isValid() &&
                    !(QApplication::mouseButtons() & Qt::LeftButton))
                    itemClick(current.row());
            });

    m_messages = [this](QMessageBox::Icon icon, const QString &text) {
        QMessageBox box(icon, platform::ApplicationTitle, text, QMessageBox::Ok, window());
        box.exec();
    };
    setListMode(1);
}

DictionaryPane::~DictionaryPane() = default;

void DictionaryPane::setWordForms(std::shared_ptr<const books::WordForms> forms)
{
    const bool opened = m_formIndexes != nullptr;
    m_formIndexes.reset(); // it refers to the dictionary replaced here
    m_forms = std::move(forms);
    if (m_resolver)
        rebuildResolver();
    if (opened)
        m_formIndexes = std::make_unique<books::FormIndexes>(*m_catalogue, *m_forms, false);
}

std::shared_ptr<const books::WordForms> DictionaryPane::wordForms()
{
    if (!m_forms)
        m_forms = books::WordForms::systemDictionary();
    return m_forms;
}

std::shared_ptr<const books::FormResolver> DictionaryPane::resolver()
{
    if (!m_resolver)
        rebuildResolver();
    return m_resolver;
}

std::optional<books::FormResolver::Match> DictionaryPane::resolveForm(const QString &text)
{
    if (m_formIndexes && m_formIndexes->isUsable()) {
        books::FormIndexAnswer quick = m_formIndexes->resolve(text);
        if (quick.answered) {
            if (quick.match)
                quick.match->row = m_words->rowOf(quick.match->headword);
            return std::move(quick.match);
        }
    }
    return resolver()->resolve(text);
}

void DictionaryPane::prepareInBackground()
{
    // After the start, off the user interface thread: the indexes the next start reads (the
    // headwords of books read from their tables, then every book's forms), the dictionary, and
    // the resolver of phrases for the windows that read whole texts.
    std::vector<std::pair<QString, QString>> unindexed = m_catalogue->unindexedBooks();
    std::vector<std::pair<QString, QString>> all;
    for (const BookEntry &b : m_catalogue->books())
        if (const QString key = platform::bookCacheKey(b.path); !key.isEmpty())
            all.emplace_back(b.path, key);
    const std::shared_ptr<const books::WordForms> forms = wordForms();
    const std::shared_ptr<const books::FormResolver> resolver = this->resolver();
    QThreadPool::globalInstance()->start([unindexed, all, forms, resolver] {
        if (!unindexed.empty())
            books::writeHeadwordIndexes(unindexed);
        books::writeFormIndexes(all, *forms);
        (void)forms->isAvailable();
        resolver->prepare();
    });
}

void DictionaryPane::rebuildResolver()
{
    auto resolver =
        std::make_shared<const books::FormResolver>(books::headwordsOf(*m_words), wordForms());
    // The index of the headwords' forms is built off the user interface thread; a search that
    // needs it first waits for it.
    QThreadPool::globalInstance()->start([resolver] { resolver->prepare(); });
    m_resolver = std::move(resolver);
}

void DictionaryPane::reportForm(const QString &caption)
{
    if (caption.isEmpty() && !m_formShown)
        return;
    m_formShown = !caption.isEmpty();
    Q_EMIT formFound(caption);
}

void DictionaryPane::setMessageHandler(MessageHandler handler)
{
    m_messages = std::move(handler);
}

void DictionaryPane::message(QMessageBox::Icon icon, const QString &text)
{
    if (m_messages)
        m_messages(icon, text);
}

bool DictionaryPane::LoadBooks(const QString &booksPath, const Catalogue::StateReader &states)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Books without a headword index are read as they are and indexed after the start (below),
    // so that the first start takes no longer than one without indexes.
    m_catalogue->setIndexingOnLoad(false);
    const Catalogue::LoadResult result = m_catalogue->load(booksPath, states);
    QApplication::restoreOverrideCursor();

    // The splash screen is topmost: close it before any of these messages, or the box would
    // open hidden behind it.
    switch (result.status) {
    case Catalogue::Status::MissingFolder:
        Q_EMIT splashCloseRequested();
        message(QMessageBox::Critical,
                QStringLiteral("Невозможно найти папку с данными:\n") + booksPath);
        Q_EMIT exitRequested(true);
        return false;
    case Catalogue::Status::NoBookFiles:
        Listcheck();
        Q_EMIT splashCloseRequested();
        message(QMessageBox::Critical,
                QStringLiteral("В папке данных программы не найдено ни одного сонника! "
                               "Переустановите программу или добавьте файлы сонников!"));
        Q_EMIT exitRequested(true);
        return false;
    case Catalogue::Status::NoCompatibleBooks:
        Q_EMIT splashCloseRequested();
        // Why each book failed, before the program ends: the user can mend or replace them.
        if (!result.skipped.isEmpty())
            message(QMessageBox::Warning, books::SkippedBooksMessage(result.skipped));
        message(QMessageBox::Critical,
                QStringLiteral("Среди файлов программы нет сонников совместимых с текущей "
                               "версией! Переустановите программу или добавьте файлы сонников!"));
        Q_EMIT exitRequested(true);
        return false;
    case Catalogue::Status::Ok:
        break;
    }

    buildBookControls();
    if (!result.skipped.isEmpty())
        Q_EMIT booksSkipped(books::SkippedBooksMessage(result.skipped));
    m_startingUp = true;
    LoadList();
    m_startingUp = false;
    // The rest waits until the window is up and the first events are handled.
    QTimer::singleShot(BackgroundPreparationDelayMs, this, &DictionaryPane::prepareInBackground);
    return true;
}

void DictionaryPane::buildBookControls()
{
    const QList<BookEntry> &books = m_catalogue->books();
    for (int n = 0; n < books.size(); ++n) {
        const BookEntry &b = books.at(n);
        QAction *button =
            m_bookBar->addAction(QIcon(QPixmap::fromImage(books::bookIcon(b).image)), b.toolName);
        button->setObjectName(b.path);
        button->setToolTip(b.toolName);
        button->setCheckable(true);
        button->setChecked(b.enabled);
        button->setData(n);
        connect(button, &QAction::triggered, this, [this, n](bool checked) {
            m_catalogue->setEnabled(n, checked);
            bookButtonClick();
        });
        if (QWidget *w = m_bookBar->widgetForAction(button))
            w->installEventFilter(this);
        m_bookButtons.append(button);

        QAction *sel = m_pickMenu->addAction(b.toolName);
        sel->setCheckable(true);
        sel->setObjectName(QStringLiteral("mnuSelBook%1").arg(n + 1));
        connect(sel, &QAction::triggered, this, [this, n](bool checked) {
            m_catalogue->setEnabled(n, checked);
            bookButtonClick();
        });
        m_pickActions.append(sel);

        QAction *one = m_keepOneMenu->addAction(b.toolName);
        one->setCheckable(true);
        one->setObjectName(QStringLiteral("mnuBook%1").arg(n + 1));
        connect(one, &QAction::triggered, this, [this, n] {
            m_catalogue->keepOnly(n);
            bookButtonClick();
        });
        m_keepOneActions.append(one);
    }
    m_pickPlaceholder->setVisible(false);
    m_keepOnePlaceholder->setVisible(false);
    refreshBooksMenu();
}

void DictionaryPane::syncBookButtons()
{
    for (int n = 0; n < m_bookButtons.size(); ++n) {
        QSignalBlocker block(m_bookButtons[n]);
        m_bookButtons[n]->setChecked(m_catalogue->isEnabled(n));
    }
}

void DictionaryPane::refreshBooksMenu()
{
    const bool any = !m_bookButtons.isEmpty();
    m_allOnAction->setEnabled(any);
    m_allOffAction->setEnabled(any);
    for (int n = 0; n < m_pickActions.size(); ++n) {
        m_pickActions[n]->setChecked(m_catalogue->isEnabled(n));
        m_keepOneActions[n]->setChecked(false);
    }
}

bool DictionaryPane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == m_bookBar || m_bookBar->isAncestorOf(qobject_cast<QWidget *>(watched)))) {
        refreshBooksMenu();
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            m_booksMenu->popup(me->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DictionaryPane::bookButtonClick()
{
    Q_EMIT busyStarted();
    LoadList();
    Q_EMIT busyFinished();
}

void DictionaryPane::LoadList()
{
    if (m_loading) {
        // Events let through between books delivered another toggle: rebuild once more after.
        m_reloadPending = true;
        return;
    }
    m_loading = true;
    do {
        m_reloadPending = false;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_listView->setUpdatesEnabled(false);
        const auto between = [] { QCoreApplication::processEvents(); };
        const WordList::Outcome outcome = m_model->rebuild(between);
        // With the forms indexes at hand, single words need no resolver in memory; without
        // them it is built now (off this thread), as a search waits for it. Not while the
        // program starts: the preparation after the start builds it, and a search before that
        // builds it on demand, so that the first start has both processors for the window.
        m_resolver.reset();
        m_formIndexes = std::make_unique<books::FormIndexes>(*m_catalogue, *wordForms(), false);
        if (!m_formIndexes->isUsable() && !m_startingUp)
            rebuildResolver();
        m_listView->setUpdatesEnabled(true);
        if (!outcome.ok) {
            QApplication::restoreOverrideCursor();
            message(QMessageBox::NoIcon, QStringLiteral("Ошибка"));
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        updateStatusText();
        Q_EMIT viewerCloseRequested();
        Listcheck();
        QApplication::restoreOverrideCursor();
    } while (m_reloadPending);
    m_loading = false;
}

void DictionaryPane::Listcheck()
{
    if (!m_words->isEmpty()) {
        selectRow(0);
        {
            const QSignalBlocker block(m_searchField);
            m_searchField->setText(m_words->word(0));
        }
        setTolkEnabled(true);
        m_searchField->setEnabled(true);
        m_listView->setEnabled(true);
        itemClick(0);
    } else {
        setTolkEnabled(false);
        {
            const QSignalBlocker block(m_searchField);
            m_searchField->clear();
        }
        m_searchField->setEnabled(false);
        m_listView->setEnabled(false);
    }
}

void DictionaryPane::updateStatusText()
{
    m_statusText = StatusText(m_words->totalArticles());
    Q_EMIT statusTextChanged(m_statusText);
}

void DictionaryPane::scrollToRow(int row)
{
    const int count = m_words->count();
    if (row < 0 || row >= count)
        return;
    const int p = row + 1;
    const int target = (p < count && p > 3) ? row + 1 : row;
    m_listView->scrollTo(m_model->index(target), QAbstractItemView::EnsureVisible);
}

int DictionaryPane::selectedRow() const
{
    const QModelIndexList rows = m_listView->selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

QString DictionaryPane::selectedWord() const
{
    const int row = selectedRow();
    return row >= 0 ? m_words->word(row) : QString();
}

void DictionaryPane::selectRow(int row)
{
    m_programmatic = true;
    m_listView->selectionModel()->setCurrentIndex(m_model->index(row),
                                                  QItemSelectionModel::ClearAndSelect);
    m_programmatic = false;
}

void DictionaryPane::search(const QString &text)
{
    int row = m_words->find(text);
    QString caption;
    if (row < 0 && !onlySpaces(text) && m_words->count() > 0) {
        // No headword begins with the text: perhaps it is a word in another form.
        if (const std::optional<books::FormResolver::Match> match = resolveForm(text);
            match && match->viaForm()) {
            row = match->row;
            caption = books::formCaption(text, match->headword);
        }
    }
    reportForm(caption);
    if (row < 0)
        return;
    selectRow(row);
    scrollToRow(row);
}

void DictionaryPane::setSearchText(const QString &text)
{
    if (m_searchField->text() == text)
        search(text);
    else
        m_searchField->setText(text);
}

void DictionaryPane::showSelected()
{
    scrollToRow(selectedRow());
}

void DictionaryPane::LoadLastWord(const QString &stored)
{
    if (onlySpaces(stored))
        return;
    if (m_searchField->text() == stored)
        search(stored);
    else
        m_searchField->setText(stored);
}

void DictionaryPane::onNavigationKey(int key)
{
    m_listView->setFocus(Qt::OtherFocusReason);
    const int row = selectedRow();
    if (row < 0)
        return;
    int next = row;
    if (key == Qt::Key_Up && row > 0)
        next = row - 1;
    else if (key == Qt::Key_Down && row < m_words->count() - 1)
        next = row + 1;
    if (next != row) {
        selectRow(next);
        scrollToRow(next);
    }
}

void DictionaryPane::onListFocused()
{
    if (!m_words->isEmpty())
        setTolkEnabled(true);
    platform::SetRus();
    Q_EMIT litFocusCleared();
}

void DictionaryPane::applyFieldFocusRule()
{
    if (m_searchField->text().size() == 1)
        m_searchField->setCursorPosition(1);
    else
        m_searchField->selectAll();
}

void DictionaryPane::itemClick(int row)
{
    if (row < 0 || row >= m_words->count())
        return;
    setTolkEnabled(true);
    const QString word = m_words->word(row);
    Q_EMIT itemClicked(word);
    Q_EMIT selectedWordChanged(IfLong(word, 22));
}

void DictionaryPane::activateSelected()
{
    if (!m_tolkEnabled)
        return;
    const int row = selectedRow();
    if (row < 0)
        return;
    // The selected-word label follows the word the viewer is asked to show.
    Q_EMIT selectedWordChanged(IfLong(m_words->word(row), 22));
    Q_EMIT tolkRequested(m_words->word(row));
}

void DictionaryPane::setTolkEnabled(bool enabled)
{
    if (m_tolkEnabled == enabled)
        return;
    m_tolkEnabled = enabled;
    Q_EMIT tolkEnabledChanged(enabled);
}

void DictionaryPane::setListMode(int button)
{
    if (button != 1 && button != 2)
        return;
    m_listMode = button;
    (button == 1 ? m_oneColumnMode : m_columnsMode)->setChecked(true);
    m_listView->setViewMode(QListView::ListMode);
    m_listView->setFlow(QListView::TopToBottom);
    m_listView->setWrapping(button == 2);
    m_listView->setResizeMode(button == 2 ? QListView::Adjust : QListView::Fixed);
    if (button == 2)
        m_listView->setLayoutMode(QListView::Batched);
    const int row = selectedRow();
    if (row >= 0)
        m_listView->scrollTo(m_model->index(row));
    Q_EMIT listModeChanged(button);
}

void DictionaryPane::setDictionaryShown(bool shown)
{
    m_listFrame->setVisible(shown);
    m_searchField->setVisible(shown);
    if (!shown)
        return;
    m_listView->setFocus(Qt::OtherFocusReason);
    Q_EMIT litFocusCleared();
    updateStatusText();
    if (m_words->isEmpty()) {
        m_searchField->setEnabled(false);
        setTolkEnabled(false);
    } else {
        Q_EMIT selectedWordChanged(IfLong(selectedWord(), 20));
    }
}

void DictionaryPane::focusWordList()
{
    m_listView->setFocus(Qt::ActiveWindowFocusReason);
}

void DictionaryPane::disableSearch()
{
    m_searchField->setEnabled(false);
}

} // namespace kelmor::shell
