#include "calendar/calen.h"

#include "calendar/moon_phase.h"
#include "platform/open_url.h"
#include "platform/process_animation.h"
#include "platform/qt_timezone.h"
#include "platform/settings.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTimeEdit>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

#ifndef KELMOR_HOMEPAGE
#define KELMOR_HOMEPAGE "https://example.org/kelmor"
#endif

namespace kelmor::calendar {

namespace {

const QString kTitle = QStringLiteral("Календарь сбываемости снов");
const QString kPrompt =
    QStringLiteral("Введите дату и приблизительное время, когда приснился сон:");
const QString kNote = QStringLiteral(
    "Сны, приснившиеся в канун больших церковных праздников зачастую обладают важным смыслом.");
// The clock tooltip follows the time of day.
constexpr int kClockTooltipMs = 2000;
// The busy animation stays this long after a calculation.
constexpr int kBusyStopMs = 300;
constexpr int kLogoSize = 40;

// The hourglass while the calculation runs.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

QLabel *captionLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

// A value field: bold, selectable, so a text can be copied.
QLabel *valueLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A significance text: wrapped to the window's width.
QLabel *textLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::MinimumExpanding);
    return label;
}

QFrame *line(QWidget *parent)
{
    auto *frame = new QFrame(parent);
    frame->setFrameShape(QFrame::HLine);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

// The settlement as a link to the location settings; a blank name would leave nothing to
// click, so it shows the title of the location page instead.
QString settlementLink(const QString &name)
{
    const QString shown =
        name.trimmed().isEmpty() ? QStringLiteral("Населенный пункт") : name.toHtmlEscaped();
    return QStringLiteral("<a href=\"location\">%1</a>").arg(shown);
}

} // namespace

MoonPhaseView::MoonPhaseView(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(sizeHint());
}

QSize MoonPhaseView::sizeHint() const
{
    return QSize(kPhasePictureWidth, kPhasePictureWidth);
}

void MoonPhaseView::setPicture(int picture)
{
    if (m_picture == picture)
        return;
    m_picture = picture;
    update();
}

void MoonPhaseView::paintEvent(QPaintEvent *)
{
    if (m_picture <= 0)
        return;
    const qreal ratio = devicePixelRatioF();
    if (m_pixmapPicture != m_picture || m_pixmapRatio != ratio) {
        m_pixmap = phasePixmap(m_picture, kPhasePictureWidth, ratio);
        m_pixmapPicture = m_picture;
        m_pixmapRatio = ratio;
    }
    QPainter p(this);
    p.drawPixmap(QPoint(0, 0), m_pixmap);
}

void MoonPhaseView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        Q_EMIT doubleClicked();
        event->accept();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

Calen::Calen(Context context, QWidget *owner)
    : QWidget(owner, Qt::Window)
    , m_context(std::move(context))
    , m_scheduler(new RecalculationScheduler([this] { runCalculation(); }, this))
{
    setObjectName(QStringLiteral("Calen"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kTitle);
    if (!m_context.now)
        m_context.now = [] { return QDateTime::currentDateTimeUtc(); };
    buildUi();

    // The opening: the place, now in both pickers, the clock tooltip, the calculation.
    CheckGeo();
    setMoment(now());
    refreshClockTooltip();
    m_clockTimer->start();
    recalculate();
}

Calen::~Calen() = default;

QUrl Calen::homePage()
{
    return QUrl(QStringLiteral(KELMOR_HOMEPAGE));
}

void Calen::buildUi()
{
    // The clock tooltip, the busy animation's stop and the phase animation.
    m_clockTimer = new QTimer(this);
    m_clockTimer->setObjectName(QStringLiteral("Timer1"));
    m_clockTimer->setInterval(kClockTooltipMs);
    connect(m_clockTimer, &QTimer::timeout, this, &Calen::refreshClockTooltip);
    m_busyTimer = new QTimer(this);
    m_busyTimer->setObjectName(QStringLiteral("Timer2"));
    m_busyTimer->setSingleShot(true);
    m_busyTimer->setInterval(kBusyStopMs);
    connect(m_busyTimer, &QTimer::timeout, this, [this] {
        m_busy->setVisible(false);
        m_busy->ProgressStop();
    });
    m_animationTimer = new QTimer(this);
    m_animationTimer->setObjectName(QStringLiteral("Timer4"));
    m_animationTimer->setInterval(PhaseAnimation::IntervalMs);
    connect(m_animationTimer, &QTimer::timeout, this, &Calen::animatePhase);

    auto *heading = new QLabel(kTitle, this);
    heading->setObjectName(QStringLiteral("heading"));
    QFont headingFont = heading->font();
    headingFont.setBold(true);
    headingFont.setPointSizeF(headingFont.pointSizeF() * 1.4);
    heading->setFont(headingFont);

    auto *prompt = captionLabel(QStringLiteral("Label10"), kPrompt, this);
    prompt->setWordWrap(true);

    // The pickers hold plain clock fields (UTC as a zone-free carrier), so every local time can
    // be entered, also one a daylight-saving change skips.
    const QLocale locale = calendarLocale();
    m_dateEdit = new QDateTimeEdit(this);
    m_dateEdit->setObjectName(QStringLiteral("DTPicker1"));
    m_dateEdit->setTimeSpec(Qt::UTC);
    m_dateEdit->setLocale(locale);
    m_dateEdit->setDisplayFormat(QStringLiteral("dd MMMM yyyy"));
    m_dateEdit->setCalendarPopup(true);
    m_dateEdit->calendarWidget()->setLocale(locale);
    m_dateEdit->calendarWidget()->setGridVisible(true);
    m_dateEdit->setDateTimeRange(firstPickerMoment(), lastPickerMoment());
    m_dateEdit->setToolTip(QStringLiteral("Дата сна"));

    m_timeEdit = new QDateTimeEdit(this);
    m_timeEdit->setObjectName(QStringLiteral("DTPicker2"));
    m_timeEdit->setTimeSpec(Qt::UTC);
    m_timeEdit->setLocale(locale);
    m_timeEdit->setDisplayFormat(QStringLiteral("HH : mm : ss"));
    m_timeEdit->setDateTimeRange(firstPickerMoment(), lastPickerMoment());
    m_timeEdit->setToolTip(QStringLiteral("Приблизительное время сна"));
    connect(m_dateEdit, &QDateTimeEdit::dateTimeChanged, this, &Calen::dateEdited);
    connect(m_timeEdit, &QDateTimeEdit::dateTimeChanged, this, &Calen::timeEdited);

    m_nowButton = new QToolButton(this);
    m_nowButton->setObjectName(QStringLiteral("Toolbar1"));
    m_nowButton->setText(QStringLiteral("Сейчас "));
    m_nowButton->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    m_nowButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_nowButton->setAutoRaise(true);
    m_nowButton->setFocusPolicy(Qt::StrongFocus);
    connect(m_nowButton, &QToolButton::clicked, this, &Calen::setToNow);

    m_busy = new platform::ProcessAnimation(this);
    m_busy->setObjectName(QStringLiteral("Process1"));
    QSizePolicy busyPolicy = m_busy->sizePolicy();
    busyPolicy.setRetainSizeWhenHidden(true);
    m_busy->setSizePolicy(busyPolicy);
    m_busy->setVisible(false);

    auto *pickers = new QHBoxLayout;
    pickers->addWidget(m_dateEdit, 3);
    pickers->addWidget(m_timeEdit, 2);
    pickers->addWidget(m_nowButton);
    pickers->addStretch(1);
    pickers->addWidget(m_busy);

    // The results: a caption column and the values with their texts.
    auto *results = new QGridLayout;
    results->setHorizontalSpacing(12);
    results->setColumnStretch(1, 1);
    m_weekDayName = valueLabel(QStringLiteral("Label12"), this);
    m_weekDayText = textLabel(QStringLiteral("Text1"), this);
    m_day = valueLabel(QStringLiteral("Label5"), this);
    m_dayText = textLabel(QStringLiteral("Text2"), this);
    m_lunarDay = valueLabel(QStringLiteral("Label16"), this);
    m_period = new QLabel(this);
    m_period->setObjectName(QStringLiteral("Label3"));
    m_period->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_period->setVisible(false);
    m_lunarText = textLabel(QStringLiteral("Text3"), this);
    m_phase = new MoonPhaseView(this);
    m_phase->setObjectName(QStringLiteral("Picture2"));
    m_phase->setToolTip(QStringLiteral("Фаза Луны. Двойной щелчок показывает смену фаз."));
    connect(m_phase, &MoonPhaseView::doubleClicked, this, [this] { m_animationTimer->start(); });

    const auto caption = [this](const char *name, const QString &text) {
        QLabel *label = captionLabel(QString::fromLatin1(name), text, this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    results->addWidget(caption("Label4", QStringLiteral("День недели:")), 0, 0);
    results->addWidget(m_weekDayName, 0, 1);
    results->addWidget(m_weekDayText, 1, 1, 1, 2);
    results->addWidget(caption("Label1", QStringLiteral("Число месяца:")), 2, 0);
    results->addWidget(m_day, 2, 1);
    results->addWidget(m_dayText, 3, 1, 1, 2);
    results->addWidget(caption("Label8", QStringLiteral("Лунный день:")), 4, 0);
    auto *lunarLine = new QHBoxLayout;
    lunarLine->setSpacing(0);
    lunarLine->addWidget(m_lunarDay);
    lunarLine->addWidget(m_period);
    lunarLine->addStretch(1);
    results->addLayout(lunarLine, 4, 1);
    results->addWidget(m_phase, 4, 2, 2, 1, Qt::AlignRight | Qt::AlignTop);
    results->addWidget(m_lunarText, 5, 1);
    for (int row : {1, 3})
        results->setRowMinimumHeight(row, fontMetrics().lineSpacing() * 2);
    results->setRowMinimumHeight(5, std::max(fontMetrics().lineSpacing() * 2, kPhasePictureWidth));

    // The night instead of one moment: the chosen moment is when the dreamer fell asleep.
    m_sleepWindow = new QCheckBox(QStringLiteral("Время сна неизвестно: я спал до"), this);
    m_sleepWindow->setObjectName(QStringLiteral("SleepWindow"));
    m_sleepWindow->setToolTip(QStringLiteral("Показать все лунные дни ночи: от выбранного "
                                             "момента (когда вы заснули) до пробуждения"));
    m_wokeUp = new QDateTimeEdit(this);
    m_wokeUp->setObjectName(QStringLiteral("SleepWindowEnd"));
    m_wokeUp->setTimeSpec(Qt::UTC);
    m_wokeUp->setLocale(locale);
    m_wokeUp->setDisplayFormat(QStringLiteral("dd MMMM yyyy  HH:mm"));
    m_wokeUp->setCalendarPopup(true);
    m_wokeUp->setDateTimeRange(firstPickerMoment(), lastPickerMoment());
    m_wokeUp->setEnabled(false);
    m_sleepWindowDays = textLabel(QStringLiteral("SleepWindowDays"), this);
    m_sleepWindowDays->setVisible(false);
    connect(m_sleepWindow, &QCheckBox::toggled, this, [this](bool on) {
        m_wokeUp->setEnabled(on);
        showSleepWindow();
    });
    connect(m_wokeUp, &QDateTimeEdit::dateTimeChanged, this, [this] {
        if (m_sleepWindow->isChecked())
            m_scheduler->BCalculate();
    });
    auto *night = new QHBoxLayout;
    night->addWidget(m_sleepWindow);
    night->addWidget(m_wokeUp);
    night->addStretch(1);

    auto *note = captionLabel(QStringLiteral("Label2"), kNote, this);
    note->setWordWrap(true);
    QFont noteFont = note->font();
    noteFont.setItalic(true);
    note->setFont(noteFont);

    // The place: the settlement (a link to the location settings) and its coordinates.
    m_settlement = new QLabel(this);
    m_settlement->setObjectName(QStringLiteral("Label7"));
    m_settlement->setToolTip(QStringLiteral("Настройки точного расчета"));
    m_settlement->setTextFormat(Qt::RichText);
    m_settlement->setTextInteractionFlags(Qt::LinksAccessibleByMouse |
                                          Qt::LinksAccessibleByKeyboard);
    connect(m_settlement, &QLabel::linkActivated, this, [this] { Q_EMIT locationEditRequested(); });
    m_coordinates = new QLabel(this);
    m_coordinates->setObjectName(QStringLiteral("Label9"));
    m_coordinates->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *logo = new QToolButton(this);
    logo->setObjectName(QStringLiteral("Image6"));
    logo->setAutoRaise(true);
    logo->setIconSize(QSize(kLogoSize, kLogoSize));
    QIcon logoIcon = m_context.logo;
    if (logoIcon.isNull())
        logoIcon = QIcon(phasePixmap(15, kLogoSize, devicePixelRatioF()));
    logo->setIcon(logoIcon);
    logo->setToolTip(homePage().toString());
    logo->setCursor(Qt::PointingHandCursor);
    connect(logo, &QToolButton::clicked, this, [] { platform::openUrl(homePage()); });

    auto *place = new QVBoxLayout;
    place->setSpacing(2);
    place->addWidget(m_settlement);
    place->addWidget(m_coordinates);
    auto *bottom = new QHBoxLayout;
    bottom->addLayout(place, 1);
    bottom->addWidget(logo, 0, Qt::AlignRight | Qt::AlignBottom);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 10);
    layout->addWidget(heading);
    layout->addSpacing(4);
    layout->addWidget(prompt);
    layout->addLayout(pickers);
    layout->addWidget(line(this));
    layout->addLayout(results);
    layout->addLayout(night);
    layout->addWidget(m_sleepWindowDays);
    layout->addWidget(line(this));
    layout->addWidget(note);
    layout->addSpacing(4);
    layout->addLayout(bottom);
    layout->addStretch(1);

    // Esc closes the window wherever the focus is (an open drop-down calendar takes it first).
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    setMinimumWidth(480);
    constexpr int kWidth = 540;
    resize(kWidth, layout->totalHeightForWidth(kWidth));
    placeOverOwner();
}

void Calen::placeOverOwner()
{
    // Centred over the main window, kept on its screen.
    const QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr;
    if (!owner || !owner->isVisible())
        return;
    QRect area(QPoint(0, 0), size());
    area.moveCenter(owner->frameGeometry().center());
    if (const QScreen *screen = owner->screen()) {
        const QRect available = screen->availableGeometry();
        area.moveLeft(std::clamp(area.left(), available.left(),
                                 std::max(available.left(), available.right() - area.width())));
        area.moveTop(std::clamp(area.top(), available.top(),
                                std::max(available.top(), available.bottom() - area.height())));
    }
    move(area.topLeft());
}

LocalMoment Calen::now() const
{
    return localNow(m_context.now(), *zone());
}

std::shared_ptr<const astro::TimeZoneProvider> Calen::zone() const
{
    if (m_context.zone)
        return m_context.zone;
    return std::make_shared<const platform::QtTimeZoneProvider>();
}

void Calen::setMoment(const LocalMoment &moment)
{
    m_moment.set(moment);
    const QDateTime fields = moment.toQDateTime();
    const QSignalBlocker dateBlocker(m_dateEdit);
    const QSignalBlocker timeBlocker(m_timeEdit);
    m_dateEdit->setDateTime(fields);
    m_timeEdit->setDateTime(fields);
}

void Calen::dateEdited(const QDateTime &value)
{
    setMoment(m_moment.dateChanged(value.date()));
    m_scheduler->BCalculate();
}

void Calen::timeEdited(const QDateTime &value)
{
    setMoment(m_moment.timeChanged(value.time()));
    m_scheduler->BCalculate();
}

void Calen::setToNow()
{
    setMoment(now());
    recalculate();
}

void Calen::recalculate()
{
    m_scheduler->runNow();
}

void Calen::runCalculation()
{
    const WaitCursor wait;
    m_busy->setVisible(true);
    m_busy->ProgressPlay();
    // Painted now, before the work starts; no other event runs meanwhile.
    m_busy->repaint();
    const auto local = zone();
    if (m_results.update(m_moment.value().toDateTime(), m_place, *local))
        showResults();
    showSleepWindow();
    m_busyTimer->start();
    Q_EMIT calculated();
}

void Calen::showResults()
{
    const CalenTexts &t = m_results.texts();
    m_weekDayName->setText(t.weekDayName);
    m_weekDayText->setText(t.weekDayText);
    m_day->setText(t.day);
    m_dayText->setText(t.dayText);
    m_lunarDay->setText(t.lunarDay);
    m_period->setText(t.period);
    m_period->setVisible(t.periodVisible);
    m_lunarText->setText(t.lunarText);
    m_phase->setVisible(t.lunarDayKnown);
    ShowMoonPhase(m_results.lunarDayNumber());
}

void Calen::showSleepWindow()
{
    const bool on = m_sleepWindow->isChecked();
    m_sleepWindowDays->setVisible(on);
    if (!on) {
        // Until it is asked for, the waking time follows the chosen moment: eight hours later.
        const QSignalBlocker quiet(m_wokeUp);
        m_wokeUp->setDateTime(m_moment.value().toQDateTime().addSecs(8 * 3600));
        return;
    }
    m_sleepWindowDays->setText(nightLunarDaysText(
        m_moment.value(), LocalMoment::fromQDateTime(m_wokeUp->dateTime()), m_place, *zone()));
}

void Calen::setSleepWindow(bool on, const LocalMoment &wokeUp)
{
    m_wokeUp->setDateTime(wokeUp.toQDateTime());
    m_sleepWindow->setChecked(on);
    showSleepWindow();
}

bool Calen::showsSleepWindow() const
{
    return m_sleepWindow->isChecked();
}

QString Calen::sleepWindowText() const
{
    return m_sleepWindow->isChecked() ? m_sleepWindowDays->text() : QString();
}

void Calen::ShowMoonPhase(int lunarDay)
{
    m_phase->setPicture(phasePictureIndex(lunarDay));
}

void Calen::animatePhase()
{
    const PhaseAnimation::Step step = m_animation.step(m_results.lunarDayNumber());
    m_phase->setPicture(step.picture);
    if (step.finished)
        m_animationTimer->stop();
}

void Calen::CheckGeo()
{
    m_place = m_context.location ? m_context.location() : Location();
    if (m_context.store) {
        m_place.cityName = m_context.store
                               ->read(platform::LocationSection, QStringLiteral("CityName"),
                                      QString::fromStdString(Location().cityName))
                               .toStdString();
    }
    ShowPoint();
}

void Calen::ShowPoint()
{
    m_settlement->setText(settlementLink(QString::fromStdString(m_place.cityName)));
    m_coordinates->setText(
        coordinatesLine(m_place, currentOffsetSeconds(*zone(), m_context.now())));
}

void Calen::locationChanged()
{
    CheckGeo();
    recalculate();
}

void Calen::refreshClockTooltip()
{
    m_nowButton->setToolTip(clockTooltip(now()));
}

void Calen::closeEvent(QCloseEvent *event)
{
    m_clockTimer->stop();
    m_busyTimer->stop();
    m_animationTimer->stop();
    m_scheduler->timer()->stop();
    if (!m_unloaded) {
        m_unloaded = true;
        Q_EMIT unloaded();
    }
    event->accept();
}

} // namespace kelmor::calendar
