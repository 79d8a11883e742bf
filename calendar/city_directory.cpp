#include "calendar/city_directory.h"

#include "platform/ansi_text.h"
#include "platform/program_path.h"
#include "platform/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <limits>
#include <optional>

namespace kelmor::calendar {

namespace {

const QChar DegreeSign(0x00B0);
constexpr int FieldCount = 7;

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

// The fields of one line: leading blanks skipped; a field in double quotes may hold commas
// (text after its closing quote, up to the comma, is dropped); an unquoted field ends at the
// comma, trailing blanks removed. std::nullopt with *error set when a quote is not closed.
std::optional<QStringList> splitFields(QStringView line, QString *error)
{
    QStringList fields;
    qsizetype i = 0;
    const qsizetype n = line.size();
    while (true) {
        while (i < n && isBlank(line[i]))
            ++i;
        QString field;
        if (i < n && line[i] == QLatin1Char('"')) {
            const qsizetype close = line.indexOf(QLatin1Char('"'), i + 1);
            if (close < 0) {
                *error = QStringLiteral("не закрыта кавычка");
                return std::nullopt;
            }
            field = line.mid(i + 1, close - i - 1).toString();
            i = close + 1;
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && line[i] != QLatin1Char(','))
                ++i;
            QStringView plain = line.mid(start, i - start);
            while (!plain.isEmpty() && isBlank(plain.back()))
                plain.chop(1);
            field = plain.toString();
        }
        fields << field;
        if (i >= n)
            return fields;
        ++i; // the comma
    }
}

// A plain decimal integer within [low, high].
std::optional<qint16> parseNumber(const QString &field, int low, int high)
{
    bool ok = false;
    const int value = field.toInt(&ok, 10);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return qint16(value);
}

// One record from its seven fields; *error says what is wrong.
std::optional<CityRecord> makeRecord(const QStringList &fields, QString *error)
{
    if (fields.size() != FieldCount) {
        *error = QStringLiteral("ожидалось 7 полей, найдено %1").arg(fields.size());
        return std::nullopt;
    }
    struct Limits
    {
        const char *what;
        int low;
        int high;
    };
    static const Limits limits[FieldCount - 1] = {
        {"градусы долготы", 0, 180},
        {"минуты долготы", 0, 59},
        {"градусы широты", 0, 90},
        {"минуты широты", 0, 59},
        {"признак южной широты", std::numeric_limits<qint16>::min(),
         std::numeric_limits<qint16>::max()},
        {"признак западной долготы", std::numeric_limits<qint16>::min(),
         std::numeric_limits<qint16>::max()},
    };
    qint16 numbers[FieldCount - 1] = {};
    for (int k = 0; k < FieldCount - 1; ++k) {
        const QString &field = fields[k + 1];
        const auto number = parseNumber(field, limits[k].low, limits[k].high);
        if (!number) {
            *error = QStringLiteral("%1: «%2» не число от %3 до %4")
                         .arg(QString::fromUtf8(limits[k].what), field.left(40))
                         .arg(limits[k].low)
                         .arg(limits[k].high);
            return std::nullopt;
        }
        numbers[k] = *number;
    }
    if (fields[0].trimmed().isEmpty()) {
        *error = QStringLiteral("нет названия");
        return std::nullopt;
    }
    return CityRecord{fields[0],  numbers[0], numbers[1], numbers[2],
                      numbers[3], numbers[4], numbers[5]};
}

qint16 toInt16(double value)
{
    if (!std::isfinite(value))
        return value > 0 ? std::numeric_limits<qint16>::max() : std::numeric_limits<qint16>::min();
    // Halves to the even neighbour, as the original conversion to a whole number does.
    const double rounded = std::nearbyint(value);
    if (rounded > std::numeric_limits<qint16>::max())
        return std::numeric_limits<qint16>::max();
    if (rounded < std::numeric_limits<qint16>::min())
        return std::numeric_limits<qint16>::min();
    return qint16(rounded);
}

QString hemisphereText(qint16 flag, const char *yes, const char *no)
{
    return QString::fromUtf8(flag == 1 ? yes : no);
}

} // namespace

CityFile parseCityFile(QByteArrayView bytes, const QString &fileName)
{
    CityFile file;
    const QString text = platform::decodeAnsiText(bytes);
    const QString shownName = QDir::toNativeSeparators(fileName);
    qsizetype pos = 0;
    int lineNumber = 0;
    bool headerSkipped = false;
    while (pos < text.size()) {
        // A line ends at CR LF, LF or CR.
        qsizetype end = pos;
        while (end < text.size() && text[end] != QLatin1Char('\n') &&
               text[end] != QLatin1Char('\r'))
            ++end;
        const QStringView line = QStringView(text).mid(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == QLatin1Char('\r'))
            ++pos;
        if (pos < text.size() && text[pos] == QLatin1Char('\n'))
            ++pos;
        ++lineNumber;
        if (line.trimmed().isEmpty())
            continue;
        if (!headerSkipped) {
            headerSkipped = true;
            continue;
        }
        QString error;
        const auto fields = splitFields(line, &error);
        const auto record = fields ? makeRecord(*fields, &error) : std::nullopt;
        if (!record) {
            file.problem = QStringLiteral("Файл «%1», строка %2: %3. Прочитано городов: %4.")
                               .arg(shownName)
                               .arg(lineNumber)
                               .arg(error)
                               .arg(file.records.size());
            return file;
        }
        file.records.append(*record);
    }
    return file;
}

CityFile readCityFile(const QString &path)
{
    const QString shownName = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!QFileInfo::exists(path))
        return {{}, QStringLiteral("Не найден файл «%1».").arg(shownName)};
    if (!file.open(QIODevice::ReadOnly))
        return {
            {},
            QStringLiteral("Не удается открыть файл «%1»: %2.").arg(shownName, file.errorString())};
    if (file.size() > MaxCityFileSize)
        return {{}, QStringLiteral("Файл «%1» больше 8 МиБ и не читается.").arg(shownName)};
    return parseCityFile(file.read(MaxCityFileSize + 1), path);
}

QString CityFilePath()
{
    const QString folder = platform::programFolder();
    const QString beside = folder + QStringLiteral("/City.csv");
    if (!folder.isEmpty() && QFileInfo::exists(beside))
        return beside;
    return platform::AddBackslash(platform::GetSpecialFolderPath(platform::CommonAppDataFolder)) +
           QStringLiteral("ZEL Programming/ZEL Kelmor/3.1/City.csv");
}

QString latitudeText(const CityRecord &record)
{
    return QStringLiteral("%1° %2' %3")
        .arg(record.latitudeDegrees)
        .arg(record.latitudeMinutes)
        .arg(hemisphereText(record.southFlag, "ю.ш.", "с.ш."));
}

QString longitudeText(const CityRecord &record)
{
    return QStringLiteral("%1° %2' %3")
        .arg(record.longitudeDegrees)
        .arg(record.longitudeMinutes)
        .arg(hemisphereText(record.westFlag, "з.д.", "в.д"));
}

double leadingNumber(QStringView text)
{
    // Blanks, tabs and line feeds do not count, wherever they are.
    QString compact;
    compact.reserve(text.size());
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
            compact += c;
    }
    const QStringView s(compact);
    if (s.size() >= 2 && s[0] == QLatin1Char('&')) {
        const QChar radixLetter = s[1].toUpper();
        const int radix = radixLetter == QLatin1Char('H')   ? 16
                          : radixLetter == QLatin1Char('O') ? 8
                                                            : 0;
        if (radix == 0)
            return 0;
        double value = 0;
        for (qsizetype i = 2; i < s.size(); ++i) {
            bool ok = false;
            const int digit = s.sliced(i, 1).toInt(&ok, radix);
            if (!ok)
                break;
            value = value * radix + digit;
        }
        return value;
    }
    auto isAsciiDigit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    qsizetype i = 0;
    QByteArray number;
    if (i < s.size() && (s[i] == QLatin1Char('+') || s[i] == QLatin1Char('-')))
        number += char(s[i++].unicode());
    qsizetype digits = 0;
    while (i < s.size() && isAsciiDigit(s[i])) {
        number += char(s[i++].unicode());
        ++digits;
    }
    if (i < s.size() && s[i] == QLatin1Char('.')) {
        number += '.';
        ++i;
        while (i < s.size() && isAsciiDigit(s[i])) {
            number += char(s[i++].unicode());
            ++digits;
        }
    }
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == QLatin1Char('e') || s[i] == QLatin1Char('E') ||
                         s[i] == QLatin1Char('d') || s[i] == QLatin1Char('D'))) {
        QByteArray exponent = "e";
        qsizetype j = i + 1;
        if (j < s.size() && (s[j] == QLatin1Char('+') || s[j] == QLatin1Char('-')))
            exponent += char(s[j++].unicode());
        const qsizetype start = j;
        while (j < s.size() && isAsciiDigit(s[j]))
            exponent += char(s[j++].unicode());
        if (j > start)
            number += exponent;
    }
    return number.toDouble();
}

qint16 GeoH(const QString &text)
{
    const qsizetype degree = text.indexOf(DegreeSign);
    return toInt16(
        leadingNumber(degree < 0 ? QStringView(text) : QStringView(text).left(degree + 1)));
}

qint16 GeoM(const QString &text)
{
    const qsizetype degree = text.indexOf(DegreeSign);
    return toInt16(leadingNumber(QStringView(text).mid(degree + 1)));
}

qint16 GeoP(const QString &text)
{
    const QStringView tail = QStringView(text).right(4);
    return (tail == QStringLiteral("з.д.") || tail == QStringLiteral("ю.ш.")) ? 1 : 0;
}

CityChoice cityChoice(const QString &name, const QString &latitude, const QString &longitude)
{
    return CityChoice{name,           GeoH(latitude),  GeoM(latitude),
                      GeoP(latitude), GeoH(longitude), GeoM(longitude),
                      GeoP(longitude)};
}

CityListModel::CityListModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void CityListModel::setRecords(QList<CityRecord> records)
{
    beginResetModel();
    m_records = std::move(records);
    endResetModel();
}

int CityListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_records.size());
}

int CityListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CityListModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_records.size())
        return {};
    const CityRecord &record = m_records[index.row()];
    switch (index.column()) {
    case NameColumn:
        return record.name;
    case LatitudeColumn:
        return latitudeText(record);
    case LongitudeColumn:
        return longitudeText(record);
    default:
        return {};
    }
}

QVariant CityListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return QStringLiteral("Город");
    case LatitudeColumn:
        return QStringLiteral("Широта");
    case LongitudeColumn:
        return QStringLiteral("Долгота");
    default:
        return {};
    }
}

int CityListModel::quickSearch(const QString &text) const
{
    if (text.trimmed().isEmpty())
        return -1;
    for (qsizetype row = 0; row < m_records.size(); ++row) {
        if (m_records[row].name.startsWith(text, Qt::CaseInsensitive))
            return int(row);
    }
    return -1;
}

std::optional<CityChoice> CityListModel::choice(int row) const
{
    if (row < 0 || row >= m_records.size())
        return std::nullopt;
    const CityRecord &record = m_records[row];
    return cityChoice(record.name, latitudeText(record), longitudeText(record));
}

} // namespace kelmor::calendar
