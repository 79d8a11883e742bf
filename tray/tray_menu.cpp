#include "tray/tray_menu.h"

#include "platform/keyboard_layout.h"
#include "platform/pointer_position.h"
#include "platform/version.h"
#include "platform/window_alpha.h"
#include "tray/logging.h"
#include "tray/popup_placement.h"
#include "tray/quick_search.h"
#include "tray/tray_commands.h"
#include "tray/tray_icons.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <array>

namespace kelmor::tray {

Q_LOGGING_CATEGORY(lcTray, "kelmor.tray", QtWarningMsg)

namespace {

// The designed panel, in twips (15 per pixel at the designed font).
constexpr double PanelWidth = 2295;
constexpr double PanelHeight = 2250;
constexpr double RowLeft = 60;
constexpr double RowWidth = 2175;
constexpr double RowHeight = 270;
constexpr std::array<double, TrayCommands::RowCount> RowTops = {75, 435, 1500, 1140, 1905};
constexpr double FieldLeft = 435;
constexpr double FieldTop = 780;
constexpr double FieldWidth = 1740;
constexpr double FieldHeight = 285;
constexpr double BarLeft = 30;
constexpr double BarWidth = 2235;
constexpr double BarHeight = 330;
// The line between "О программе" and "Выход".
constexpr double SeparatorTop = 1837;
// The designed row and field heights in pixels; a larger font scales the whole panel.
constexpr double DesignedRowPixels = RowHeight / 15;
constexpr double DesignedFieldPixels = FieldHeight / 15;

constexpr std::array<RowPicture, TrayCommands::RowCount> RowPictures = {
    RowPicture::Restore, RowPicture::Calendar, RowPicture::About, RowPicture::Options,
    RowPicture::Exit};

const char *enterActionName(EnterAction action)
{
    switch (action) {
    case EnterAction::Nothing:
        return "nothing";
    case EnterAction::OpenViewer:
        return "the viewer";
    case EnterAction::ObsceneMessage:
        return "the obscene-word message";
    case EnterAction::NotFoundMessage:
        return "the not-found message";
    }
    return "";
}

void defaultWarn(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::Warning, platform::ApplicationTitle, text, QMessageBox::Ok,
                    parent);
    box.exec();
}

} // namespace

// The frame `Shape2`: the panel's background, border and separator, and the picture beside
// the search field.
class TrayMenu::Panel : public QWidget
{
public:
    Panel(TrayMenu *menu)
        : QWidget(menu)
        , m_menu(menu)
    {
        setObjectName(QStringLiteral("Shape2"));
        setMouseTracking(true);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QPalette &pal = palette();
        p.fillRect(rect(), pal.color(QPalette::Window));
        p.setPen(pal.color(QPalette::Mid));
        p.drawLine(QPointF(m_menu->px(RowLeft), m_menu->px(SeparatorTop) + 0.5),
                   QPointF(m_menu->px(RowLeft + RowWidth), m_menu->px(SeparatorTop) + 0.5));
        p.setPen(pal.color(QPalette::Dark));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(0.5, 0.5, width() - 1, height() - 1));
        const QRect field = m_menu->m_field->geometry();
        const double side = std::min<double>(field.height(), 16 * m_menu->m_scale);
        const double left = m_menu->px(RowLeft) + 2;
        paintRowPicture(p, QRectF(left, field.center().y() + 0.5 - side / 2, side, side),
                        RowPicture::Search);
    }

private:
    TrayMenu *m_menu;
};

// The highlight bar `Image111`, behind the row under the mouse.
class TrayMenu::HighlightBar : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor fill = palette().color(QPalette::Highlight);
        QColor edge = fill;
        fill.setAlpha(70);
        edge.setAlpha(170);
        p.setPen(QPen(edge, 1));
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    }
};

// A row's hot area `Label18(i)` with its picture and caption.
class TrayMenu::HotArea : public QWidget
{
public:
    HotArea(TrayMenu *menu, int row)
        : QWidget(menu)
        , m_menu(menu)
        , m_row(row)
    {
        setObjectName(QStringLiteral("Label18(%1)").arg(row));
        setMouseTracking(true);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(TrayCommands::caption(row));
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const double side = std::min<double>(height() - 2, 16 * m_menu->m_scale);
        paintRowPicture(p, QRectF(2, (height() - side) / 2, side, side), RowPictures[m_row]);
        QFont f = font();
        // The default command, as in the menus of tray icons.
        f.setBold(m_row == TrayCommands::Restore);
        p.setFont(f);
        p.setPen(palette().color(QPalette::WindowText));
        const int textLeft = m_menu->px(FieldLeft) - m_menu->px(RowLeft);
        const QRect text(textLeft, 0, width() - textLeft - 2, height());
        p.drawText(
            text, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(f).elidedText(TrayCommands::caption(m_row), Qt::ElideRight, text.width()));
    }

    void mouseMoveEvent(QMouseEvent *) override { m_menu->ShowCur(m_row); }

    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
            m_menu->clickRow(m_row);
    }

private:
    TrayMenu *m_menu;
    int m_row;
};

TrayMenu::TrayMenu(Context context, QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_context(std::move(context))
{
    setObjectName(QStringLiteral("TrayMenu"));
    setWindowTitle(QStringLiteral("Быстрый поиск — ") + platform::ApplicationTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    setFont(QFont(QStringLiteral("Tahoma"), 8));
    if (!m_context.pointerPosition)
        m_context.pointerPosition = platform::globalPointerPosition;
    if (!m_context.warn)
        m_context.warn = defaultWarn;

    m_panel = new Panel(this);
    m_bar = new HighlightBar(this);
    m_bar->setObjectName(QStringLiteral("Image111"));
    m_bar->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_bar->hide();
    for (int row = 0; row < TrayCommands::RowCount; ++row)
        m_rows.append(new HotArea(this, row));
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("Text1"));
    m_field->setToolTip(QStringLiteral("Введите искомое слово."));
    m_field->setAccessibleName(QStringLiteral("Введите искомое слово."));
    m_field->setMouseTracking(true);
    m_field->installEventFilter(this);
    m_panel->installEventFilter(this);

    // The scale: rows and field as designed at the designed font, larger with a larger one.
    const double caption = (QFontMetrics(font()).height() + 4) / DesignedRowPixels;
    const double field = m_field->sizeHint().height() / DesignedFieldPixels;
    m_scale = std::max({1.0, caption, field});
    layoutPanel();

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(IdleCounter::TickMs);
    connect(m_timer, &QTimer::timeout, this, &TrayMenu::tick);
    m_timer->start();
}

TrayMenu::~TrayMenu() = default;

int TrayMenu::px(double twips) const
{
    return qRound(twips / 15.0 * m_scale);
}

QSize TrayMenu::panelSize() const
{
    return QSize(px(PanelWidth), px(PanelHeight));
}

void TrayMenu::layoutPanel()
{
    const QSize size = panelSize();
    setFixedSize(size);
    m_panel->setGeometry(QRect(QPoint(0, 0), size));
    for (int row = 0; row < m_rows.size(); ++row)
        m_rows[row]->setGeometry(px(RowLeft), px(RowTops[row]), px(RowWidth), px(RowHeight));
    m_field->setGeometry(px(FieldLeft), px(FieldTop), px(FieldWidth), px(FieldHeight));
    m_bar->resize(px(BarWidth), px(BarHeight));
    m_panel->lower();
    m_bar->stackUnder(m_rows.first());
}

void TrayMenu::popUp()
{
    const std::optional<QPoint> mouse = m_context.pointerPosition();
    QScreen *screen = mouse ? QGuiApplication::screenAt(*mouse) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QRect available = screen ? screen->availableGeometry() : area;
    setGeometry(popupGeometry(panelSize(), mouse, area, available));
    const int alpha = m_context.menuTransparency;
    if (alpha != 0 && alpha != 255)
        platform::SetWindowAlpha(this, alpha);
    m_idle.reset();
    show();
    raise();
    activateWindow();
    m_field->setFocus(Qt::PopupFocusReason);
    platform::SetRus();
    qCInfo(lcTray) << "popup opened at" << geometry()
                   << (mouse ? "with its corner at the mouse" : "at the screen's corner");
}

void TrayMenu::ShowCur(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_bar->move(px(BarLeft), px(RowTops[row]) - (px(BarHeight) - px(RowHeight)) / 2);
    m_bar->show();
    m_highlighted = row;
}

void TrayMenu::HideCur()
{
    m_bar->hide();
    m_highlighted = -1;
}

void TrayMenu::activated()
{
    const int alpha = m_context.menuTransparency;
    if (alpha != 0 && alpha != 255)
        platform::SetWindowAlpha(this, alpha);
    m_idle.reset();
    platform::SetRus();
}

void TrayMenu::tick()
{
    if (m_closing)
        return;
    const bool blank = m_field->text().trimmed().isEmpty();
    bool inside = false;
    if (const std::optional<QPoint> mouse = m_context.pointerPosition())
        inside = containsWithBorders(geometry(), *mouse);
    else
        inside = underMouse();
    if (m_idle.tick(blank, inside)) {
        qCInfo(lcTray) << "popup closes: idle";
        close();
    }
}

void TrayMenu::clickRow(int row)
{
    if (m_closing)
        return;
    QPointer<TrayMenu> self(this);
    m_closing = true; // hiding deactivates the popup; the command still runs
    qCInfo(lcTray).noquote() << "row" << row << TrayCommands::caption(row);
    hide();
    if (m_context.runCommand)
        m_context.runCommand(row);
    if (self)
        close();
}

void TrayMenu::keyPressed(QKeyEvent *event, bool *consumed)
{
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        *consumed = true;
        qCInfo(lcTray) << "popup closes: Esc";
        close();
        return;
    }
    const QString text = m_field->text();
    if (text.trimmed().isEmpty())
        return;
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        *consumed = true;
        // The list follows the field also when the text came without a key (pasted).
        if (m_context.mirrorText)
            m_context.mirrorText(text);
        const std::optional<QString> word =
            m_context.selectedWord ? m_context.selectedWord() : std::nullopt;
        const EnterAction action = enterAction(text, word);
        qCInfo(lcTray).noquote() << "Enter on" << text << "->" << enterActionName(action);
        switch (action) {
        case EnterAction::OpenViewer: {
            QPointer<TrayMenu> self(this);
            if (m_context.showInterpretation)
                m_context.showInterpretation();
            if (self)
                close();
            return;
        }
        case EnterAction::ObsceneMessage:
            warn(ObsceneWordMessage);
            break;
        case EnterAction::NotFoundMessage:
            warn(WordNotFoundMessage);
            break;
        case EnterAction::Nothing:
            break;
        }
    }
    m_idle.reset();
}

void TrayMenu::keyReleased(int key)
{
    if (!completesOnKeyRelease(key))
        return;
    const QString text = m_field->text();
    if (text.isEmpty())
        return;
    if (m_context.mirrorText)
        m_context.mirrorText(text);
    const std::optional<QString> word =
        m_context.selectedWord ? m_context.selectedWord() : std::nullopt;
    if (!word)
        return;
    FieldState field;
    field.text = text;
    field.cursor = m_field->cursorPosition();
    if (m_field->hasSelectedText()) {
        field.selectionStart = m_field->selectionStart();
        field.selectionLength = int(m_field->selectedText().size());
    }
    if (const std::optional<FieldState> completed = completeInline(field, *word)) {
        m_field->setText(completed->text);
        m_field->setSelection(completed->selectionStart, completed->selectionLength);
        qCInfo(lcTray).noquote() << "completed" << text << "->" << completed->text;
    }
}

void TrayMenu::warn(const QString &text)
{
    QPointer<TrayMenu> self(this);
    m_warning = true;
    m_context.warn(this, text);
    if (!self)
        return;
    m_warning = false;
    m_idle.reset();
    if (isVisible()) {
        activateWindow();
        m_field->setFocus(Qt::OtherFocusReason);
    }
}

bool TrayMenu::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::WindowActivate:
        qCInfo(lcTray) << "popup has the keyboard";
        activated();
        break;
    case QEvent::WindowDeactivate:
        // Another window took the keyboard; the popup's own warning does not count.
        if (!m_warning && !m_closing && isVisible()) {
            qCInfo(lcTray) << "popup closes: deactivated";
            close();
        }
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool TrayMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field) {
        switch (event->type()) {
        case QEvent::KeyPress: {
            bool consumed = false;
            keyPressed(static_cast<QKeyEvent *>(event), &consumed);
            return consumed;
        }
        case QEvent::KeyRelease:
            keyReleased(static_cast<QKeyEvent *>(event)->key());
            return false;
        case QEvent::MouseMove:
            HideCur();
            return false;
        default:
            return false;
        }
    }
    if (watched == m_panel && event->type() == QEvent::MouseMove)
        HideCur();
    return QWidget::eventFilter(watched, event);
}

void TrayMenu::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    m_timer->stop();
    QWidget::closeEvent(event);
    if (event->isAccepted() && !m_closeReported) {
        m_closeReported = true;
        Q_EMIT closed();
    }
}

} // namespace kelmor::tray
