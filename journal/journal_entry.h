#pragma once

// One night in the dream journal: when the dreamer slept, where, what they dreamt, and what
// the moon calendar said of that night when the entry was written. The meanings are kept with
// the entry, with the place and time zone they were computed for, so a later change of the
// tables or of the place never rewrites what was said.

#include "calendar/location.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <cstdint>
#include <optional>
#include <vector>

namespace kelmor::astro {
class TimeZoneProvider;
}

namespace kelmor::journal {

enum class Outcome { Unknown = 0, CameTrue = 1, DidNotComeTrue = 2 };

// "пока неизвестно", "сбылся", "не сбылся".
QString outcomeText(Outcome outcome);
// The outcome of one of those texts (letter case and spaces aside); none for another text.
std::optional<Outcome> outcomeFromText(const QString &text);

// A lunar day of the night as the entry keeps it. Instants are seconds since 1970 UTC, each
// with the offset of local time then in force.
struct StoredLunarDay
{
    int number = 0;
    std::int64_t start = 0;
    int startOffset = 0;
    std::int64_t end = 0;
    int endOffset = 0;
    std::int64_t seconds = 0; // of the night
    double share = 0;         // of the night, 0..1
    QString meaning;

    friend bool operator==(const StoredLunarDay &, const StoredLunarDay &) = default;
};

struct JournalEntry
{
    std::int64_t id = 0; // 0 until stored
    std::int64_t created = 0;
    std::int64_t modified = 0;

    // The night: fell asleep, woke up (seconds since 1970 UTC, each with the local offset then).
    // A single moment has both equal.
    bool moment = false;
    std::int64_t fellAsleep = 0;
    int fellAsleepOffset = 0;
    std::int64_t wokeUp = 0;
    int wokeUpOffset = 0;

    // Where and in which time zone the meanings were computed.
    QString placeName;
    calendar::FixedDegrees latitude = 0;
    calendar::FixedDegrees longitude = 0;
    QString timeZone; // IANA name, "UTC+03:00" for a fixed offset

    QString title;
    QString text;
    QStringList tags;
    int mood = 0; // 1..5, 0 when not given
    Outcome outcome = Outcome::Unknown;
    QDate outcomeDate; // null when not given
    QString outcomeNote;

    // The meanings: every lunar day of the night, and the morning's weekday and day.
    std::vector<StoredLunarDay> lunarDays;
    QDate morning; // local date of waking up
    int weekDay = 0;
    QString weekDayMeaning;
    int monthDay = 0;
    QString monthDayMeaning;

    // The symbols of the text (headwords of the books), in the order it names them.
    QStringList symbols;

    // The lunar day that covers the largest share of the night; 0 without one.
    int mainLunarDay() const;
    QString weekDayName() const;
    // Local clock time of falling asleep and waking up (a QDateTime with its offset).
    QDateTime fellAsleepLocal() const;
    QDateTime wokeUpLocal() const;

    friend bool operator==(const JournalEntry &, const JournalEntry &) = default;
};

// The night before `now` (local clock of `zone`): from 23:00 of the day before the morning to
// 07:00 of the morning, the morning being today (yesterday before 07:00 the night has not ended,
// so it is the night that ends this morning all the same).
struct Night
{
    std::int64_t fellAsleep = 0;
    std::int64_t wokeUp = 0;
};
Night lastNight(const QDateTime &now, const QTimeZone &zone);

// Computes the meanings of the entry's night at `place` in `zone` and stores them, the place
// and `zoneName` in the entry. Throws astro::AstroError (Russian) when they cannot be computed.
void computeMeanings(JournalEntry &entry, const calendar::Location &place,
                     const astro::TimeZoneProvider &zone, const QString &zoneName);

// The place an entry's meanings were computed for, as a calendar location.
calendar::Location entryPlace(const JournalEntry &entry);

// Tags from the text the user typed: split at commas, trimmed, empty ones and repeats dropped.
QStringList parseTags(const QString &text);

// Title, text, tags and symbols folded for search (letter case, "ё" as "е").
QString foldForSearch(const QString &text);
QString searchTextOf(const JournalEntry &entry);

// The time zone's name as entries keep it.
QString zoneName(const QTimeZone &zone);

} // namespace kelmor::journal
