#include "journal/journal_window.h"

#include "books/word_forms.h"
#include "journal/entry_dialog.h"
#include "journal/journal_csv.h"
#include "journal/journal_model.h"
#include "journal/statistics_window.h"
#include "viewer/messages.h"
#include "viewer/tolk.h"
#include "viewer/view_commands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelmor::journal {

namespace {

bool askByMessageBox(QWidget *parent, const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Дневник снов"), question,
                    QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("Удалить"));
    box.button(QMessageBox::No)->setText(QStringLiteral("Не удалять"));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString chooseByFileDialog(QWidget *parent, const QString &caption, const QString &filter,
                           bool save)
{
    return save ? QFileDialog::getSaveFileName(parent, caption, QString(), filter)
                : QFileDialog::getOpenFileName(parent, caption, QString(), filter);
}

const QString kCsvFilter = QStringLiteral("Таблица CSV (*.csv)");
const QString kMarkdownFilter = QStringLiteral("Документ Markdown (*.md)");

} // namespace

JournalWindow::JournalWindow(Context context, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_context(std::move(context))
{
    if (m_context.path.isEmpty())
        m_context.path = defaultJournalPath();
    if (!m_context.confirm)
        m_context.confirm = askByMessageBox;
    if (!m_context.runDialog)
        m_context.runDialog = [](QDialog &dialog) { return dialog.exec() == QDialog::Accepted; };
    if (!m_context.chooseFile)
        m_context.chooseFile = chooseByFileDialog;
    setObjectName(QStringLiteral("JournalWindow"));
    setWindowTitle(QStringLiteral("Дневник снов"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(560, 400);
    resize(980, 640);
    buildUi();
    openJournal();
}

JournalWindow::~JournalWindow() = default;

void JournalWindow::buildUi()
{
    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setIconSize(QSize(16, 16));
    const auto addButton = [this, toolbar](const char *key, const QString &caption,
                                           const QString &tip, QStyle::StandardPixmap icon) {
        auto *b = new QToolButton(toolbar);
        b->setObjectName(QString::fromLatin1(key));
        b->setText(caption);
        b->setToolTip(tip);
        b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        toolbar->addWidget(b);
        return b;
    };
    m_new = addButton("NewEntry", QStringLiteral("Новая запись"),
                      QStringLiteral("Записать сон прошлой ночи (Ctrl+N)"), QStyle::SP_FileIcon);
    m_edit = addButton("EditEntry", QStringLiteral("Изменить"),
                       QStringLiteral("Изменить выбранную запись (Enter)"),
                       QStyle::SP_FileDialogDetailedView);
    m_delete = addButton("DeleteEntry", QStringLiteral("Удалить"),
                         QStringLiteral("Удалить выбранную запись (Delete)"), QStyle::SP_TrashIcon);
    m_undo = addButton("UndoDelete", QStringLiteral("Вернуть"),
                       QStringLiteral("Вернуть последнюю удалённую запись (Ctrl+Z)"),
                       QStyle::SP_ArrowBack);
    toolbar->addSeparator();
    m_statisticsButton = addButton("Statistics", QStringLiteral("Статистика"),
                                   QStringLiteral("Частые символы и метки, сны по лунным дням и "
                                                  "дням недели, сбывшиеся сны (Ctrl+T)"),
                                   QStyle::SP_FileDialogContentsView);
    m_print = addButton("Prnt", QStringLiteral("Печать"),
                        QStringLiteral("Распечатать выбранную запись (Ctrl+P)"),
                        QStyle::SP_DialogSaveButton);
    m_export = addButton("Export", QStringLiteral("Экспорт"),
                         QStringLiteral("Сохранить дневник в файл CSV или Markdown"),
                         QStyle::SP_DriveFDIcon);
    m_import = addButton("Import", QStringLiteral("Импорт"),
                         QStringLiteral("Загрузить записи из файла CSV, выгруженного дневником"),
                         QStyle::SP_DirOpenIcon);
    auto *exportMenu = new QMenu(m_export);
    exportMenu->addAction(QStringLiteral("В таблицу CSV…"), this, [this] {
        const QString path =
            m_context.chooseFile(this, QStringLiteral("Экспорт дневника"), kCsvFilter, true);
        if (!path.isEmpty())
            exportTo(path, false);
    });
    exportMenu->addAction(QStringLiteral("В документ Markdown…"), this, [this] {
        const QString path =
            m_context.chooseFile(this, QStringLiteral("Экспорт дневника"), kMarkdownFilter, true);
        if (!path.isEmpty())
            exportTo(path, true);
    });
    m_export->setMenu(exportMenu);
    m_export->setPopupMode(QToolButton::InstantPopup);
    connect(m_new, &QToolButton::clicked, this, [this] { newEntry(); });
    connect(m_edit, &QToolButton::clicked, this, &JournalWindow::editSelected);
    connect(m_delete, &QToolButton::clicked, this, &JournalWindow::deleteSelected);
    connect(m_undo, &QToolButton::clicked, this, &JournalWindow::undoDelete);
    connect(m_statisticsButton, &QToolButton::clicked, this, &JournalWindow::showStatistics);
    connect(m_print, &QToolButton::clicked, this, &JournalWindow::printSelected);
    connect(m_import, &QToolButton::clicked, this, [this] {
        const QString path =
            m_context.chooseFile(this, QStringLiteral("Импорт записей"), kCsvFilter, false);
        if (!path.isEmpty())
            importFrom(path);
    });

    m_problemFrame = new QFrame(this);
    m_problemFrame->setObjectName(QStringLiteral("JournalProblemFrame"));
    m_problemFrame->setFrameShape(QFrame::StyledPanel);
    m_problem = new QLabel(m_problemFrame);
    m_problem->setObjectName(QStringLiteral("JournalProblem"));
    m_problem->setWordWrap(true);
    m_problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_openCopy = new QPushButton(QStringLiteral("Открыть копию только для чтения"), m_problemFrame);
    m_openCopy->setObjectName(QStringLiteral("OpenCopy"));
    auto *problemLayout = new QHBoxLayout(m_problemFrame);
    auto *warning = new QLabel(m_problemFrame);
    warning->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(32, 32));
    problemLayout->addWidget(warning, 0, Qt::AlignTop);
    problemLayout->addWidget(m_problem, 1);
    problemLayout->addWidget(m_openCopy, 0, Qt::AlignTop);
    m_problemFrame->hide();
    connect(m_openCopy, &QPushButton::clicked, this, &JournalWindow::openCopy);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("JournalSearch"));
    m_search->setPlaceholderText(QStringLiteral("Поиск по тексту, меткам и символам"));
    m_search->setClearButtonEnabled(true);
    m_fromEnabled = new QCheckBox(QStringLiteral("с"), this);
    m_fromEnabled->setObjectName(QStringLiteral("JournalFromEnabled"));
    m_from = new QDateEdit(QDate::currentDate().addMonths(-1), this);
    m_from->setObjectName(QStringLiteral("JournalFrom"));
    m_toEnabled = new QCheckBox(QStringLiteral("по"), this);
    m_toEnabled->setObjectName(QStringLiteral("JournalToEnabled"));
    m_to = new QDateEdit(QDate::currentDate(), this);
    m_to->setObjectName(QStringLiteral("JournalTo"));
    for (QDateEdit *edit : {m_from, m_to}) {
        edit->setDisplayFormat(QStringLiteral("dd.MM.yyyy"));
        edit->setCalendarPopup(true);
        edit->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
        edit->setEnabled(false);
    }
    m_lunarDay = new QComboBox(this);
    m_lunarDay->setObjectName(QStringLiteral("JournalLunarDay"));
    m_lunarDay->addItem(QStringLiteral("любой лунный день"), 0);
    for (int d = 1; d <= 30; ++d)
        m_lunarDay->addItem(QStringLiteral("%1-й лунный день").arg(d), d);
    m_outcome = new QComboBox(this);
    m_outcome->setObjectName(QStringLiteral("JournalOutcome"));
    m_outcome->addItem(QStringLiteral("любой исход"), -1);
    for (Outcome o : {Outcome::CameTrue, Outcome::DidNotComeTrue, Outcome::Unknown})
        m_outcome->addItem(outcomeText(o), int(o));

    m_searchTimer = new QTimer(this);
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(250);
    connect(m_searchTimer, &QTimer::timeout, this, &JournalWindow::refresh);
    connect(m_search, &QLineEdit::textChanged, this, [this] { m_searchTimer->start(); });
    connect(m_fromEnabled, &QCheckBox::toggled, m_from, &QDateEdit::setEnabled);
    connect(m_toEnabled, &QCheckBox::toggled, m_to, &QDateEdit::setEnabled);
    for (QCheckBox *box : {m_fromEnabled, m_toEnabled})
        connect(box, &QCheckBox::toggled, this, &JournalWindow::refresh);
    for (QDateEdit *edit : {m_from, m_to})
        connect(edit, &QDateEdit::dateChanged, this, &JournalWindow::refresh);
    for (QComboBox *box : {m_lunarDay, m_outcome})
        connect(box, &QComboBox::currentIndexChanged, this, &JournalWindow::refresh);

    auto *filters = new QHBoxLayout;
    filters->addWidget(m_search, 2);
    filters->addWidget(m_fromEnabled);
    filters->addWidget(m_from);
    filters->addWidget(m_toEnabled);
    filters->addWidget(m_to);
    filters->addWidget(m_lunarDay);
    filters->addWidget(m_outcome);

    m_model = new JournalListModel(this);
    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("JournalList"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setAlternatingRowColors(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 8);
    m_list->horizontalHeader()->setStretchLastSection(true);
    m_list->horizontalHeader()->setHighlightSections(false);
    m_list->setColumnWidth(
        JournalListModel::NightColumn,
        m_list->fontMetrics().horizontalAdvance(QStringLiteral("00.00.0000 00:00 – 00.00 00:00")) +
            16);
    m_list->setColumnWidth(JournalListModel::TitleColumn, 160);
    m_list->setColumnWidth(JournalListModel::LunarDaysColumn, 90);
    m_list->setColumnWidth(JournalListModel::SymbolsColumn, 180);
    m_list->setColumnWidth(JournalListModel::TagsColumn, 110);
    m_list->setColumnWidth(JournalListModel::MoodColumn, 90);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &JournalWindow::showSelected);
    connect(m_list, &QTableView::doubleClicked, this, &JournalWindow::editSelected);

    m_view = new viewer::InterpretationView(this);
    m_view->setObjectName(QStringLiteral("JournalEntryView"));
    m_view->setFrameShape(QFrame::StyledPanel);
    m_view->viewport()->installEventFilter(this);
    m_view->viewport()->setMouseTracking(true);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(m_list);
    splitter->addWidget(m_view);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setChildrenCollapsible(false);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("JournalStatus"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(toolbar);
    layout->addWidget(m_problemFrame);
    layout->addLayout(filters);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_status);
    m_list->installEventFilter(this);
}

void JournalWindow::openJournal()
{
    m_store.reset();
    try {
        // The pages are checked beside, with the daily copy, so that opening never waits for
        // the whole file to be read.
        JournalStore::Options options;
        options.fullCheck = false;
        m_store = JournalStore::open(m_context.path, options);
        m_problemFrame->hide();
        startBackup();
    } catch (const JournalError &e) {
        showProblem(e.message(), e.copyMayHelp());
    }
    refresh();
}

void JournalWindow::openCopy()
{
    try {
        m_store = JournalStore::openCopy(m_context.path);
        showProblem(QStringLiteral("Открыта копия дневника «%1» только для чтения: изменения не "
                                   "сохраняются.")
                        .arg(m_context.path),
                    false);
    } catch (const JournalError &e) {
        showProblem(e.message(), false);
    }
    refresh();
}

QString JournalWindow::problem() const
{
    return m_problemFrame->isHidden() ? QString() : m_problem->text();
}

void JournalWindow::showProblem(const QString &message, bool offerCopy)
{
    m_problem->setText(message);
    m_openCopy->setVisible(offerCopy);
    m_problemFrame->show();
}

void JournalWindow::startBackup()
{
    // Every page checked, then the daily copy written, off the window's thread over
    // connections of their own. A damaged journal closes here, before anything is written to it.
    const QString path = m_context.path;
    QPointer<JournalWindow> self(this);
    QThreadPool::globalInstance()->start([path, self] {
        std::optional<JournalError> damage;
        QString failure;
        try {
            JournalStore::checkFile(path);
            JournalStore::Options options;
            options.fullCheck = false;
            JournalStore::open(path, options)->backUp(QDate::currentDate());
        } catch (const JournalError &e) {
            if (e.problem() == JournalProblem::Damaged)
                damage = e;
            else
                failure = e.message();
        }
        if (!damage && failure.isEmpty())
            return;
        QMetaObject::invokeMethod(
            qApp,
            [self, damage, failure] {
                if (!self)
                    return;
                if (damage) {
                    self->m_store.reset();
                    self->showProblem(damage->message(), true);
                    self->refresh();
                } else {
                    self->setStatus(failure);
                }
            },
            Qt::QueuedConnection);
    });
}

JournalFilter JournalWindow::filter() const
{
    JournalFilter f;
    f.text = m_search->text();
    if (m_fromEnabled->isChecked())
        f.from = m_from->date();
    if (m_toEnabled->isChecked())
        f.to = m_to->date();
    f.lunarDay = m_lunarDay->currentData().toInt();
    const int outcome = m_outcome->currentData().toInt();
    if (outcome >= 0)
        f.outcome = Outcome(outcome);
    return f;
}

void JournalWindow::refresh()
{
    m_searchTimer->stop();
    const std::optional<std::int64_t> selected = selectedId();
    std::vector<EntrySummary> rows;
    if (m_store) {
        try {
            rows = m_store->summaries(filter());
        } catch (const JournalError &e) {
            showProblem(e.message(), e.copyMayHelp());
        }
    }
    m_model->setRows(std::move(rows));
    const int total = m_store ? m_store->count() : 0;
    setStatus(
        m_model->rowCount() == total
            ? QStringLiteral("Записей: %1").arg(total)
            : QStringLiteral("Найдено записей: %1 из %2").arg(m_model->rowCount()).arg(total));
    if (selected && m_model->rowOfId(*selected) >= 0)
        selectId(*selected);
    else if (m_model->rowCount() > 0)
        m_list->selectRow(0);
    showSelected();
    updateActions();
    if (m_statistics && m_store)
        m_statistics->setStatistics(m_store->statistics());
}

std::optional<std::int64_t> JournalWindow::selectedId() const
{
    const QModelIndex current = m_list->selectionModel()->currentIndex();
    if (!current.isValid() || current.row() >= m_model->rowCount())
        return std::nullopt;
    return m_model->summary(current.row()).id;
}

void JournalWindow::selectId(std::int64_t id)
{
    const int row = m_model->rowOfId(id);
    if (row >= 0) {
        m_list->selectRow(row);
        m_list->scrollTo(m_model->index(row, 0));
    }
}

void JournalWindow::showSelected()
{
    const std::optional<std::int64_t> id = selectedId();
    std::optional<JournalEntry> entry;
    if (id && m_store) {
        try {
            entry = m_store->entry(*id);
        } catch (const JournalError &e) {
            showProblem(e.message(), e.copyMayHelp());
        }
    }
    m_document = entry ? buildEntryDocument(*entry) : EntryDocument{};
    m_view->setDocumentText(m_document.text, m_document.runs);
    m_view->setTag(entry ? entry->title : QString());
    // Each entry is read from its title down.
    m_view->moveCursor(QTextCursor::Start);
    m_view->verticalScrollBar()->setValue(0);
    updateActions();
}

void JournalWindow::updateActions()
{
    const bool writable = m_store && !m_store->isReadOnly();
    const bool selected = selectedId().has_value();
    m_new->setEnabled(writable);
    m_edit->setEnabled(writable && selected);
    m_delete->setEnabled(writable && selected);
    m_undo->setEnabled(writable && m_lastDeleted.has_value());
    m_import->setEnabled(writable);
    m_print->setEnabled(selected);
    m_export->setEnabled(bool(m_store));
    m_statisticsButton->setEnabled(bool(m_store));
}

QString JournalWindow::statusText() const
{
    return m_status->text();
}

void JournalWindow::setStatus(const QString &text)
{
    m_status->setText(text);
}

void JournalWindow::reportFailure(const QString &message)
{
    viewer::showMessage(this, viewer::MessageIcon::Critical, QStringLiteral("Дневник снов"),
                        message);
}

bool JournalWindow::saveEntry(JournalEntry &entry)
{
    if (!m_store)
        return false;
    try {
        m_store->save(entry);
    } catch (const JournalError &e) {
        reportFailure(e.message());
        return false;
    }
    refresh();
    selectId(entry.id);
    Q_EMIT changed();
    return true;
}

void JournalWindow::editEntry(const JournalEntry &entry)
{
    EntryDialog::Context context;
    context.place = m_context.place;
    context.resolver = m_context.resolver;
    EntryDialog dialog(context, entry, this);
    if (!m_context.runDialog(dialog))
        return;
    JournalEntry edited = dialog.entry();
    saveEntry(edited);
}

void JournalWindow::newEntry(const QString &text)
{
    if (!m_store || m_store->isReadOnly())
        return;
    JournalEntry entry;
    const Night night = lastNight(QDateTime::currentDateTimeUtc(), QTimeZone::systemTimeZone());
    entry.fellAsleep = night.fellAsleep;
    entry.wokeUp = night.wokeUp;
    entry.text = text;
    editEntry(entry);
}

void JournalWindow::editSelected()
{
    const std::optional<std::int64_t> id = selectedId();
    if (!id || !m_store || m_store->isReadOnly())
        return;
    if (const std::optional<JournalEntry> entry = m_store->entry(*id))
        editEntry(*entry);
}

void JournalWindow::deleteSelected()
{
    const std::optional<std::int64_t> id = selectedId();
    if (!id || !m_store || m_store->isReadOnly())
        return;
    std::optional<JournalEntry> entry;
    try {
        entry = m_store->entry(*id);
    } catch (const JournalError &e) {
        reportFailure(e.message());
        return;
    }
    if (!entry)
        return;
    const QString name = entry->title.isEmpty() ? nightText(*entry) : entry->title;
    if (!m_context.confirm(this, QStringLiteral("Удалить запись «%1»?\nЕё можно будет вернуть "
                                                "кнопкой «Вернуть».")
                                     .arg(name)))
        return;
    // The row below takes the selection.
    const int row = m_model->rowOfId(*id);
    try {
        m_store->remove(*id);
    } catch (const JournalError &e) {
        reportFailure(e.message());
        return;
    }
    m_lastDeleted = entry;
    refresh();
    if (m_model->rowCount() > 0)
        m_list->selectRow(std::min(row, m_model->rowCount() - 1));
    setStatus(QStringLiteral("Запись «%1» удалена. Ctrl+Z — вернуть.").arg(name));
    Q_EMIT changed();
}

void JournalWindow::undoDelete()
{
    if (!m_lastDeleted || !m_store || m_store->isReadOnly())
        return;
    try {
        m_store->restore(*m_lastDeleted);
    } catch (const JournalError &e) {
        reportFailure(e.message());
        return;
    }
    const std::int64_t id = m_lastDeleted->id;
    m_lastDeleted.reset();
    refresh();
    selectId(id);
    Q_EMIT changed();
}

StatisticsWindow *JournalWindow::statisticsWindow() const
{
    return m_statistics;
}

void JournalWindow::showStatistics()
{
    if (!m_store)
        return;
    if (!m_statistics)
        m_statistics = new StatisticsWindow(this);
    try {
        m_statistics->setStatistics(m_store->statistics());
    } catch (const JournalError &e) {
        reportFailure(e.message());
        return;
    }
    m_statistics->show();
    m_statistics->raise();
    m_statistics->activateWindow();
}

void JournalWindow::printSelected()
{
    if (selectedId())
        viewer::printView(m_view, this);
}

void JournalWindow::exportTo(const QString &path, bool markdown)
{
    if (!m_store)
        return;
    try {
        const std::vector<JournalEntry> entries = m_store->entries();
        writeFileAtomically(path, markdown ? entriesToMarkdown(entries) : entriesToCsv(entries));
        setStatus(QStringLiteral("Записей выгружено: %1 в «%2».").arg(entries.size()).arg(path));
    } catch (const JournalError &e) {
        reportFailure(e.message());
    } catch (const CsvError &e) {
        reportFailure(e.message());
    }
}

void JournalWindow::importFrom(const QString &path)
{
    if (!m_store || m_store->isReadOnly())
        return;
    try {
        const std::vector<JournalEntry> entries = readCsvFile(path);
        const int added = m_store->import(entries);
        refresh();
        setStatus(QStringLiteral("Из «%1» добавлено записей: %2 (уже были в дневнике: %3).")
                      .arg(path)
                      .arg(added)
                      .arg(int(entries.size()) - added));
        Q_EMIT changed();
    } catch (const CsvError &e) {
        reportFailure(e.message());
    } catch (const JournalError &e) {
        reportFailure(e.message());
    }
}

void JournalWindow::keyPressEvent(QKeyEvent *event)
{
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier)
        close();
    else if (event->key() == Qt::Key_N && mods == Qt::ControlModifier)
        newEntry();
    else if (event->key() == Qt::Key_Z && mods == Qt::ControlModifier)
        undoDelete();
    else if (event->key() == Qt::Key_P && mods == Qt::ControlModifier)
        printSelected();
    else if (event->key() == Qt::Key_T && mods == Qt::ControlModifier)
        showStatistics();
    else if (event->key() == Qt::Key_F && mods == Qt::ControlModifier)
        m_search->setFocus();
    else
        return QWidget::keyPressEvent(event);
    event->accept();
}

bool JournalWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Delete) {
            deleteSelected();
            return true;
        }
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            editSelected();
            return true;
        }
        return false;
    }
    if (watched != m_view->viewport())
        return false;
    if (event->type() == QEvent::MouseMove) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const EntryDocument::Link *link =
            m_document.linkAt(m_view->charIndexAt(mouse->position().toPoint()));
        m_view->viewport()->setCursor(link ? Qt::PointingHandCursor : Qt::IBeamCursor);
        m_view->viewport()->setToolTip(link ? QStringLiteral("Толкование «") + link->headword + u'»'
                                            : QString());
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || m_view->selectionLength() > 0)
            return false;
        if (const EntryDocument::Link *link =
                m_document.linkAt(m_view->charIndexAt(mouse->position().toPoint()))) {
            Q_EMIT wordRequested(link->headword);
            return true;
        }
    }
    return false;
}

} // namespace kelmor::journal
