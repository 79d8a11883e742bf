#include "journal/journal_entry.h"

#include "calendar/dream_tables.h"
#include "calendar/sleep_window.h"

#include <QTimeZone>

namespace kelmor::journal {

namespace {

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::CameTrue:
        return QStringLiteral("сбылся");
    case Outcome::DidNotComeTrue:
        return QStringLiteral("не сбылся");
    case Outcome::Unknown:
        break;
    }
    return QStringLiteral("пока неизвестно");
}

std::optional<Outcome> outcomeFromText(const QString &text)
{
    const QString t = text.simplified().toLower();
    for (Outcome o : {Outcome::Unknown, Outcome::CameTrue, Outcome::DidNotComeTrue})
        if (t == outcomeText(o))
            return o;
    return std::nullopt;
}

int JournalEntry::mainLunarDay() const
{
    const StoredLunarDay *best = nullptr;
    for (const StoredLunarDay &d : lunarDays)
        if (!best || d.seconds > best->seconds)
            best = &d;
    return best ? best->number : 0;
}

QString JournalEntry::weekDayName() const
{
    return utf8(calendar::WeekDayStr(weekDay));
}

QDateTime JournalEntry::fellAsleepLocal() const
{
    return QDateTime::fromSecsSinceEpoch(fellAsleep, Qt::OffsetFromUTC, fellAsleepOffset);
}

QDateTime JournalEntry::wokeUpLocal() const
{
    return QDateTime::fromSecsSinceEpoch(wokeUp, Qt::OffsetFromUTC, wokeUpOffset);
}

Night lastNight(const QDateTime &now, const QTimeZone &zone)
{
    const QDate morning = now.toTimeZone(zone).date();
    Night night;
    night.fellAsleep = QDateTime(morning.addDays(-1), QTime(23, 0), zone).toSecsSinceEpoch();
    night.wokeUp = QDateTime(morning, QTime(7, 0), zone).toSecsSinceEpoch();
    return night;
}

void computeMeanings(JournalEntry &entry, const calendar::Location &place,
                     const astro::TimeZoneProvider &zone, const QString &zoneName)
{
    if (entry.moment)
        entry.wokeUp = entry.fellAsleep;
    const calendar::SleepWindowResult r =
        calendar::SleepWindow(entry.fellAsleep, entry.wokeUp, place, zone);
    entry.fellAsleepOffset = r.fellAsleepOffset;
    entry.wokeUpOffset = r.wokeUpOffset;
    entry.placeName = QString::fromStdString(place.cityName);
    entry.latitude = place.latitude;
    entry.longitude = place.longitude;
    entry.timeZone = zoneName;
    entry.lunarDays.clear();
    for (const calendar::LunarDayShare &d : r.lunarDays)
        entry.lunarDays.push_back({d.number, d.start, d.startOffset, d.end, d.endOffset, d.seconds,
                                   d.share, utf8(d.meaning)});
    entry.morning = entry.wokeUpLocal().date();
    entry.weekDay = r.weekDay;
    entry.weekDayMeaning = utf8(r.weekDayMeaning);
    entry.monthDay = r.day;
    entry.monthDayMeaning = utf8(r.dayMeaning);
}

calendar::Location entryPlace(const JournalEntry &entry)
{
    calendar::Location place;
    place.cityName = entry.placeName.toStdString();
    place.latitude = entry.latitude;
    place.longitude = entry.longitude;
    return place;
}

QStringList parseTags(const QString &text)
{
    QStringList tags;
    for (const QString &part : text.split(u',')) {
        const QString tag = part.simplified();
        if (!tag.isEmpty() && !tags.contains(tag, Qt::CaseInsensitive))
            tags.append(tag);
    }
    return tags;
}

QString foldForSearch(const QString &text)
{
    QString folded = text.toCaseFolded();
    folded.replace(u'ё', u'е');
    return folded;
}

QString searchTextOf(const JournalEntry &entry)
{
    return foldForSearch(entry.title + u'\n' + entry.text + u'\n' + entry.tags.join(u'\n') + u'\n' +
                         entry.symbols.join(u'\n'));
}

QString zoneName(const QTimeZone &zone)
{
    return QString::fromUtf8(zone.id());
}

} // namespace kelmor::journal
