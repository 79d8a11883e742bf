#include "calendar/calen_logic.h"

#include "calendar/dream_tables.h"
#include "calendar/location_settings.h"
#include "calendar/moon_phase.h"

#include <cmath>
#include <cstdlib>
#include <exception>

namespace kelmor::calendar {

namespace {

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The period's format: day, abbreviated month, year, hours 00-23 and minutes.
const QString kPeriodFormat = QStringLiteral("dd MMM yyyy hh:mm");

} // namespace

const QString kLunarDayFailedText =
    QStringLiteral("Для этой даты лунный день рассчитать не удалось.");

QLocale calendarLocale()
{
    return QLocale(QLocale::Russian, QLocale::Russia);
}

DateTime LocalMoment::toDateTime() const
{
    return DateTime::fromFields(date.year(), date.month(), date.day(), time.hour(), time.minute(),
                                time.second());
}

LocalMoment LocalMoment::fromDateTime(DateTime value)
{
    const astro::DateFields f = value.toFields();
    return LocalMoment{QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second)};
}

LocalMoment LocalMoment::fromQDateTime(const QDateTime &fields)
{
    const QTime t = fields.time();
    return LocalMoment{fields.date(), QTime(t.hour(), t.minute(), t.second())};
}

QDateTime LocalMoment::toQDateTime() const
{
    return QDateTime(date, time, Qt::UTC);
}

LocalMoment localNow(const QDateTime &utcNow, const astro::TimeZoneProvider &zone)
{
    const QDateTime utc = utcNow.toUTC();
    return LocalMoment::fromQDateTime(utc.addSecs(zone.offsetSecondsAtUtc(utc.toSecsSinceEpoch())));
}

QDateTime firstPickerMoment()
{
    return QDateTime(QDate(1583, 1, 1), QTime(0, 0, 0), Qt::UTC);
}

QDateTime lastPickerMoment()
{
    return QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC);
}

void ChosenMoment::set(const LocalMoment &moment)
{
    m_value = moment;
}

const LocalMoment &ChosenMoment::dateChanged(QDate date)
{
    m_value.date = date;
    return m_value;
}

const LocalMoment &ChosenMoment::timeChanged(QTime time)
{
    m_value.time = QTime(time.hour(), time.minute(), time.second());
    return m_value;
}

RecalculationScheduler::RecalculationScheduler(std::function<void()> calculation, QObject *parent)
    : QObject(parent)
    , m_calculation(std::move(calculation))
    , m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("Timer3"));
    m_timer->setSingleShot(true);
    m_timer->setInterval(DelayMs);
    connect(m_timer, &QTimer::timeout, this, &RecalculationScheduler::runNow);
}

void RecalculationScheduler::BCalculate()
{
    m_timer->stop();
    m_timer->start();
}

void RecalculationScheduler::runNow()
{
    // The calculation about to run uses the latest moment: a deferred one is not needed.
    m_timer->stop();
    if (m_running) {
        m_pending = true;
        return;
    }
    struct Running
    {
        bool &flag;
        explicit Running(bool &f)
            : flag(f)
        {
            flag = true;
        }
        ~Running() { flag = false; }
    } running(m_running);
    do {
        m_pending = false;
        m_calculation();
    } while (m_pending);
}

QString periodText(const LunarDay &day)
{
    const QLocale locale = calendarLocale();
    const auto text = [&locale](DateTime v) {
        return locale.toString(LocalMoment::fromDateTime(v).toQDateTime(), kPeriodFormat);
    };
    return QStringLiteral(" (") + text(day.start) + QStringLiteral(" - ") + text(day.end) +
           QLatin1Char(')');
}

QString offsetText(int offsetSeconds)
{
    const long minutes = std::lround(offsetSeconds / 60.0);
    const long magnitude = std::labs(minutes);
    QString text = minutes < 0 ? QStringLiteral("-") : QString();
    text += QString::number(magnitude / 60);
    if (magnitude % 60)
        text += QStringLiteral(":%1").arg(magnitude % 60, 2, 10, QLatin1Char('0'));
    return text;
}

int currentOffsetSeconds(const astro::TimeZoneProvider &zone, const QDateTime &utcNow)
{
    return zone.offsetSecondsAtUtc(utcNow.toSecsSinceEpoch());
}

QString coordinatesLine(const Location &place, int offsetSeconds)
{
    return coordinatesText(place) + u' ' + offsetText(offsetSeconds) + QStringLiteral(" GMT");
}

QString clockTooltip(const LocalMoment &now)
{
    return calendarLocale().toString(now.toQDateTime(), QStringLiteral("dd MMMM yyyy г., HH:mm"));
}

bool CalenResults::update(DateTime local, const Location &place,
                          const astro::TimeZoneProvider &zone)
{
    if (local == kSentinelMoment)
        return false;
    try {
        const std::optional<CalendarResult> result = Calculate(local, place, zone);
        if (!result)
            return false;
        m_texts.weekDayName = utf8(result->weekDayName);
        m_texts.weekDayText = utf8(result->weekDayText);
        m_texts.day = QString::number(result->day);
        m_texts.dayText = utf8(result->dayText);
        m_boundaries = result->moon.boundaries;
        if (result->moon.lunarDay)
            showLunarDay(*result->moon.lunarDay);
    } catch (const std::exception &) {
        // Outside the engine's range (the last weeks of the year 9999): the weekday and the day
        // of the month still hold, the lunar day is not known.
        showDay(local);
        m_boundaries.clear();
        m_texts.lunarDay.clear();
        m_texts.period.clear();
        m_texts.periodVisible = false;
        m_texts.lunarText = kLunarDayFailedText;
        m_texts.lunarDayKnown = false;
    }
    return true;
}

void CalenResults::showDay(DateTime local)
{
    const int weekDay = weekDayOf(local);
    const int day = local.dateFields().day;
    m_texts.weekDayName = utf8(WeekDayStr(weekDay));
    m_texts.weekDayText = utf8(DreamByWeekDay(weekDay));
    m_texts.day = QString::number(day);
    m_texts.dayText = utf8(DreamByDay(day));
}

void CalenResults::showLunarDay(const LunarDay &day)
{
    m_texts.period = periodText(day);
    m_texts.periodVisible = true;
    m_texts.lunarDay = QString::number(day.number);
    m_texts.lunarText = utf8(DreamByMoon(day.number));
    m_texts.lunarDayKnown = true;
    m_lunarDay = day.number;
}

PhaseAnimation::Step PhaseAnimation::step(int currentLunarDay)
{
    ++m_counter;
    if (m_counter < kPhasePictureCount)
        return Step{m_counter, false};
    m_counter = 0;
    return Step{phasePictureIndex(currentLunarDay), true};
}

QString lunarDayShareText(const LunarDayShare &day, const astro::TimeZoneProvider &zone)
{
    const auto local = [&zone](std::int64_t instant) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(instant, Qt::OffsetFromUTC,
                                                          zone.offsetSecondsAtUtc(instant));
        return calendarLocale().toString(t, QStringLiteral("dd MMM HH:mm"));
    };
    return QStringLiteral("%1-й лунный день — %2 % ночи (%3 – %4)")
        .arg(day.number)
        .arg(std::lround(day.share * 100))
        .arg(local(day.start), local(day.end));
}

QString nightLunarDaysText(const LocalMoment &fellAsleep, const LocalMoment &wokeUp,
                           const Location &place, const astro::TimeZoneProvider &zone)
{
    const std::int64_t from =
        epochOfDateTime(astro::mTime::LocalToUT(fellAsleep.toDateTime(), zone));
    const std::int64_t to = epochOfDateTime(astro::mTime::LocalToUT(wokeUp.toDateTime(), zone));
    if (to <= from)
        return QStringLiteral("Время пробуждения должно быть позже времени, когда вы заснули.");
    if (to - from > kMaxSleepSeconds)
        return QStringLiteral("Ночь не может быть длиннее двух суток.");
    const auto utf8 = [](std::string_view t) {
        return QString::fromUtf8(t.data(), qsizetype(t.size())).trimmed();
    };
    try {
        const SleepWindowResult r = SleepWindow(from, to, place, zone);
        QStringList lines;
        for (const LunarDayShare &d : r.lunarDays)
            lines << lunarDayShareText(d, zone) << utf8(d.meaning);
        lines << QStringLiteral("Утро: %1 — %2").arg(utf8(r.weekDayName), utf8(r.weekDayMeaning));
        lines << QStringLiteral("%1-е число — %2").arg(r.day).arg(utf8(r.dayMeaning));
        return lines.join(u'\n');
    } catch (const astro::AstroError &) {
        return kLunarDayFailedText;
    }
}

} // namespace kelmor::calendar
