// "kelmor moon" run as a process: the JSON report against the in-process computation, the
// stored location, the moment exactly at the new moon, the range of years and bad arguments.
#include "calendar/dream_tables.h"
#include "calendar/lunarday.h"
#include "platform/settings.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kelmor::calendar;

namespace {

struct Report
{
    int status = -1;
    QByteArray out;
    QString err;
    QJsonObject json;
};

// Runs the program in the time zone `tz` with the settings under configDir.
Report moon(const QStringList &args, const QString &configDir,
            const QString &tz = QStringLiteral("Europe/Moscow"))
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("TZ"), tz);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir);
    env.insert(QStringLiteral("HOME"), configDir);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KELMOR_BINARY), QStringList{QStringLiteral("moon")} + args);
    Report r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    const QJsonDocument doc = QJsonDocument::fromJson(r.out);
    if (doc.isObject())
        r.json = doc.object();
    return r;
}

QString iso(DateTime v)
{
    const auto f = v.toFields();
    return QStringLiteral("%1-%2-%3T%4:%5:%6+03:00")
        .arg(f.year, 4, 10, QLatin1Char('0'))
        .arg(f.month, 2, 10, QLatin1Char('0'))
        .arg(f.day, 2, 10, QLatin1Char('0'))
        .arg(f.hour, 2, 10, QLatin1Char('0'))
        .arg(f.minute, 2, 10, QLatin1Char('0'))
        .arg(f.second, 2, 10, QLatin1Char('0'));
}

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

class MoonCommand : public ::testing::Test
{
protected:
    QTemporaryDir emptyConfig;
};

} // namespace

// Moscow, 2024-07-20 12:00: every key of the report equals what the calendar computes.
TEST_F(MoonCommand, JsonReportMatchesTheComputation)
{
    const QStringList args = {QStringLiteral("--at"),  QStringLiteral("2024-07-20 12:00:00"),
                              QStringLiteral("--lat"), QStringLiteral("55.75"),
                              QStringLiteral("--lon"), QStringLiteral("37.5833"),
                              QStringLiteral("--json")};
    const Report run = moon(args, emptyConfig.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QJsonObject &o = run.json;
    ASSERT_FALSE(o.isEmpty()) << run.out.toStdString();

    const kelmor::astro::FixedTimeZoneProvider moscow(3 * 3600);
    const auto expected = Calculate(DateTime::fromFields(2024, 7, 20, 12), Location{}, moscow);
    ASSERT_TRUE(expected && expected->moon.lunarDay);
    const MoonListResult &m = expected->moon;

    EXPECT_EQ(o[QStringLiteral("weekday")].toInt(), 6);
    EXPECT_EQ(o[QStringLiteral("weekdayName")].toString(), QStringLiteral("Суббота"));
    EXPECT_EQ(o[QStringLiteral("weekdayText")].toString(), text(DreamByWeekDay(6)));
    EXPECT_EQ(o[QStringLiteral("day")].toInt(), 20);
    EXPECT_EQ(o[QStringLiteral("dayText")].toString(), text(DreamByDay(20)));
    EXPECT_EQ(o[QStringLiteral("lunarDay")].toInt(), m.lunarDay->number);
    EXPECT_EQ(o[QStringLiteral("lunarText")].toString(), text(DreamByMoon(m.lunarDay->number)));
    EXPECT_EQ(o[QStringLiteral("start")].toString(), iso(m.lunarDay->start));
    EXPECT_EQ(o[QStringLiteral("end")].toString(), iso(m.lunarDay->end));
    EXPECT_EQ(o[QStringLiteral("newMoon")].toString(), iso(m.newMoon));
    EXPECT_EQ(o[QStringLiteral("nextNewMoon")].toString(), iso(m.nextNewMoon));
    const QJsonArray b = o[QStringLiteral("boundaries")].toArray();
    ASSERT_EQ(b.size(), qsizetype(m.boundaries.size()));
    for (qsizetype i = 0; i < b.size(); ++i)
        EXPECT_EQ(b[i].toString(), iso(m.boundaries[std::size_t(i)])) << i;

    // Without --lat/--lon and without stored settings: the default place, Moscow.
    const Report byDefault = moon(args.mid(0, 2) << QStringLiteral("--json"), emptyConfig.path());
    ASSERT_EQ(byDefault.status, 0) << byDefault.err.toStdString();
    EXPECT_EQ(byDefault.json[QStringLiteral("boundaries")], o[QStringLiteral("boundaries")]);

    // The text report carries the same lunar day.
    const Report plain = moon(args.mid(0, 6), emptyConfig.path());
    ASSERT_EQ(plain.status, 0);
    EXPECT_TRUE(
        plain.out.contains(QStringLiteral("Лунный день: %1\n").arg(m.lunarDay->number).toUtf8()))
        << plain.out.toStdString();
}

// The place stored in the settings (section "UserLocation") is the default place.
TEST_F(MoonCommand, UsesTheStoredLocation)
{
    QTemporaryDir config;
    {
        qputenv("XDG_CONFIG_HOME", config.path().toUtf8());
        kelmor::platform::SettingsStore store;
        const QString s = kelmor::platform::LocationSection;
        // Vladivostok, 43°07' N 131°54' E.
        store.writeInt(s, QStringLiteral("SGraduses"), 43);
        store.writeInt(s, QStringLiteral("SMinutes"), 7);
        store.writeInt(s, QStringLiteral("SM"), 1);
        store.writeInt(s, QStringLiteral("DGraduses"), 131);
        store.writeInt(s, QStringLiteral("DMinutes"), 54);
        store.writeInt(s, QStringLiteral("DM"), 1);
        store.sync();
    }
    const QStringList at = {QStringLiteral("--at"), QStringLiteral("2024-04-20 12:00:00"),
                            QStringLiteral("--json")};
    const Report stored = moon(at, config.path());
    const Report given = moon(at + QStringList{QStringLiteral("--lat"), QStringLiteral("43.1167"),
                                               QStringLiteral("--lon"), QStringLiteral("131.9")},
                              emptyConfig.path());
    const Report moscow = moon(at, emptyConfig.path());
    ASSERT_EQ(stored.status, 0) << stored.err.toStdString();
    ASSERT_EQ(given.status, 0);
    EXPECT_DOUBLE_EQ(stored.json[QStringLiteral("latitude")].toDouble(), 43.1167);
    EXPECT_DOUBLE_EQ(stored.json[QStringLiteral("longitude")].toDouble(), 131.9);
    EXPECT_EQ(stored.json[QStringLiteral("boundaries")], given.json[QStringLiteral("boundaries")]);
    EXPECT_NE(stored.json[QStringLiteral("boundaries")], moscow.json[QStringLiteral("boundaries")]);
}

// Exactly at the new moon no lunar day holds the moment: the report says so and still answers.
TEST_F(MoonCommand, MomentExactlyAtTheNewMoon)
{
    const kelmor::astro::FixedTimeZoneProvider moscow(3 * 3600);
    const auto r = Calculate(DateTime::fromFields(2024, 7, 20, 12), Location{}, moscow);
    ASSERT_TRUE(r);
    const auto f = r->moon.newMoon.toFields();
    const QString at = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", f.year, f.month, f.day,
                                         f.hour, f.minute, f.second);
    const Report run =
        moon({QStringLiteral("--at"), at, QStringLiteral("--json")}, emptyConfig.path());
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.json[QStringLiteral("lunarDay")].isNull()) << run.out.toStdString();
    EXPECT_TRUE(run.json[QStringLiteral("start")].isNull());
    EXPECT_FALSE(run.json[QStringLiteral("note")].toString().isEmpty());
    EXPECT_EQ(run.json[QStringLiteral("newMoon")].toString(), iso(r->moon.newMoon));

    const Report plain = moon({QStringLiteral("--at"), at}, emptyConfig.path());
    EXPECT_TRUE(plain.out.contains(QStringLiteral("совпадает с новолунием").toUtf8()));
}

// A local time the clocks skipped (30 December 2011 did not exist in Samoa; 02:30 on the night
// Berlin goes over to summer time) is converted once: the report shows the moment the clock
// showed at the instant computed for it, with the weekday and day of that moment, and the
// lunar day it prints holds that instant.
TEST_F(MoonCommand, LocalTimeSkippedByTheClocks)
{
    const struct
    {
        const char *tz;
        const char *at;
        const char *moment;
        int weekday;
        int day;
    } cases[] = {
        {"Pacific/Apia", "2011-12-30T12:00:00", "2011-12-31T12:00:00+14:00", 6, 31},
        {"Europe/Berlin", "2024-03-31 02:30:00", "2024-03-31T03:30:00+02:00", 7, 31},
        {"Europe/Berlin", "2024-10-27 02:30:00", "2024-10-27T02:30:00+02:00", 7, 27},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.tz) + " " + c.at);
        const Report run =
            moon({QStringLiteral("--at"), QString::fromLatin1(c.at), QStringLiteral("--json")},
                 emptyConfig.path(), QString::fromLatin1(c.tz));
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        const QJsonObject &o = run.json;
        EXPECT_EQ(o[QStringLiteral("moment")].toString(), QString::fromLatin1(c.moment));
        EXPECT_EQ(o[QStringLiteral("weekday")].toInt(), c.weekday);
        EXPECT_EQ(o[QStringLiteral("day")].toInt(), c.day);
        const auto instant = [&](const char *key) {
            return QDateTime::fromString(o[QString::fromLatin1(key)].toString(), Qt::ISODate)
                .toSecsSinceEpoch();
        };
        EXPECT_LT(instant("start"), instant("moment")) << run.out.toStdString();
        EXPECT_LE(instant("moment"), instant("end")) << run.out.toStdString();
        const bool skipped =
            QString::fromLatin1(c.moment).left(19) != QString::fromLatin1(c.at).replace(u' ', u'T');
        EXPECT_EQ(o.contains(QStringLiteral("momentNote")), skipped);

        const Report plain = moon({QStringLiteral("--at"), QString::fromLatin1(c.at)},
                                  emptyConfig.path(), QString::fromLatin1(c.tz));
        EXPECT_EQ(plain.out.contains(QStringLiteral("не было: часы перевели вперёд").toUtf8()),
                  skipped);
    }
}

// The range the usage text states is the range that answers, in every time zone; beyond it,
// one Russian message.
TEST_F(MoonCommand, RangeOfYearsAndBadArguments)
{
    for (const char *tz : {"Etc/GMT-14", "Etc/GMT+12"})
        for (const char *at : {"1583-01-01 00:00:00", "9999-11-30 23:59:59"}) {
            const Report run = moon({QStringLiteral("--at"), QString::fromLatin1(at)},
                                    emptyConfig.path(), QString::fromLatin1(tz));
            EXPECT_EQ(run.status, 0) << tz << " " << at << ": " << run.err.toStdString();
        }
    for (const char *at : {"1583-01-01 00:00:00", "1899-12-29 12:00:00", "9000-12-31 23:59:59",
                           "9999-11-30 23:59:59"}) {
        const Report run =
            moon({QStringLiteral("--at"), QString::fromLatin1(at), QStringLiteral("--json")},
                 emptyConfig.path());
        EXPECT_EQ(run.status, 0) << at << ": " << run.err.toStdString();
        EXPECT_GE(run.json[QStringLiteral("lunarDay")].toInt(), 1) << at;
        EXPECT_GE(run.json[QStringLiteral("boundaries")].toArray().size(), 29) << at;
    }

    struct Case
    {
        QStringList args;
        int status;
        const char *message; // a part of the message
    } cases[] = {
        {{"--at", "1582-12-31 23:59:59"}, 2, "1583"},
        {{"--at", "1000-01-01 00:00:00"}, 2, "1583"},
        {{"--at", "2024-02-30 12:00:00"}, 2, "2024-02-30"},
        {{"--at", "2024-07-20 24:00:00"}, 2, "24:00:00"},
        {{"--at", "вчера"}, 2, "ГГГГ-ММ-ДД"},
        {{"--at"}, 2, "--at"},
        {{"--lat", "55.75"}, 2, "--lon"},
        {{"--lat", "91", "--lon", "0"}, 2, "--lat"},
        {{"--lat", "0", "--lon", "east"}, 2, "--lon"},
        {{"--lat", "nan", "--lon", "0"}, 2, "--lat"},
        {{"--json=yes"}, 2, "--json"},
        {{"--frobnicate"}, 2, "--frobnicate"},
        {{"--at", "1900-01-01 00:00:00"}, 1, "1900-01-01"},
        {{"--at", "9999-12-01 00:00:00"}, 2, "позже 9999-11-30 23:59:59"},
        {{"--at", "9999-12-31 23:59:59"}, 2, "позже 9999-11-30 23:59:59"},
    };
    for (const Case &c : cases) {
        const Report run = moon(c.args, emptyConfig.path());
        SCOPED_TRACE(c.args.join(QLatin1Char(' ')).toStdString());
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.message))) << run.err.toStdString();
        // Russian throughout: no Latin word but the command's own name and options.
        static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
        for (auto it = word.globalMatch(run.err); it.hasNext();) {
            const QString w = it.next().captured();
            EXPECT_TRUE(QStringList({"kelmor", "moon", "at", "lat", "lon", "json", "frobnicate",
                                     "east", "nan", "yes", "JSON"})
                            .contains(w))
                << w.toStdString();
        }
    }

    const Report help = moon({QStringLiteral("--help")}, emptyConfig.path());
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--json"));
    EXPECT_TRUE(help.out.contains("от 1583-01-01 00:00:00"));
    EXPECT_TRUE(help.out.contains("до 9999-11-30 23:59:59"));
}
