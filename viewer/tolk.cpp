#include "viewer/tolk.h"

#include "platform/program_path.h"
#include "platform/settings.h"
#include "platform/twips.h"
#include "viewer/article_document.h"
#include "viewer/interpretation_document.h"
#include "viewer/literature.h"
#include "viewer/messages.h"
#include "viewer/search_form.h"
#include "viewer/view_commands.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFrame>
#include <QMenu>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTextBlock>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kelmor::viewer {

namespace {

const QString kKeySection = platform::SettingsSection;

} // namespace

// ---------------------------------------------------------------------------------------------

InterpretationView::InterpretationView(QWidget *parent)
    : QTextEdit(parent)
{
    setObjectName(QStringLiteral("RichTextBox1"));
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    setContextMenuPolicy(Qt::NoContextMenu);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    QFont base(kBaseFontFamily);
    base.setPointSize(kBasePointSize);
    document()->setDefaultFont(base);
}

void InterpretationView::setDocumentText(const std::u16string &text, std::vector<FormatRun> runs)
{
    // Not painted while the document is rebuilt.
    setUpdatesEnabled(false);
    setFormattedText(document(), text, runs);
    m_plain = QString::fromStdU16String(text);
    m_runs = std::move(runs);
    m_article = false;
    setUpdatesEnabled(true);
}

void InterpretationView::setArticle(const RtfDocument &article, const QFont &base)
{
    setUpdatesEnabled(false);
    setArticleDocument(document(), article, base);
    m_plain = articleViewText(document());
    m_runs.clear();
    m_article = true;
    setUpdatesEnabled(true);
}

int InterpretationView::charIndexAt(const QPoint &viewportPos) const
{
    const QPoint docPos =
        viewportPos + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    int pos = document()->documentLayout()->hitTest(docPos, Qt::FuzzyHit);
    if (pos < 0)
        return 0;
    // hitTest gives the nearest gap; the character under the point is the one before it when
    // the gap lies to the right of the point on the same line.
    QTextCursor cursor(document());
    cursor.setPosition(pos);
    if (cursor.positionInBlock() > 0 && cursorRect(cursor).left() > viewportPos.x()) {
        QTextCursor before(document());
        before.setPosition(pos - 1);
        if (cursorRect(before).top() == cursorRect(cursor).top())
            --pos;
    }
    return pos;
}

void InterpretationView::selectRange(int start, int length)
{
    QTextCursor cursor(document());
    const int end = std::min(start + length, document()->characterCount() - 1);
    cursor.setPosition(std::clamp(start, 0, std::max(0, end)));
    cursor.setPosition(std::max(0, end), QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

int InterpretationView::selectionStart() const
{
    return textCursor().selectionStart();
}

int InterpretationView::selectionLength() const
{
    const QTextCursor cursor = textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

// ---------------------------------------------------------------------------------------------

QRect restoredTolkGeometry(double top, double left, double height, double width,
                           const QSize &screen)
{
    if (top < 1)
        top = platform::pixelsToTwips(screen.height()) / 2 - height / 2;
    if (left < 1)
        left = platform::pixelsToTwips(screen.width()) / 2 - width / 2;
    if (width < 4000)
        width = 4000;
    if (height < 4000)
        height = 4000;
    return QRect(platform::twipsToPixels(left), platform::twipsToPixels(top),
                 platform::twipsToPixels(width), platform::twipsToPixels(height));
}

Tolk::Tolk(Context context, platform::SettingsStore *settings, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_context(std::move(context))
    , m_settings(settings)
{
    setObjectName(QStringLiteral("Tolk"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Толкование сна"));
    // Under the program's own name the window cannot be made smaller than this.
    const QString program = m_context.executableBaseName.isEmpty()
                                ? QFileInfo(platform::programPath()).completeBaseName()
                                : m_context.executableBaseName;
    if (program.toUpper() == QLatin1String("KELMOR"))
        setMinimumSize(380, 200);

    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    // Small icons, so the five buttons fit the designed width of the window.
    m_toolbar->setIconSize(QSize(16, 16));
    struct ButtonSpec
    {
        const char16_t *caption;
        const char *key;
        const char16_t *tip;
        QStyle::StandardPixmap icon;
    };
    // The Back tooltip's "с" in "BackSpaсe" is Cyrillic, as the window has always shown it.
    const ButtonSpec specs[] = {
        {u"Назад", "Back", u"Вернуться к предыдущему слову (Ctrl+BackSpaсe)", QStyle::SP_ArrowBack},
        {u"В начало", "Home", u"Вернуться к выбранному слову (Ctrl+H)", QStyle::SP_DirHomeIcon},
        {u"Печать", "Prnt", u"Распечатать толкование (Ctrl+P)", QStyle::SP_FileIcon},
        {u"Копировать", "Copy", u"Скопировать в буфер (Ctrl+C)", QStyle::SP_FileDialogContentsView},
        {u"Найти", "find", u"Искать в тексте (F3)", QStyle::SP_FileDialogDetailedView},
    };
    for (const ButtonSpec &spec : specs)
        m_buttons.append(addViewButton(m_toolbar, QString::fromLatin1(spec.key),
                                       QString::fromUtf16(spec.caption),
                                       QString::fromUtf16(spec.tip), spec.icon));
    m_backMenu = new QMenu(this);
    button(QStringLiteral("Back"))->setMenu(m_backMenu);
    connect(m_backMenu, &QMenu::triggered, this, &Tolk::backMenuTriggered);
    connect(button(QStringLiteral("Back")), &QToolButton::clicked, this, &Tolk::goBack);
    connect(button(QStringLiteral("Home")), &QToolButton::clicked, this, &Tolk::goHome);
    connect(button(QStringLiteral("Prnt")), &QToolButton::clicked, this, &Tolk::print);
    connect(button(QStringLiteral("Copy")), &QToolButton::clicked, this, &Tolk::copyToClipboard);
    connect(button(QStringLiteral("find")), &QToolButton::clicked, this, &Tolk::ShowFind);

    // The frame around the view.
    m_frame = new QFrame(this);
    m_frame->setObjectName(QStringLiteral("Text2"));
    m_frame->setFrameShape(QFrame::StyledPanel);
    m_frame->setFrameShadow(QFrame::Sunken);
    m_frame->setAutoFillBackground(true);
    m_frame->setBackgroundRole(QPalette::Base);
    // The frame and the view inside it show the page in its own colours, not the theme's.
    m_frame->setPalette(documentPalette());
    m_view = new InterpretationView(m_frame);
    auto *frameLayout = new QVBoxLayout(m_frame);
    frameLayout->setContentsMargins(2, 2, 2, 2);
    frameLayout->addWidget(m_view);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(1);
    layout->addWidget(m_toolbar);
    auto *frameHolder = new QVBoxLayout;
    frameHolder->setContentsMargins(0, 0, 2, 1);
    frameHolder->addWidget(m_frame);
    layout->addLayout(frameHolder, 1);

    m_popup = new QMenu(this);
    m_popup->setObjectName(QStringLiteral("Menu"));
    QAction *copy = m_popup->addAction(QStringLiteral("Копировать"));
    copy->setObjectName(QStringLiteral("mnuCopy"));
    connect(copy, &QAction::triggered, this, &Tolk::copyToClipboard);
    m_popup->addSeparator()->setObjectName(QStringLiteral("mnuSep"));
    QAction *print = m_popup->addAction(QStringLiteral("Печатать"));
    print->setObjectName(QStringLiteral("mnuPrint"));
    connect(print, &QAction::triggered, this, &Tolk::print);

    m_view->installEventFilter(this);
    m_view->viewport()->installEventFilter(this);
    CheckBack();
}

Tolk::~Tolk() = default;

SearchForm *Tolk::searchForm() const
{
    return m_searchForm.data();
}

QToolButton *Tolk::button(const QString &key) const
{
    return m_toolbar->findChild<QToolButton *>(key);
}

bool Tolk::load()
{
    try {
        const double top = m_settings ? m_settings->readDouble(kKeySection, QStringLiteral("TTop"),
                                                               m_context.mainTopTwips)
                                      : m_context.mainTopTwips;
        const double left =
            m_settings ? m_settings->readDouble(kKeySection, QStringLiteral("TLeft"), 15) : 15;
        const double height =
            m_settings
                ? m_settings->readDouble(kKeySection, QStringLiteral("THeight"), kDesignedHeight)
                : kDesignedHeight;
        const double width =
            m_settings
                ? m_settings->readDouble(kKeySection, QStringLiteral("TWidth"), kDesignedWidth)
                : kDesignedWidth;
        QSize screen(1024, 768);
        if (const QScreen *s = this->screen())
            screen = s->geometry().size();
        setGeometry(restoredTolkGeometry(top, left, height, width, screen));

        if (!(m_context.litHasFocus && m_context.litHasFocus())) {
            const std::optional<QString> word =
                m_context.selectedWord ? m_context.selectedWord() : std::nullopt;
            if (!word)
                throw std::runtime_error("no word selected");
            ShowInterpretation(*word);
        }
        return true;
    } catch (const std::exception &) {
        showMessage(this, MessageIcon::Critical, QStringLiteral("TolkLoad"),
                    QStringLiteral("Нечего отображать"));
        return false;
    }
}

bool Tolk::ShowInterpretation(const QString &word)
{
    // While an article is shown the tag still names the word shown before it.
    if (m_view->tag() == word && !m_view->showsArticle())
        return true;
    const std::vector<InterpretationBook> books =
        m_context.books ? m_context.books() : std::vector<InterpretationBook>{};
    const std::u16string w = word.toStdU16String();
    std::optional<std::u16string> document = assembleInterpretation(w, books);
    if (!document)
        return false;
    const std::vector<HeadingStyle> headings = headingStyles(books);
    std::vector<FormatRun> runs = formatInterpretation(*document, w.size(), headings);
    m_view->setDocumentText(*document, std::move(runs));
    m_view->setTag(word);
    m_view->viewport()->setCursor(Qt::IBeamCursor);
    m_view->viewport()->setToolTip(QString());
    m_view->selectRange(0, 0);
    m_view->verticalScrollBar()->setValue(0);
    CheckBack();
    setWindowTitle(word);
    return true;
}

void Tolk::ShowArticle(const QString &key, const QString &caption)
{
    // Read first: a file that cannot be read leaves the view as it was.
    const RtfDocument article = loadArticle(Literature::articlePath(key));
    QFont base(kArticleFontFamily);
    base.setPointSize(kArticlePointSize);
    m_view->setArticle(article, base);
    m_view->viewport()->setCursor(Qt::IBeamCursor);
    m_view->viewport()->setToolTip(QString());
    m_view->selectRange(0, 0);
    m_view->verticalScrollBar()->setValue(0);
    setWindowTitle(caption);
}

void Tolk::CheckBack()
{
    const bool any = !m_back.isEmpty();
    button(QStringLiteral("Back"))->setEnabled(any);
    button(QStringLiteral("Home"))->setEnabled(any);
    // Entries go later, not at once: this may run inside an entry's own triggered signal.
    for (QAction *entry : m_backMenu->actions()) {
        m_backMenu->removeAction(entry);
        entry->deleteLater();
    }
    QStringList listed;
    for (const QString &word : std::as_const(m_back)) {
        if (listed.contains(word))
            continue;
        listed.append(word);
        m_backMenu->addAction(word)->setData(word);
    }
    button(QStringLiteral("Back"))->setPopupMode(QToolButton::MenuButtonPopup);
}

void Tolk::AddBack(const QString &)
{
    m_back.append(m_view->tag());
}

QString Tolk::GetWord(int position) const
{
    return QString::fromStdU16String(linkWordAt(m_view->plainText().toStdU16String(), position));
}

void Tolk::clearHistory()
{
    m_back.clear();
    CheckBack();
}

void Tolk::goBack()
{
    if (!button(QStringLiteral("Back"))->isEnabled() || m_back.isEmpty())
        return;
    const QString word = m_back.last();
    if (!word.isEmpty())
        ShowInterpretation(word);
    m_back.removeLast();
    CheckBack();
}

void Tolk::goHome()
{
    if (!button(QStringLiteral("Home"))->isEnabled() || m_back.isEmpty())
        return;
    ShowInterpretation(m_back.first());
    m_back.clear();
    CheckBack();
}

void Tolk::backMenuTriggered(QAction *action)
{
    // Showing the word rebuilds the menu; then the entry at the clicked place goes. The history
    // list keeps the word, so a later "Back" still takes the newest entry.
    const qsizetype index = m_backMenu->actions().indexOf(action);
    const QString word = action->data().toString();
    ShowInterpretation(word);
    const QList<QAction *> actions = m_backMenu->actions();
    if (index >= 0 && index < actions.size()) {
        QAction *entry = actions.at(index);
        m_backMenu->removeAction(entry);
        entry->deleteLater();
    }
}

void Tolk::ShowFind()
{
    findInView(m_view, m_searchForm, this);
}

void Tolk::copyToClipboard()
{
    copyView(*m_view);
}

void Tolk::print()
{
    printView(m_view, this);
}

void Tolk::showMenuFor(const QPoint &globalPos)
{
    m_popup->popup(globalPos);
}

void Tolk::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToolbar();
}

void Tolk::fitToolbar()
{
    // The width the buttons need with their captions, measured once.
    if (m_captionsWidth == 0) {
        for (QToolButton *b : std::as_const(m_buttons)) {
            const Qt::ToolButtonStyle style = b->toolButtonStyle();
            b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
            m_captionsWidth += b->sizeHint().width() + m_toolbar->layout()->spacing();
            b->setToolButtonStyle(style);
        }
        const QMargins margins = m_toolbar->contentsMargins();
        m_captionsWidth += margins.left() + margins.right() +
                           2 * m_toolbar->style()->pixelMetric(QStyle::PM_ToolBarItemMargin) +
                           m_toolbar->style()->pixelMetric(QStyle::PM_ToolBarHandleExtent);
    }
    const Qt::ToolButtonStyle wanted =
        m_captionsWidth <= width() ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly;
    for (QToolButton *b : std::as_const(m_buttons))
        b->setToolButtonStyle(wanted);
}

void Tolk::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && noModifiers(event)) {
        close();
    } else if (event->key() == Qt::Key_H && ctrlOnly(event)) {
        goHome();
    } else if (event->key() == Qt::Key_P && ctrlOnly(event)) {
        print();
    } else if (event->key() == Qt::Key_F3 && noModifiers(event)) {
        ShowFind();
    } else {
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void Tolk::closeEvent(QCloseEvent *event)
{
    if (!m_saved) {
        m_saved = true;
        if (m_settings &&
            !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
            const QRect g = geometry();
            m_settings->writeDouble(kKeySection, QStringLiteral("TTop"),
                                    platform::pixelsToTwips(g.top()));
            m_settings->writeDouble(kKeySection, QStringLiteral("TLeft"),
                                    platform::pixelsToTwips(g.left()));
            m_settings->writeDouble(kKeySection, QStringLiteral("THeight"),
                                    platform::pixelsToTwips(g.height()));
            m_settings->writeDouble(kKeySection, QStringLiteral("TWidth"),
                                    platform::pixelsToTwips(g.width()));
        }
        if (m_searchForm)
            m_searchForm->close();
        Q_EMIT unloaded();
    }
    event->accept();
}

bool Tolk::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::KeyPress) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Backspace && ctrlOnly(key)) {
            goBack();
            return true;
        }
        if (key->key() == Qt::Key_C && ctrlOnly(key)) {
            copyToClipboard();
            return true;
        }
        if ((key->key() == Qt::Key_Escape && noModifiers(key)) ||
            (key->key() == Qt::Key_F3 && noModifiers(key)) ||
            ((key->key() == Qt::Key_H || key->key() == Qt::Key_P) && ctrlOnly(key))) {
            keyPressEvent(key);
            return true;
        }
        return false;
    }
    if (watched == m_view && event->type() == QEvent::ShortcutOverride) {
        // Ctrl+C belongs to our copy, not to the view's own.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_C && ctrlOnly(key)) {
            event->accept();
            return true;
        }
        return false;
    }
    if (watched != m_view->viewport())
        return false;
    if (event->type() == QEvent::MouseMove) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        m_pointer = mouse->position().toPoint();
        const QString word = GetWord(m_view->charIndexAt(m_pointer));
        if (!word.isEmpty()) {
            m_view->viewport()->setCursor(Qt::PointingHandCursor);
            m_view->viewport()->setToolTip(QStringLiteral("Перейти к «") + word +
                                           QStringLiteral("»"));
        } else {
            m_view->viewport()->setCursor(Qt::IBeamCursor);
            m_view->viewport()->setToolTip(QString());
        }
    } else if (event->type() == QEvent::MouseButtonRelease) {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::RightButton) {
            if (m_view->selectionLength() > 0)
                showMenuFor(mouse->globalPosition().toPoint());
            return false;
        }
        const QString word = GetWord(m_view->charIndexAt(m_pointer));
        if (!word.isEmpty() && word != m_view->tag()) {
            AddBack(word);
            CheckBack();
            if (!ShowInterpretation(word) && m_context.resolveWord) {
                if (const std::optional<QString> headword = m_context.resolveWord(word))
                    ShowInterpretation(*headword);
            }
            m_view->selectRange(m_view->selectionStart(), 0);
            return true;
        }
    }
    return false;
}

} // namespace kelmor::viewer
