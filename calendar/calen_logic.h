#pragma once

// What the moon calendar window does, apart from its widgets: the chosen moment the two pickers
// share, the deferred recalculation, the texts of the results, the location line and the phase
// animation. The window only shows what these classes hold.

#include "calendar/location.h"
#include "calendar/lunarday.h"
#include "calendar/sleep_window.h"

#include <QDateTime>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace kelmor::calendar {

// The calendar speaks Russian whatever the system's locale: month names, abbreviations.
QLocale calendarLocale();

// A local clock moment as the pickers show it: a date and a time of day to the whole second,
// with no time zone attached (the computation converts it with the offset in force then).
struct LocalMoment
{
    QDate date;
    QTime time;

    DateTime toDateTime() const;
    static LocalMoment fromDateTime(DateTime value);
    // The clock fields of a QDateTime, milliseconds dropped.
    static LocalMoment fromQDateTime(const QDateTime &fields);
    // The moment as a QDateTime in UTC whose fields are the local clock's (what the pickers hold:
    // a plain date and time, free of the gaps and repeats of the local zone).
    QDateTime toQDateTime() const;

    friend bool operator==(const LocalMoment &, const LocalMoment &) = default;
};

// The local clock of `zone` at the universal instant `utcNow`.
LocalMoment localNow(const QDateTime &utcNow, const astro::TimeZoneProvider &zone);

// The range the pickers offer: from the first full year of the Gregorian calendar, where the
// lunar days are counted, to the last day the date-time value holds.
QDateTime firstPickerMoment();
QDateTime lastPickerMoment();

// The one moment both pickers hold: a changed date keeps the time, a changed time keeps the
// date, so each picker always shows its part of the same full moment.
class ChosenMoment
{
public:
    const LocalMoment &value() const { return m_value; }
    void set(const LocalMoment &moment);
    // The date picker changed: its date with the time held so far. Returns the new moment.
    const LocalMoment &dateChanged(QDate date);
    // The time picker changed: the date held so far with its time.
    const LocalMoment &timeChanged(QTime time);

private:
    LocalMoment m_value;
};

// When the calculation runs: BCalculate defers it until the picker changes have stopped for
// DelayMs (its timer restarts on each change), runNow runs it at once. A request
// that arrives while the calculation runs (from inside it, or from events it lets through) is
// carried out once, after it, never nested inside it.
class RecalculationScheduler : public QObject
{
    Q_OBJECT
public:
    static constexpr int DelayMs = 500;

    explicit RecalculationScheduler(std::function<void()> calculation, QObject *parent = nullptr);

    void BCalculate();
    void runNow();

    bool isRunning() const { return m_running; }
    QTimer *timer() const { return m_timer; }

private:
    std::function<void()> m_calculation;
    QTimer *m_timer = nullptr;
    bool m_running = false;
    bool m_pending = false;
};

// " (09 апр. 2024 06:46 - 10 апр. 2024 07:54)": the start and the end of a lunar day.
QString periodText(const LunarDay &day);

// The offset of local time from universal time as the location line shows it: whole hours as a
// plain number ("3", "-5", "0"), other offsets with their minutes ("5:30", "5:45", "-3:30").
QString offsetText(int offsetSeconds);
// The offset of `zone` in force at the universal instant `utcNow`, in seconds.
int currentOffsetSeconds(const astro::TimeZoneProvider &zone, const QDateTime &utcNow);

// The location line, "55°45' с.ш.  37°35' в.д 3 GMT": the place's degrees and minutes with their
// hemispheres, then the offset of local time.
QString coordinatesLine(const Location &place, int offsetSeconds);

// The "Сейчас " button's tooltip: "09 апреля 2024 г., 07:30".
QString clockTooltip(const LocalMoment &now);

// What the result fields of the window show; the lunar-day fields persist between calculations
// that find no lunar day.
struct CalenTexts
{
    QString weekDayName; // "Вторник"
    QString weekDayText; // what a dream of that weekday means
    QString day;         // the day of the month
    QString dayText;     // what a dream of that day means
    QString lunarDay;    // the lunar day's number
    QString period;      // when the lunar day began and ends
    QString lunarText;   // what a dream of that lunar day means
    bool periodVisible = false;
    // Whether the lunar-day fields and the phase picture belong to the moment shown.
    bool lunarDayKnown = false;
};

// Shown as the lunar day's meaning when the engine cannot count the lunar days of the chosen
// moment.
extern const QString kLunarDayFailedText;

// The results of the calendar for the chosen moments calculated so far.
class CalenResults
{
public:
    // Calculates everything for the local moment `local` at `place`. The sentinel moment
    // computes nothing and changes nothing (returns false). A moment exactly at a new moon
    // updates the weekday and the day of the month and keeps the lunar day shown before. A
    // moment the engine cannot handle shows the weekday, the day of the month and
    // kLunarDayFailedText.
    bool update(DateTime local, const Location &place, const astro::TimeZoneProvider &zone);

    // The lunar-day fields for one lunar day.
    void showLunarDay(const LunarDay &day);

    const CalenTexts &texts() const { return m_texts; }
    // The lunar day the phase picture shows (0 before the first one was found).
    int lunarDayNumber() const { return m_lunarDay; }
    // The boundaries of the last lunation calculated (new moon, moonrises, next new moon).
    const std::vector<DateTime> &boundaries() const { return m_boundaries; }

private:
    void showDay(DateTime local);

    CalenTexts m_texts;
    int m_lunarDay = 0;
    std::vector<DateTime> m_boundaries;
};

// The night instead of one moment: every lunar day from the chosen moment (falling asleep) to
// waking up, with its share of the night and its meaning, then the morning's weekday and day of
// the month with theirs. A waking time not after the chosen moment, or more than two days after
// it, gives the reason instead.
QString nightLunarDaysText(const LocalMoment &fellAsleep, const LocalMoment &wokeUp,
                           const Location &place, const astro::TimeZoneProvider &zone);
// One lunar day of a night: "29-й лунный день — 75 % ночи (07 апр. 06:10 – 08 апр. 07:15)".
QString lunarDayShareText(const LunarDayShare &day, const astro::TimeZoneProvider &zone);

// The phase animation: every tick of its timer shows the next picture, 1 to 28, then the picture
// of the current lunar day, and ends.
class PhaseAnimation
{
public:
    static constexpr int IntervalMs = 100;

    struct Step
    {
        int picture = 1;
        bool finished = false;
    };
    Step step(int currentLunarDay);
    int counter() const { return m_counter; }

private:
    int m_counter = 0;
};

} // namespace kelmor::calendar
