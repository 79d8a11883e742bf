#include "dream/dream_window.h"

#include "books/word_forms.h"
#include "dream/dream_analysis.h"
#include "platform/qt_timezone.h"
#include "viewer/interpretation_document.h"
#include "viewer/search_form.h"
#include "viewer/tolk.h"
#include "viewer/view_commands.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPromise>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyle>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelmor::dream {

namespace {

calendar::DateTime toDateTime(const QDateTime &moment)
{
    const QDate d = moment.date();
    const QTime t = moment.time();
    return calendar::DateTime::fromFields(d.year(), d.month(), d.day(), t.hour(), t.minute(),
                                          t.second());
}

QDateTime nowToTheMinute()
{
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute()));
    return now;
}

} // namespace

DreamWindow::DreamWindow(Context context, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_context(std::move(context))
{
    setObjectName(QStringLiteral("DreamWindow"));
    setWindowTitle(QStringLiteral("Весь сон"));
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(380, 300);
    resize(640, 600);

    auto *prompt =
        new QLabel(QStringLiteral("Расскажите сон: напечатайте или вставьте его текст"), this);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("DreamText"));
    m_text->setTabChangesFocus(true);
    m_text->setPlaceholderText(
        QStringLiteral("Например: Мне снилось, что я плыву по реке, а на берегу сидят собаки."));
    prompt->setBuddy(m_text);

    auto *when = new QLabel(QStringLiteral("Когда приснился:"), this);
    m_moment = new QDateTimeEdit(nowToTheMinute(), this);
    m_moment->setObjectName(QStringLiteral("DreamMoment"));
    m_moment->setDisplayFormat(QStringLiteral("dd MMMM yyyy  HH:mm"));
    m_moment->setCalendarPopup(true);
    m_moment->setMinimumDate(QDate(1583, 1, 1));
    m_moment->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    when->setBuddy(m_moment);
    auto *now = new QPushButton(QStringLiteral("Сейчас"), this);
    now->setObjectName(QStringLiteral("Now"));
    now->setToolTip(QStringLiteral("Сон приснился только что"));
    m_analyse = new QPushButton(QStringLiteral("Толковать"), this);
    m_analyse->setObjectName(QStringLiteral("Analyse"));
    m_analyse->setToolTip(QStringLiteral("Найти символы сна и их толкования (Ctrl+Enter)"));
    m_analyse->setDefault(true);
    m_saveToJournal = new QPushButton(QStringLiteral("Сохранить в дневник"), this);
    m_saveToJournal->setObjectName(QStringLiteral("SaveToJournal"));
    m_saveToJournal->setToolTip(
        QStringLiteral("Записать этот сон в дневник снов с лунными днями ночи (Ctrl+S)"));

    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setIconSize(QSize(16, 16));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const struct
    {
        const char16_t *caption;
        const char *key;
        const char16_t *tip;
        QStyle::StandardPixmap icon;
        void (DreamWindow::*slot)();
    } buttons[] = {
        {u"Печать", "Prnt", u"Распечатать толкование (Ctrl+P)", QStyle::SP_FileIcon,
         &DreamWindow::print},
        {u"Копировать", "Copy", u"Скопировать в буфер (Ctrl+C)", QStyle::SP_FileDialogContentsView,
         &DreamWindow::copyToClipboard},
        {u"Найти", "find", u"Искать в тексте (F3)", QStyle::SP_FileDialogDetailedView,
         &DreamWindow::showFind},
    };
    for (const auto &spec : buttons) {
        QToolButton *b = viewer::addViewButton(toolbar, QString::fromLatin1(spec.key),
                                               QString::fromUtf16(spec.caption),
                                               QString::fromUtf16(spec.tip), spec.icon);
        connect(b, &QToolButton::clicked, this, spec.slot);
    }

    m_view = new viewer::InterpretationView(this);
    m_view->setObjectName(QStringLiteral("DreamReport"));
    m_view->setFrameShape(QFrame::StyledPanel);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("DreamStatus"));

    auto *top = new QWidget(this);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(prompt);
    topLayout->addWidget(m_text, 1);
    auto *row = new QHBoxLayout;
    row->addWidget(when);
    row->addWidget(m_moment);
    row->addWidget(now);
    row->addStretch(1);
    row->addWidget(m_saveToJournal);
    row->addWidget(m_analyse);
    topLayout->addLayout(row);

    auto *bottom = new QWidget(this);
    auto *bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(0, 0, 0, 0);
    bottomLayout->setSpacing(1);
    bottomLayout->addWidget(toolbar);
    bottomLayout->addWidget(m_view, 1);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(top);
    splitter->addWidget(bottom);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);
    splitter->setChildrenCollapsible(false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 4);
    layout->addWidget(splitter, 1);
    layout->addWidget(m_status);

    m_pause = new QTimer(this);
    m_pause->setSingleShot(true);
    m_pause->setInterval(kPauseMs);
    connect(m_pause, &QTimer::timeout, this, &DreamWindow::analyse);
    connect(m_text, &QPlainTextEdit::textChanged, this, &DreamWindow::scheduleAnalysis);
    connect(m_moment, &QDateTimeEdit::dateTimeChanged, this, &DreamWindow::scheduleAnalysis);
    connect(now, &QPushButton::clicked, this, [this] { setMoment(nowToTheMinute()); });
    connect(m_analyse, &QPushButton::clicked, this, &DreamWindow::analyse);
    connect(m_saveToJournal, &QPushButton::clicked, this,
            [this] { Q_EMIT saveToJournalRequested(dreamText().trimmed()); });
    connect(&m_preparing, &QFutureWatcher<void>::finished, this, &DreamWindow::analyse);

    m_text->installEventFilter(this);
    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    m_text->setFocus();
}

DreamWindow::~DreamWindow() = default;

void DreamWindow::setDreamText(const QString &text)
{
    m_text->setPlainText(text);
}

QString DreamWindow::dreamText() const
{
    return m_text->toPlainText();
}

void DreamWindow::setMoment(const QDateTime &moment)
{
    m_moment->setDateTime(moment);
}

QDateTime DreamWindow::moment() const
{
    return m_moment->dateTime();
}

QString DreamWindow::statusText() const
{
    return m_status->text();
}

void DreamWindow::setStatus(const QString &text)
{
    m_status->setText(text);
}

void DreamWindow::scheduleAnalysis()
{
    m_pause->start();
}

void DreamWindow::analyse()
{
    m_pause->stop();
    const std::shared_ptr<const books::FormResolver> resolver =
        m_context.resolver ? m_context.resolver() : nullptr;
    if (!resolver) {
        setStatus(QStringLiteral("Сонники не загружены."));
        return;
    }
    if (!resolver->isPrepared()) {
        // The headwords' forms are read once, off the window's thread; the report follows.
        if (!m_preparing.isRunning()) {
            setStatus(QStringLiteral("Подготовка форм слов сонников…"));
            auto promise = std::make_shared<QPromise<void>>();
            m_preparing.setFuture(promise->future());
            promise->start();
            QThreadPool::globalInstance()->start([promise, resolver] {
                resolver->prepare();
                promise->finish();
            });
        }
        return;
    }
    showReport(*resolver);
}

void DreamWindow::showReport(const books::FormResolver &resolver)
{
    const QString text = dreamText();
    if (text.trimmed().isEmpty()) {
        m_report = DreamReport{};
        m_view->setDocumentText({}, {});
        setStatus(QString());
        return;
    }
    const DreamAnalysis analysis = analyseDream(text, resolver);
    const platform::QtTimeZoneProvider zone;
    const calendar::Location place = m_context.place ? m_context.place() : calendar::Location{};
    const std::vector<CalendarLine> calendar = calendarLines(toDateTime(moment()), place, zone);
    const std::vector<viewer::InterpretationBook> books =
        m_context.books ? m_context.books() : std::vector<viewer::InterpretationBook>{};
    m_report = buildDreamReport(text, analysis, calendar, books);
    const int scroll = m_view->verticalScrollBar()->value();
    m_view->setDocumentText(m_report.text, m_report.runs);
    m_view->setTag(kDreamHeading);
    m_view->verticalScrollBar()->setValue(scroll);
    setStatus(analysis.symbols.empty()
                  ? QStringLiteral("В тексте не найдено ни одного символа из включённых сонников.")
                  : QStringLiteral("Символов сна: %1").arg(analysis.symbols.size()));
    Q_EMIT reportShown();
}

void DreamWindow::followLink(const DreamReport::Link &link)
{
    if (link.section < 0) {
        if (!link.word.isEmpty())
            Q_EMIT wordRequested(link.word);
        return;
    }
    const int start = m_report.sectionStarts[std::size_t(link.section)];
    QTextCursor cursor(m_view->document());
    cursor.setPosition(std::min(start, m_view->document()->characterCount() - 1));
    m_view->setTextCursor(cursor);
    // The section's first line at the top of the view.
    QScrollBar *bar = m_view->verticalScrollBar();
    bar->setValue(bar->value() + m_view->cursorRect(cursor).top());
}

void DreamWindow::copyToClipboard()
{
    viewer::copyView(*m_view);
}

void DreamWindow::print()
{
    viewer::printView(m_view, this);
}

void DreamWindow::showFind()
{
    viewer::findInView(m_view, m_searchForm, this);
}

void DreamWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && viewer::noModifiers(event))
        close();
    else if (event->key() == Qt::Key_P && viewer::ctrlOnly(event))
        print();
    else if (event->key() == Qt::Key_F3 && viewer::noModifiers(event))
        showFind();
    else if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
             viewer::ctrlOnly(event))
        analyse();
    else if (event->key() == Qt::Key_S && viewer::ctrlOnly(event))
        Q_EMIT saveToJournalRequested(dreamText().trimmed());
    else
        return QWidget::keyPressEvent(event);
    event->accept();
}

bool DreamWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_text && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            viewer::ctrlOnly(key)) {
            analyse();
            return true;
        }
        return false;
    }
    if (watched == m_view &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        // Ctrl+C copies as rich text, as the viewer does.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_C && viewer::ctrlOnly(key)) {
            if (event->type() == QEvent::KeyPress)
                copyToClipboard();
            event->accept();
            return true;
        }
        return false;
    }
    if (watched != m_view->viewport())
        return false;
    if (event->type() == QEvent::MouseMove) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        const DreamReport::Link *link =
            m_report.linkAt(m_view->charIndexAt(mouse->position().toPoint()));
        const QString target = !link                ? QString()
                               : link->section >= 0 ? m_report.symbols[std::size_t(link->section)]
                                                    : link->word;
        m_view->viewport()->setCursor(target.isEmpty() ? Qt::IBeamCursor : Qt::PointingHandCursor);
        m_view->viewport()->setToolTip(
            target.isEmpty() ? QString() : QStringLiteral("Перейти к «") + target + u'»');
    } else if (event->type() == QEvent::MouseButtonRelease) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton || m_view->selectionLength() > 0)
            return false;
        if (const DreamReport::Link *link =
                m_report.linkAt(m_view->charIndexAt(mouse->position().toPoint()))) {
            const DreamReport::Link copy = *link;
            followLink(copy);
            return true;
        }
    }
    return false;
}

} // namespace kelmor::dream
