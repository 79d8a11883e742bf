#include "moon_command.h"

#include "astro/mMath.h"
#include "calendar/location.h"
#include "calendar/location_settings.h"
#include "calendar/lunarday.h"
#include "platform/qt_timezone.h"
#include "platform/settings.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTextStream>

#include <cmath>
#include <limits>
#include <optional>

namespace kelmor::calendar {

namespace {

// Moments before the Gregorian reform are refused: the engine's two Julian-day conversions read
// such dates in different calendars.
constexpr int kFirstYear = 1583;
// The last lunation whose next new moon the engine can date ends at the new moon of
// 9999-12-02 10:23 UT; in every time zone (UTC-12 to UTC+14) the local moments before it take in
// the whole of November 9999, so December 9999 is refused.
constexpr int kLastYear = 9999;
constexpr int kLastMonth = 11;
// 1970-01-01 as a date-time value.
constexpr double kUnixEpochDay = 25569.0;

const char *const kUsage =
    "Использование: kelmor moon [--at \"ГГГГ-ММ-ДД ЧЧ:ММ:СС\"] [--lat ГРАДУСЫ --lon ГРАДУСЫ] "
    "[--json]\n"
    "  --at    местное время сна (по умолчанию сейчас), от 1583-01-01 00:00:00\n"
    "          до 9999-11-30 23:59:59\n"
    "  --lat   широта в градусах, север положительный (-90..90)\n"
    "  --lon   долгота в градусах, восток положительный (-180..180)\n"
    "  --json  вывести один объект JSON\n"
    "Без --lat и --lon берётся место из настроек программы.\n";

struct Options
{
    std::optional<DateTime> at;
    std::optional<double> latitude;
    std::optional<double> longitude;
    bool json = false;
    bool help = false;
};

class UsageError
{
public:
    explicit UsageError(QString message)
        : text(std::move(message))
    {
    }
    QString text;
};

DateTime parseMoment(const QString &text)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{4})-(\\d{2})-(\\d{2})[ T](\\d{2}):(\\d{2}):(\\d{2})\\s*$"));
    const auto m = pattern.match(text);
    if (!m.hasMatch())
        throw UsageError(QStringLiteral("неверный момент \"%1\": нужен вид "
                                        "\"ГГГГ-ММ-ДД ЧЧ:ММ:СС\", например \"2024-04-09 07:30:00\"")
                             .arg(text));
    int f[6];
    for (int i = 0; i < 6; ++i)
        f[i] = m.captured(i + 1).toInt();
    if (f[0] < kFirstYear)
        throw UsageError(QStringLiteral("момент \"%1\" раньше %2 года: лунные дни считаются "
                                        "только для дат после григорианской реформы")
                             .arg(text)
                             .arg(kFirstYear));
    if (!QDate::isValid(f[0], f[1], f[2]) || f[3] > 23 || f[4] > 59 || f[5] > 59)
        throw UsageError(
            QStringLiteral("неверный момент \"%1\": такой даты или времени нет").arg(text));
    if (f[0] == kLastYear && f[1] > kLastMonth)
        throw UsageError(QStringLiteral("момент \"%1\" позже 9999-11-30 23:59:59: новолуние, "
                                        "которым закончился бы его лунный месяц, лежит за "
                                        "пределами дат, с которыми работает программа")
                             .arg(text));
    return DateTime::fromFields(f[0], f[1], f[2], f[3], f[4], f[5]);
}

double parseDegrees(const QString &option, const QString &text, double limit)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > limit)
        throw UsageError(QStringLiteral("неверное значение %1 \"%2\": нужно число градусов от "
                                        "-%3 до %3")
                             .arg(option, text)
                             .arg(limit));
    return value;
}

Options parseOptions(const QStringList &args)
{
    Options options;
    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i];
        std::optional<QString> value;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.mid(name.indexOf(QLatin1Char('=')) + 1);
            name = name.left(name.indexOf(QLatin1Char('=')));
        }
        const bool takesValue = name == QLatin1String("--at") || name == QLatin1String("--lat") ||
                                name == QLatin1String("--lon");
        if (takesValue && !value) {
            if (i + 1 >= args.size())
                throw UsageError(QStringLiteral("после %1 нужно значение").arg(name));
            value = args[++i];
        } else if (!takesValue && value) {
            throw UsageError(QStringLiteral("%1 не принимает значения").arg(name));
        }

        if (name == QLatin1String("--at")) {
            if (options.at)
                throw UsageError(QStringLiteral("--at указан дважды"));
            options.at = parseMoment(*value);
        } else if (name == QLatin1String("--lat")) {
            if (options.latitude)
                throw UsageError(QStringLiteral("--lat указан дважды"));
            options.latitude = parseDegrees(name, *value, 90.0);
        } else if (name == QLatin1String("--lon")) {
            if (options.longitude)
                throw UsageError(QStringLiteral("--lon указан дважды"));
            options.longitude = parseDegrees(name, *value, 180.0);
        } else if (name == QLatin1String("--json")) {
            options.json = true;
        } else if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            options.help = true;
        } else {
            throw UsageError(QStringLiteral("неизвестный параметр \"%1\"").arg(args[i]));
        }
    }
    if (options.latitude.has_value() != options.longitude.has_value())
        throw UsageError(QStringLiteral("--lat и --lon задаются вместе"));
    return options;
}

Location locationAt(double latitude, double longitude)
{
    Location place;
    place.cityName.clear();
    place.latitude = std::llround(latitude * double(kFixedScale));
    place.longitude = std::llround(longitude * double(kFixedScale));
    return place;
}

// The current instant in universal time, to the whole second: read from the clock as it is, not
// from the local time, which names two instants in the hour that passes twice.
DateTime nowUT()
{
    const double seconds = std::floor(double(QDateTime::currentSecsSinceEpoch()));
    return DateTime::fromLinear(kUnixEpochDay + seconds / 86400.0);
}

// Formats local date-time values with the offset from universal time in force at them.
class Formatter
{
public:
    // "2024-04-09T06:46:34+10:00".
    static QString iso(DateTime local, int offset)
    {
        return plain(local, QLatin1Char('T')) + offsetText(offset);
    }
    // "2024-04-09 06:46:34 (UTC+10:00)".
    static QString text(DateTime local, int offset)
    {
        return plain(local, QLatin1Char(' ')) + QStringLiteral(" (UTC") + offsetText(offset) +
               QLatin1Char(')');
    }

    static QString plain(DateTime v, QChar separator)
    {
        const auto f = v.toFields();
        return QStringLiteral("%1-%2-%3%4%5:%6:%7")
            .arg(f.year, 4, 10, QLatin1Char('0'))
            .arg(f.month, 2, 10, QLatin1Char('0'))
            .arg(f.day, 2, 10, QLatin1Char('0'))
            .arg(separator)
            .arg(f.hour, 2, 10, QLatin1Char('0'))
            .arg(f.minute, 2, 10, QLatin1Char('0'))
            .arg(f.second, 2, 10, QLatin1Char('0'));
    }

    static QString offsetText(int offset)
    {
        const QChar sign = offset < 0 ? QLatin1Char('-') : QLatin1Char('+');
        const int a = std::abs(offset);
        QString s = QStringLiteral("%1%2:%3")
                        .arg(sign)
                        .arg(a / 3600, 2, 10, QLatin1Char('0'))
                        .arg(a / 60 % 60, 2, 10, QLatin1Char('0'));
        // Local mean time of old dates has seconds in its offset.
        if (a % 60)
            s += QStringLiteral(":%1").arg(a % 60, 2, 10, QLatin1Char('0'));
        return s;
    }
};

// Said when the local time asked for was skipped by the clocks.
QString skippedNote(DateTime asked)
{
    return QStringLiteral("Местного времени %1 не было: часы перевели вперёд; расчёт сделан "
                          "для момента, когда на часах было указанное выше время.")
        .arg(Formatter::plain(asked, QLatin1Char(' ')));
}

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QString placeText(const Location &place)
{
    QString s = QStringLiteral("%1, %2")
                    .arg(place.latitudeDegrees(), 0, 'f', 4)
                    .arg(place.longitudeDegrees(), 0, 'f', 4);
    if (!place.cityName.empty())
        s = QString::fromStdString(place.cityName) + QStringLiteral(" (") + s + QLatin1Char(')');
    return s;
}

void printJson(QTextStream &out, DateTime asked, const Location &place, const CalendarResult &r,
               const Formatter &fmt)
{
    QJsonObject o;
    const MoonListResult &m = r.moon;
    o[QStringLiteral("moment")] = fmt.iso(r.moment, r.utcOffset);
    if (r.skippedLocalTime) {
        o[QStringLiteral("askedMoment")] = fmt.plain(asked, QLatin1Char('T'));
        o[QStringLiteral("momentNote")] = skippedNote(asked);
    }
    o[QStringLiteral("latitude")] = place.latitudeDegrees();
    o[QStringLiteral("longitude")] = place.longitudeDegrees();
    o[QStringLiteral("weekday")] = r.weekDay;
    o[QStringLiteral("weekdayName")] = utf8(r.weekDayName);
    o[QStringLiteral("weekdayText")] = utf8(r.weekDayText);
    o[QStringLiteral("day")] = r.day;
    o[QStringLiteral("dayText")] = utf8(r.dayText);
    if (const auto &lunar = r.moon.lunarDay) {
        o[QStringLiteral("lunarDay")] = lunar->number;
        const auto k = std::size_t(lunar->number);
        o[QStringLiteral("start")] = fmt.iso(lunar->start, m.utcOffsets[k - 1]);
        o[QStringLiteral("end")] = fmt.iso(lunar->end, m.utcOffsets[k]);
    } else {
        o[QStringLiteral("lunarDay")] = QJsonValue::Null;
        o[QStringLiteral("start")] = QJsonValue::Null;
        o[QStringLiteral("end")] = QJsonValue::Null;
        o[QStringLiteral("note")] =
            QStringLiteral("Момент совпадает с новолунием: лунный день не определён.");
    }
    o[QStringLiteral("lunarText")] = utf8(r.lunarText);
    o[QStringLiteral("newMoon")] = fmt.iso(m.newMoon, m.utcOffsets.front());
    o[QStringLiteral("nextNewMoon")] = fmt.iso(m.nextNewMoon, m.utcOffsets.back());
    QJsonArray boundaries;
    for (std::size_t i = 0; i < m.boundaries.size(); ++i)
        boundaries.append(fmt.iso(m.boundaries[i], m.utcOffsets[i]));
    o[QStringLiteral("boundaries")] = boundaries;
    out << QJsonDocument(o).toJson(QJsonDocument::Indented);
}

void printText(QTextStream &out, DateTime asked, const Location &place, const CalendarResult &r,
               const Formatter &fmt)
{
    const MoonListResult &m = r.moon;
    out << "Момент: " << fmt.text(r.moment, r.utcOffset) << '\n';
    if (r.skippedLocalTime)
        out << "  " << skippedNote(asked) << '\n';
    out << "Место: " << placeText(place) << '\n';
    out << "День недели: " << utf8(r.weekDayName) << " (" << r.weekDay << ")\n";
    out << "  " << utf8(r.weekDayText) << '\n';
    out << "Число месяца: " << r.day << '\n';
    out << "  " << utf8(r.dayText) << '\n';
    if (const auto &lunar = r.moon.lunarDay) {
        out << "Лунный день: " << lunar->number << '\n';
        const auto k = std::size_t(lunar->number);
        out << "  начало: " << fmt.text(lunar->start, m.utcOffsets[k - 1]) << '\n';
        out << "  конец:  " << fmt.text(lunar->end, m.utcOffsets[k]) << '\n';
        out << "  " << utf8(r.lunarText) << '\n';
    } else {
        out << "Лунный день: не определён: момент совпадает с новолунием.\n";
    }
    out << "Новолуние: " << fmt.text(m.newMoon, m.utcOffsets.front()) << '\n';
    out << "Следующее новолуние: " << fmt.text(m.nextNewMoon, m.utcOffsets.back()) << '\n';
    out << "Границы лунных дней:\n";
    for (std::size_t i = 0; i < m.boundaries.size(); ++i)
        out << QStringLiteral("  %1  ").arg(i, 2) << fmt.text(m.boundaries[i], m.utcOffsets[i])
            << '\n';
}

} // namespace

DateTime localNow()
{
    const QDateTime t = QDateTime::currentDateTime();
    const QDate d = t.date();
    const QTime h = t.time();
    return DateTime::fromFields(d.year(), d.month(), d.day(), h.hour(), h.minute(), h.second());
}

std::optional<DateTime> parseMomentText(const QString &text, QString *error)
{
    try {
        return parseMoment(text);
    } catch (const UsageError &e) {
        if (error)
            *error = e.text;
    } catch (const astro::AstroError &e) {
        if (error)
            *error =
                QStringLiteral("неверный момент \"%1\": %2").arg(text, QString::fromUtf8(e.what()));
    }
    return std::nullopt;
}

int runMoonCommand(const QStringList &args)
{
    QTextStream out(stdout);
    QTextStream err(stderr);

    Options options;
    try {
        options = parseOptions(args);
    } catch (const UsageError &e) {
        err << "kelmor moon: " << e.text << '\n' << kUsage;
        return 2;
    } catch (const astro::AstroError &e) {
        err << "kelmor moon: неверный момент: " << e.what() << '\n';
        return 2;
    }
    if (options.help) {
        out << kUsage;
        return 0;
    }

    const Location place = options.latitude ? locationAt(*options.latitude, *options.longitude)
                                            : readLocation(platform::SettingsStore());
    const platform::QtTimeZoneProvider zone;
    try {
        const std::optional<CalendarResult> result =
            options.at ? Calculate(*options.at, place, zone)
                       : std::optional<CalendarResult>(CalculateForInstant(nowUT(), place, zone));
        if (!result) {
            err << "kelmor moon: момент 1900-01-01 00:00:00 служит пустым значением: расчёт не "
                   "выполняется\n";
            return 1;
        }
        const Formatter fmt;
        const DateTime asked = options.at ? *options.at : result->moment;
        if (options.json)
            printJson(out, asked, place, *result, fmt);
        else
            printText(out, asked, place, *result, fmt);
    } catch (const std::exception &e) {
        err << "kelmor moon: для этого момента расчёт невозможен: " << e.what() << '\n';
        return 1;
    }
    return 0;
}

} // namespace kelmor::calendar
