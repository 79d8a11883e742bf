#pragma once

// Small journal entries with known values, for the tests of the store, its files and windows.

#include "journal/journal_entry.h"

#include <QDateTime>

namespace kelmor::journal::testing {

// An entry of the night that ends on `morning` at 07:00 (UTC+3), whose lunar days are `days`
// (each covering an equal part of the night), with its symbols and tags.
inline JournalEntry fixtureEntry(const QDate &morning, std::vector<int> days, QStringList symbols,
                                 QStringList tags = {}, Outcome outcome = Outcome::Unknown)
{
    JournalEntry e;
    const int offset = 3 * 3600;
    e.fellAsleep =
        QDateTime(morning.addDays(-1), QTime(23, 0), Qt::OffsetFromUTC, offset).toSecsSinceEpoch();
    e.wokeUp = e.fellAsleep + 8 * 3600;
    e.fellAsleepOffset = offset;
    e.wokeUpOffset = offset;
    e.placeName = QStringLiteral("Москва");
    e.latitude = 557500;
    e.longitude = 375833;
    e.timeZone = QStringLiteral("Europe/Moscow");
    e.title = QStringLiteral("Сон ") + morning.toString(Qt::ISODate);
    e.text = QStringLiteral("Мне снилась ") + symbols.join(QStringLiteral(" и "));
    e.tags = tags;
    e.symbols = symbols;
    e.outcome = outcome;
    const std::int64_t part = days.empty() ? 0 : 8 * 3600 / std::int64_t(days.size());
    std::int64_t at = e.fellAsleep;
    for (int number : days) {
        e.lunarDays.push_back({number, at - 3600, offset, at + part, offset, part,
                               1.0 / double(days.size()),
                               QStringLiteral("Значение дня %1").arg(number)});
        at += part;
    }
    e.morning = morning;
    e.weekDay = morning.dayOfWeek();
    e.weekDayMeaning = QStringLiteral("Значение дня недели");
    e.monthDay = morning.day();
    e.monthDayMeaning = QStringLiteral("Значение числа");
    return e;
}

} // namespace kelmor::journal::testing
