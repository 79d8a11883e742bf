// The QTimeZone provider under several TZ values: LocalToUT and UTToLocal agree with QDateTime
// on ordinary dates, and resolve the spring gap and the autumn overlap by their own rule.
#include "astro/mTime.h"
#include "platform/qt_timezone.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ctime>
#include <optional>
#include <vector>

using kelmor::astro::DateTime;
using kelmor::platform::QtTimeZoneProvider;
namespace mTime = kelmor::astro::mTime;

QT_BEGIN_NAMESPACE
// Readable failure messages for date-times.
void PrintTo(const QDateTime &dt, std::ostream *os)
{
    *os << dt.toString(Qt::ISODate).toStdString() << " (offset " << dt.offsetFromUtc() << ")";
}
void PrintTo(const QString &s, std::ostream *os)
{
    *os << '"' << s.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// Switches the process time zone for the life of the object.
class ScopedTz
{
public:
    explicit ScopedTz(const char *zone)
    {
        if (qEnvironmentVariableIsSet("TZ"))
            m_saved = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTz()
    {
        if (m_saved)
            qputenv("TZ", *m_saved);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    std::optional<QByteArray> m_saved;
};

DateTime toDateTime(const QDateTime &dt)
{
    const QDate d = dt.date();
    const QTime t = dt.time();
    return DateTime::fromFields(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
}

QDateTime fieldsOf(DateTime v, Qt::TimeSpec spec)
{
    const auto f = v.toFields();
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second), spec);
}

// Seconds between two date-time values, rounded.
long long secondsBetween(DateTime a, DateTime b)
{
    return std::llround((b.linear() - a.linear()) * 86400.0);
}

struct Zone
{
    const char *name;
    int winterOffset; // seconds east of Greenwich on 15 January 2024
    int summerOffset; // on 15 July 2024
};

const Zone kZones[] = {
    {"Europe/Moscow", 3 * 3600, 3 * 3600},
    {"Europe/Berlin", 3600, 2 * 3600},
    {"Asia/Kolkata", 5 * 3600 + 1800, 5 * 3600 + 1800},
    {"America/New_York", -5 * 3600, -4 * 3600},
};

} // namespace

TEST(QtTimeZoneProvider, AgreesWithQDateTimeInSummerAndWinter)
{
    for (const Zone &zone : kZones) {
        ScopedTz tz(zone.name);
        SCOPED_TRACE(zone.name);
        QtTimeZoneProvider provider;
        ASSERT_EQ(provider.zone().id(), QByteArray(zone.name));

        struct Moment
        {
            QDate date;
            QTime time;
            int expectedOffset;
        } moments[] = {
            {QDate(2024, 1, 15), QTime(12, 0), zone.winterOffset},
            {QDate(2024, 7, 15), QTime(12, 0), zone.summerOffset},
            {QDate(2024, 1, 1), QTime(0, 0, 1), zone.winterOffset},
            {QDate(2024, 7, 1), QTime(23, 59, 59), zone.summerOffset},
        };
        for (const Moment &m : moments) {
            const QDateTime local(m.date, m.time, Qt::LocalTime);
            ASSERT_TRUE(local.isValid());
            // Both are checked against QDateTime: the provider is its only source of the zone.
            EXPECT_EQ(local.offsetFromUtc(), m.expectedOffset)
                << m.date.toString(Qt::ISODate).toStdString();

            const DateTime localValue = toDateTime(local);
            const DateTime ut = mTime::LocalToUT(localValue, provider);
            EXPECT_EQ(fieldsOf(ut, Qt::UTC), local.toUTC())
                << m.date.toString(Qt::ISODate).toStdString();
            EXPECT_EQ(secondsBetween(ut, localValue), m.expectedOffset);

            const DateTime back = mTime::UTToLocal(ut, provider);
            EXPECT_EQ(back.toFields().hour, m.time.hour());
            EXPECT_EQ(secondsBetween(back, localValue), 0)
                << m.date.toString(Qt::ISODate).toStdString();
        }
    }
}

// The offset in force at the converted instant, not the one of today: a historic summer date in
// Moscow (daylight saving time until 2011) takes its summer offset.
TEST(QtTimeZoneProvider, UsesTheOffsetInForceAtTheInstant)
{
    ScopedTz tz("Europe/Moscow");
    QtTimeZoneProvider provider;
    const DateTime summer2010 = DateTime::fromFields(2010, 7, 1, 12, 0, 0);
    const DateTime winter2010 = DateTime::fromFields(2010, 1, 1, 12, 0, 0);
    EXPECT_EQ(secondsBetween(mTime::LocalToUT(summer2010, provider), summer2010), 4 * 3600);
    EXPECT_EQ(secondsBetween(mTime::LocalToUT(winter2010, provider), winter2010), 3 * 3600);
    EXPECT_EQ(secondsBetween(summer2010, mTime::UTToLocal(summer2010, provider)), 4 * 3600);
}

// Around every 2024 transition of the zones that have one: outside the changed hour the
// conversions agree with QDateTime; inside it a time in the spring gap moves forward by the gap,
// and an ambiguous autumn time takes its first (daylight-time) occurrence. Both rules give the
// universal time local - (offset before the transition).
TEST(QtTimeZoneProvider, SpringGapAndAutumnOverlap)
{
    const QDateTime from(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    const QDateTime to(QDate(2025, 1, 1), QTime(0, 0), Qt::UTC);
    int transitionsSeen = 0;
    for (const Zone &zone : kZones) {
        ScopedTz tz(zone.name);
        SCOPED_TRACE(zone.name);
        QtTimeZoneProvider provider;
        for (const auto &tr : provider.zone().transitions(from, to)) {
            const qint64 at = tr.atUtc.toSecsSinceEpoch();
            const int before = provider.zone().offsetFromUtc(tr.atUtc.addSecs(-1));
            const int after = tr.offsetFromUtc;
            if (before == after)
                continue;
            ++transitionsSeen;
            const int change = after - before; // > 0 spring gap, < 0 autumn overlap
            const QDateTime utcAt = QDateTime::fromSecsSinceEpoch(at, Qt::UTC);
            const DateTime utValue = toDateTime(utcAt);
            SCOPED_TRACE(utcAt.toString(Qt::ISODate).toStdString());

            // Inside the changed hour, at its start, middle and last second.
            const DateTime firstLocal = DateTime::fromLinear(utValue.linear() + before / 86400.0);
            for (int s : {0, std::abs(change) / 2, std::abs(change) - 1}) {
                const DateTime local = DateTime::fromLinear(
                    firstLocal.linear() + (change > 0 ? s : s + change) / 86400.0);
                const DateTime ut = mTime::LocalToUT(local, provider);
                EXPECT_EQ(secondsBetween(ut, local), before) << "second " << s;
            }
            // A time in the gap comes back from the round trip moved forward by the gap.
            if (change > 0) {
                const DateTime inGap = DateTime::fromLinear(firstLocal.linear() + 1800 / 86400.0);
                const DateTime round =
                    mTime::UTToLocal(mTime::LocalToUT(inGap, provider), provider);
                EXPECT_EQ(secondsBetween(inGap, round), change);
            }

            // A second either side of the transition and every quarter hour from two hours
            // before to three hours after: UTToLocal gives QDateTime's local fields, and
            // LocalToUT takes them back to the same instant, except the second pass through an
            // autumn hour, which goes to the first.
            std::vector<qint64> instants{at - 1, at + 1};
            for (qint64 e = at - 7200 + 7; e <= at + 10800; e += 900)
                instants.push_back(e);
            for (qint64 e : instants) {
                const QDateTime utc = QDateTime::fromSecsSinceEpoch(e, Qt::UTC);
                const QString expected = utc.toLocalTime().toString(Qt::ISODate);
                const DateTime local = mTime::UTToLocal(toDateTime(utc), provider);
                EXPECT_EQ(fieldsOf(local, Qt::UTC).toString(Qt::ISODate).left(19),
                          expected.left(19))
                    << e - at;
                const bool secondPass = change < 0 && e >= at && e < at - change;
                const DateTime back = mTime::LocalToUT(local, provider);
                EXPECT_EQ(secondsBetween(toDateTime(utc), back), secondPass ? change : 0) << e - at;
            }
        }
    }
    EXPECT_EQ(transitionsSeen, 4); // Berlin and New York, spring and autumn
}
