#include "books/dictionary_pane.h"

#include "books/keyboard_layout.h"

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
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelmor::books {

namespace {

const QString kAppTitle = QStringLiteral("Сонник ZEL Kelmor 3");

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
    m_model = new WordListModel(*m_words, this);

    m_toolbar2 = new QToolBar(this);
    m_toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    m_toolbar2->setIconSize(QSize(24, 24));
    m_toolbar2->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_toolbar2->setContextMenuPolicy(Qt::PreventContextMenu);
    m_toolbar2->installEventFilter(this);

    m_toolbar4 = new QToolBar(this);
    m_toolbar4->setObjectName(QStringLiteral("Toolbar4"));
    m_toolbar4->setIconSize(QSize(16, 16));
    m_toolbar4->setContextMenuPolicy(Qt::PreventContextMenu);
    m_modeGroup = new QActionGroup(this);
    m_modeGroup->setExclusive(true);
    m_mode1 = m_toolbar4->addAction(listModeIcon(false), QString());
    m_mode1->setToolTip(QStringLiteral("Обычный список"));
    m_mode1->setCheckable(true);
    m_mode1->setChecked(true);
    m_mode2 = m_toolbar4->addAction(listModeIcon(true), QString());
    m_mode2->setToolTip(QStringLiteral("Несколько колонок"));
    m_mode2->setCheckable(true);
    m_modeGroup->addAction(m_mode1);
    m_modeGroup->addAction(m_mode2);
    connect(m_mode1, &QAction::triggered, this, [this] { setListMode(1); });
    connect(m_mode2, &QAction::triggered, this, [this] { setListMode(2); });

    m_text2 = new QFrame(this);
    m_text2->setObjectName(QStringLiteral("Text2"));
    m_text2->setFrameShape(QFrame::StyledPanel);
    m_text2->setFrameShadow(QFrame::Sunken);
    m_list = new WordListView(m_text2);
    m_list->setObjectName(QStringLiteral("ListView1"));
    m_list->setModel(m_model);
    m_list->setUniformItemSizes(true);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setFrameShape(QFrame::NoFrame);
    auto *frameLayout = new QVBoxLayout(m_text2);
    frameLayout->setContentsMargins(2, 2, 2, 2);
    frameLayout->addWidget(m_list);

    m_text1 = new SearchField(this);
    m_text1->setObjectName(QStringLiteral("Text1"));
    // Empty until the first rebuild: the field and the list stay disabled until then.
    m_text1->setEnabled(false);
    m_list->setEnabled(false);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 0, 0, 0);
    top->setSpacing(2);
    top->addWidget(m_toolbar2, 1);
    top->addWidget(m_toolbar4, 0, Qt::AlignRight | Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 3, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(m_text2, 1);
    layout->addWidget(m_text1);

    // The popup menu of the book toolbar.
    m_menu = new QMenu(this);
    m_menu->setObjectName(QStringLiteral("mnuBooks"));
    m_allOn = m_menu->addAction(QStringLiteral("Включить все"));
    m_allOn->setObjectName(QStringLiteral("mnuBooksAll0"));
    m_allOff = m_menu->addAction(QStringLiteral("Выключить все"));
    m_allOff->setObjectName(QStringLiteral("mnuBooksAll1"));
    m_menu->addSeparator()->setObjectName(QStringLiteral("mnuSep01"));
    m_selMenu = m_menu->addMenu(QStringLiteral("Выбрать"));
    m_selMenu->setObjectName(QStringLiteral("mnuSel"));
    m_oneMenu = m_menu->addMenu(QStringLiteral("Оставить один"));
    m_oneMenu->setObjectName(QStringLiteral("mnuOneBook"));
    m_selTemplate = m_selMenu->addAction(QStringLiteral("<Пусто>"));
    m_oneTemplate = m_oneMenu->addAction(QStringLiteral("<Пусто>"));
    connect(m_allOn, &QAction::triggered, this, [this] {
        m_catalogue->setAllEnabled(true);
        bookButtonClick(0);
    });
    connect(m_allOff, &QAction::triggered, this, [this] {
        m_catalogue->setAllEnabled(false);
        bookButtonClick(0);
    });
    connect(m_catalogue.get(), &Catalogue::enabledChanged, this, [this] { syncBookButtons(); });

    // Search field and list.
    connect(m_text1, &QLineEdit::textChanged, this, &DictionaryPane::search);
    connect(m_text1, &SearchField::navigationKey, this, &DictionaryPane::onNavigationKey);
    connect(m_text1, &SearchField::focused, this, [this] {
        SetRus();
        applyFieldFocusRule();
        Q_EMIT litFocusCleared();
    });
    connect(m_text1, &SearchField::clickedInside, this, [this] {
        SetRus();
        applyFieldFocusRule();
    });
    connect(m_list, &WordListView::characterTyped, this, [this](const QString &c) {
        m_text1->setFocus(Qt::OtherFocusReason);
        m_text1->setText(c);
        applyFieldFocusRule();
    });
    connect(m_list, &WordListView::focused, this, &DictionaryPane::onListFocused);
    connect(m_list, &QAbstractItemView::clicked, this,
            [this](const QModelIndex &index) { itemClick(index.row()); });
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { activateSelected(); });
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) {
                // Moving through the list with the keyboard is an item click; selections made by
                // the search or by code are not.
                if (!m_programmatic && m_list->hasFocus() && current.isValid() &&
                    !(QApplication::mouseButtons() & Qt::LeftButton))
                    itemClick(current.row());
            });

    m_messages = [this](QMessageBox::Icon icon, const QString &text) {
        QMessageBox box(icon, kAppTitle, text, QMessageBox::Ok, window());
        box.exec();
    };
    setListMode(1);
}

DictionaryPane::~DictionaryPane() = default;

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
        Q_EMIT booksSkipped(SkippedBooksMessage(result.skipped));
    LoadList();
    return true;
}

void DictionaryPane::buildBookControls()
{
    const QList<BookEntry> &books = m_catalogue->books();
    for (int n = 0; n < books.size(); ++n) {
        const BookEntry &b = books.at(n);
        QAction *button = m_toolbar2->addAction(QIcon(QPixmap::fromImage(b.icon)), b.toolName);
        button->setObjectName(b.path);
        button->setToolTip(b.toolName);
        button->setCheckable(true);
        button->setChecked(b.enabled);
        button->setData(n);
        connect(button, &QAction::triggered, this, [this, n](bool checked) {
            m_catalogue->setEnabled(n, checked);
            bookButtonClick(n);
        });
        if (QWidget *w = m_toolbar2->widgetForAction(button))
            w->installEventFilter(this);
        m_bookActions.append(button);

        QAction *sel = m_selMenu->addAction(b.toolName);
        sel->setCheckable(true);
        sel->setObjectName(QStringLiteral("mnuSelBook%1").arg(n + 1));
        connect(sel, &QAction::triggered, this, [this, n](bool checked) {
            m_catalogue->setEnabled(n, checked);
            bookButtonClick(n);
        });
        m_selBook.append(sel);

        QAction *one = m_oneMenu->addAction(b.toolName);
        one->setCheckable(true);
        one->setObjectName(QStringLiteral("mnuBook%1").arg(n + 1));
        connect(one, &QAction::triggered, this, [this, n] {
            m_catalogue->keepOnly(n);
            bookButtonClick(n);
        });
        m_oneBook.append(one);
    }
    m_selTemplate->setVisible(false);
    m_oneTemplate->setVisible(false);
    refreshBooksMenu();
}

void DictionaryPane::syncBookButtons()
{
    for (int n = 0; n < m_bookActions.size(); ++n) {
        QSignalBlocker block(m_bookActions[n]);
        m_bookActions[n]->setChecked(m_catalogue->isEnabled(n));
    }
}

void DictionaryPane::refreshBooksMenu()
{
    const bool any = !m_bookActions.isEmpty();
    m_allOn->setEnabled(any);
    m_allOff->setEnabled(any);
    for (int n = 0; n < m_selBook.size(); ++n) {
        m_selBook[n]->setChecked(m_catalogue->isEnabled(n));
        m_oneBook[n]->setChecked(false);
    }
}

bool DictionaryPane::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonRelease &&
        (watched == m_toolbar2 || m_toolbar2->isAncestorOf(qobject_cast<QWidget *>(watched)))) {
        refreshBooksMenu();
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::RightButton) {
            m_menu->popup(me->globalPosition().toPoint());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void DictionaryPane::bookButtonClick(int)
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
        m_list->setUpdatesEnabled(false);
        const auto between = [this] {
            if (m_processEvents)
                QCoreApplication::processEvents();
        };
        const WordList::Outcome outcome = m_model->rebuild(between);
        m_list->setUpdatesEnabled(true);
        if (!outcome.ok) {
            QApplication::restoreOverrideCursor();
            message(QMessageBox::NoIcon, QStringLiteral("Ошибка"));
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
        StText();
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
            const QSignalBlocker block(m_text1);
            m_text1->setText(m_words->word(0));
        }
        setTolkEnabled(true);
        m_text1->setEnabled(true);
        m_list->setEnabled(true);
        itemClick(0);
    } else {
        setTolkEnabled(false);
        {
            const QSignalBlocker block(m_text1);
            m_text1->clear();
        }
        m_text1->setEnabled(false);
        m_list->setEnabled(false);
    }
}

void DictionaryPane::StText()
{
    m_statusText = StatusText(m_words->totalArticles());
    Q_EMIT statusTextChanged(m_statusText);
}

void DictionaryPane::SetVisible(int row)
{
    const int count = m_words->count();
    if (row < 0 || row >= count)
        return;
    const int p = row + 1;
    const int target = (p < count && p > 3) ? row + 1 : row;
    m_list->scrollTo(m_model->index(target), QAbstractItemView::EnsureVisible);
}

int DictionaryPane::selectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedIndexes();
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
    m_list->selectionModel()->setCurrentIndex(m_model->index(row),
                                              QItemSelectionModel::ClearAndSelect);
    m_programmatic = false;
}

void DictionaryPane::search(const QString &text)
{
    const int row = m_words->find(text);
    if (row < 0)
        return;
    selectRow(row);
    SetVisible(row);
}

void DictionaryPane::LoadLastWord(const QString &stored)
{
    if (onlySpaces(stored))
        return;
    if (m_text1->text() == stored)
        search(stored);
    else
        m_text1->setText(stored);
}

void DictionaryPane::onNavigationKey(int key)
{
    m_list->setFocus(Qt::OtherFocusReason);
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
        SetVisible(next);
    }
}

void DictionaryPane::onListFocused()
{
    if (!m_words->isEmpty())
        setTolkEnabled(true);
    SetRus();
    Q_EMIT litFocusCleared();
}

void DictionaryPane::applyFieldFocusRule()
{
    if (m_text1->text().size() == 1)
        m_text1->setCursorPosition(1);
    else
        m_text1->selectAll();
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
    (button == 1 ? m_mode1 : m_mode2)->setChecked(true);
    m_list->setViewMode(QListView::ListMode);
    m_list->setFlow(QListView::TopToBottom);
    m_list->setWrapping(button == 2);
    m_list->setResizeMode(button == 2 ? QListView::Adjust : QListView::Fixed);
    if (button == 2)
        m_list->setLayoutMode(QListView::Batched);
    const int row = selectedRow();
    if (row >= 0)
        m_list->scrollTo(m_model->index(row));
    Q_EMIT listModeChanged(button);
}

QString DictionaryPane::listModeSetting() const
{
    return m_listMode == 1 ? QStringLiteral("1") : QStringLiteral("0");
}

void DictionaryPane::setDictionaryShown(bool shown)
{
    m_text2->setVisible(shown);
    m_text1->setVisible(shown);
    if (!shown)
        return;
    m_list->setFocus(Qt::OtherFocusReason);
    Q_EMIT litFocusCleared();
    StText();
    if (m_words->isEmpty()) {
        m_text1->setEnabled(false);
        setTolkEnabled(false);
    } else {
        Q_EMIT selectedWordChanged(IfLong(selectedWord(), 20));
    }
}

} // namespace kelmor::books
