#include "journal/journal_csv.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStringDecoder>

#include <cmath>

namespace kelmor::journal {

namespace {

enum Column {
    Title,
    FellAsleep,
    WokeUp,
    Moment,
    Place,
    Latitude,
    Longitude,
    TimeZone,
    Tags,
    Mood,
    OutcomeColumn,
    OutcomeDate,
    OutcomeNote,
    Symbols,
    LunarDays,
    Morning,
    WeekDay,
    WeekDayMeaning,
    MonthDay,
    MonthDayMeaning,
    Created,
    Modified,
    Text,
    ColumnCount
};

constexpr int kMaxOffset = 18 * 3600;
const QString kSymbolSeparator = QStringLiteral("; ");
const QString kTagSeparator = QStringLiteral(", ");

QString instantText(std::int64_t seconds, int offset)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::OffsetFromUTC, offset).toString(Qt::ISODate);
}

QString csvField(const QString &value)
{
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\n') &&
        !value.contains(u'\r'))
        return value;
    QString quoted = value;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

QString fixedText(calendar::FixedDegrees value)
{
    return QString::number(double(value) / calendar::kFixedScale, 'f', 4);
}

QString lunarDaysJson(const std::vector<StoredLunarDay> &days)
{
    QJsonArray array;
    for (const StoredLunarDay &d : days) {
        QJsonObject o;
        o[QStringLiteral("number")] = d.number;
        o[QStringLiteral("start")] = instantText(d.start, d.startOffset);
        o[QStringLiteral("end")] = instantText(d.end, d.endOffset);
        o[QStringLiteral("seconds")] = qint64(d.seconds);
        o[QStringLiteral("share")] = d.share;
        o[QStringLiteral("meaning")] = d.meaning;
        array.append(o);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

// Reading one record's values, each error naming the line and the column.
class RecordReader
{
public:
    RecordReader(const QStringList &record, const std::vector<int> &columns, int line)
        : m_record(record)
        , m_columns(columns)
        , m_line(line)
    {
    }

    QString text(Column c) const
    {
        const int index = m_columns[std::size_t(c)];
        return index < m_record.size() ? m_record[index] : QString();
    }

    [[noreturn]] void fail(Column c, const QString &why) const
    {
        throw CsvError(
            QStringLiteral("строка %1, столбец «%2»: %3").arg(m_line).arg(csvColumns()[c], why));
    }

    std::int64_t integer(Column c, std::int64_t min, std::int64_t max,
                         bool emptyIsZero = false) const
    {
        const QString t = text(c).trimmed();
        if (t.isEmpty() && emptyIsZero)
            return 0;
        bool ok = false;
        const qlonglong v = t.toLongLong(&ok);
        if (!ok || v < min || v > max)
            fail(c, QStringLiteral("нужно целое число от %1 до %2").arg(min).arg(max));
        return v;
    }

    calendar::FixedDegrees degrees(Column c, double limit) const
    {
        bool ok = false;
        const double v = text(c).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v) || std::fabs(v) > limit)
            fail(c, QStringLiteral("нужно число градусов от -%1 до %1").arg(limit));
        return calendar::FixedDegrees(std::llround(v * calendar::kFixedScale));
    }

    // An instant with its offset: "2024-04-08T23:00:00+03:00".
    std::pair<std::int64_t, int> instant(Column c) const
    {
        const std::optional<std::pair<std::int64_t, int>> v = parseInstant(text(c));
        if (!v)
            fail(c, QStringLiteral("нужны дата и время с поясом, например "
                                   "2024-04-08T23:00:00+03:00"));
        return *v;
    }

    static std::optional<std::pair<std::int64_t, int>> parseInstant(const QString &value)
    {
        const QString t = value.trimmed();
        // An offset or Z at the end: a time without one names no instant.
        const bool zoned = t.endsWith(u'Z') ||
                           (t.size() > 6 && (t[t.size() - 6] == u'+' || t[t.size() - 6] == u'-') &&
                            t[t.size() - 3] == u':');
        if (!zoned || t.size() > 40)
            return std::nullopt;
        const QDateTime d = QDateTime::fromString(t, Qt::ISODate);
        if (!d.isValid() || std::abs(d.offsetFromUtc()) > kMaxOffset || d.date().year() < 1583 ||
            d.date().year() > 9999)
            return std::nullopt;
        return std::pair{d.toSecsSinceEpoch(), d.offsetFromUtc()};
    }

    QDate date(Column c, bool optional) const
    {
        const QString t = text(c).trimmed();
        if (t.isEmpty() && optional)
            return {};
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (!d.isValid() || d.year() < 1583 || d.year() > 9999)
            fail(c, QStringLiteral("нужна дата вида 2024-04-09"));
        return d;
    }

    std::vector<StoredLunarDay> lunarDays(Column c) const
    {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(text(c).toUtf8(), &error);
        if (error.error != QJsonParseError::NoError || !doc.isArray())
            fail(c, QStringLiteral("нужен список лунных дней в записи JSON"));
        const QJsonArray array = doc.array();
        if (array.size() > 8)
            fail(c, QStringLiteral("слишком много лунных дней"));
        std::vector<StoredLunarDay> days;
        for (const QJsonValue &v : array) {
            const QJsonObject o = v.toObject();
            StoredLunarDay d;
            const double number = o.value(QStringLiteral("number")).toDouble(-1);
            const double seconds = o.value(QStringLiteral("seconds")).toDouble(-1);
            d.share = o.value(QStringLiteral("share")).toDouble(-1);
            const auto start = parseInstant(o.value(QStringLiteral("start")).toString());
            const auto end = parseInstant(o.value(QStringLiteral("end")).toString());
            if (!v.isObject() || number < 1 || number > 31 || number != std::floor(number) ||
                !(seconds >= 0 && seconds <= 4 * 86400) || !(d.share >= 0 && d.share <= 1) ||
                !start || !end || !o.value(QStringLiteral("meaning")).isString())
                fail(c, QStringLiteral("лунный день %1 записан неверно").arg(days.size() + 1));
            d.number = int(number);
            d.seconds = std::int64_t(seconds);
            std::tie(d.start, d.startOffset) = *start;
            std::tie(d.end, d.endOffset) = *end;
            d.meaning = o.value(QStringLiteral("meaning")).toString();
            days.push_back(d);
        }
        return days;
    }

private:
    const QStringList &m_record;
    const std::vector<int> &m_columns;
    int m_line;
};

QString formatLocal(std::int64_t seconds, int offset)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::OffsetFromUTC, offset)
        .toString(QStringLiteral("dd.MM.yyyy HH:mm"));
}

QString markdownEscaped(QString text)
{
    // Characters that would start Markdown formatting are kept as they are written.
    for (const QChar c : {u'\\', u'`', u'*', u'_', u'#', u'[', u']', u'<', u'>', u'|'})
        text.replace(c, QStringLiteral("\\") + c);
    return text;
}

} // namespace

const QStringList &csvColumns()
{
    static const QStringList columns{
        QStringLiteral("Название"),    QStringLiteral("Заснул"),
        QStringLiteral("Проснулся"),   QStringLiteral("Момент"),
        QStringLiteral("Место"),       QStringLiteral("Широта"),
        QStringLiteral("Долгота"),     QStringLiteral("Часовой пояс"),
        QStringLiteral("Метки"),       QStringLiteral("Настроение"),
        QStringLiteral("Сбылся"),      QStringLiteral("Когда сбылся"),
        QStringLiteral("Заметка"),     QStringLiteral("Символы"),
        QStringLiteral("Лунные дни"),  QStringLiteral("Утро"),
        QStringLiteral("День недели"), QStringLiteral("Значение дня недели"),
        QStringLiteral("Число"),       QStringLiteral("Значение числа"),
        QStringLiteral("Создана"),     QStringLiteral("Изменена"),
        QStringLiteral("Текст"),
    };
    return columns;
}

std::vector<QStringList> parseCsv(QByteArrayView data, const CsvLimits &limits)
{
    if (data.size() > limits.maxBytes)
        throw CsvError(QStringLiteral("файл больше %1 МБ").arg(limits.maxBytes / (1024 * 1024)));
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = decoder.decode(data);
    if (decoder.hasError())
        throw CsvError(QStringLiteral("текст не в кодировке UTF-8"));

    std::vector<QStringList> records;
    QStringList record;
    QString field;
    int line = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool fieldStarted = false;
    const auto endField = [&] {
        if (record.size() >= limits.maxFields)
            throw CsvError(
                QStringLiteral("строка %1: больше %2 полей").arg(line).arg(limits.maxFields));
        record.append(field);
        field.clear();
        fieldStarted = false;
    };
    const auto endRecord = [&] {
        endField();
        if (int(records.size()) >= limits.maxRecords)
            throw CsvError(QStringLiteral("больше %1 записей").arg(limits.maxRecords));
        records.push_back(std::move(record));
        record.clear();
    };
    while (i < n) {
        const QChar c = text[i];
        if (c == u'"' && !fieldStarted) {
            // A quoted field, to its closing quote.
            const int startLine = line;
            ++i;
            for (;;) {
                if (i >= n)
                    throw CsvError(QStringLiteral("строка %1: кавычка не закрыта").arg(startLine));
                const QChar q = text[i];
                if (q == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field.append(u'"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (q == u'\n')
                    ++line;
                field.append(q);
                ++i;
                if (field.size() > limits.maxFieldChars)
                    throw CsvError(QStringLiteral("строка %1: поле длиннее %2 знаков")
                                       .arg(startLine)
                                       .arg(limits.maxFieldChars));
            }
            fieldStarted = true;
            if (i < n && text[i] != u',' && text[i] != u'\n' && text[i] != u'\r')
                throw CsvError(
                    QStringLiteral("строка %1: после закрывающей кавычки нужна запятая").arg(line));
            continue;
        }
        if (c == u',') {
            endField();
            ++i;
        } else if (c == u'\r' || c == u'\n') {
            endRecord();
            i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
            ++line;
        } else {
            if (fieldStarted && field.isEmpty())
                throw CsvError(
                    QStringLiteral("строка %1: после закрывающей кавычки нужна запятая").arg(line));
            field.append(c);
            fieldStarted = true;
            ++i;
            if (field.size() > limits.maxFieldChars)
                throw CsvError(QStringLiteral("строка %1: поле длиннее %2 знаков")
                                   .arg(line)
                                   .arg(limits.maxFieldChars));
        }
    }
    if (fieldStarted || !record.isEmpty())
        endRecord();
    return records;
}

QByteArray entriesToCsv(const std::vector<JournalEntry> &entries)
{
    QString out;
    const auto writeRecord = [&out](const QStringList &fields) {
        for (int i = 0; i < fields.size(); ++i) {
            if (i > 0)
                out.append(u',');
            out.append(csvField(fields[i]));
        }
        out.append(QStringLiteral("\r\n"));
    };
    writeRecord(csvColumns());
    for (const JournalEntry &e : entries) {
        QStringList f(ColumnCount);
        f[Title] = e.title;
        f[FellAsleep] = instantText(e.fellAsleep, e.fellAsleepOffset);
        f[WokeUp] = instantText(e.wokeUp, e.wokeUpOffset);
        f[Moment] = e.moment ? QStringLiteral("да") : QStringLiteral("нет");
        f[Place] = e.placeName;
        f[Latitude] = fixedText(e.latitude);
        f[Longitude] = fixedText(e.longitude);
        f[TimeZone] = e.timeZone;
        f[Tags] = e.tags.join(kTagSeparator);
        f[Mood] = e.mood > 0 ? QString::number(e.mood) : QString();
        f[OutcomeColumn] = outcomeText(e.outcome);
        f[OutcomeDate] = e.outcomeDate.isValid() ? e.outcomeDate.toString(Qt::ISODate) : QString();
        f[OutcomeNote] = e.outcomeNote;
        f[Symbols] = e.symbols.join(kSymbolSeparator);
        f[LunarDays] = lunarDaysJson(e.lunarDays);
        f[Morning] = e.morning.toString(Qt::ISODate);
        f[WeekDay] = QString::number(e.weekDay);
        f[WeekDayMeaning] = e.weekDayMeaning;
        f[MonthDay] = QString::number(e.monthDay);
        f[MonthDayMeaning] = e.monthDayMeaning;
        f[Created] = instantText(e.created, 0);
        f[Modified] = instantText(e.modified, 0);
        f[Text] = e.text;
        writeRecord(f);
    }
    return out.toUtf8();
}

std::vector<JournalEntry> entriesFromCsv(QByteArrayView data, const CsvLimits &limits)
{
    const std::vector<QStringList> records = parseCsv(data, limits);
    if (records.empty())
        throw CsvError(QStringLiteral("файл пуст"));
    // The header names the columns.
    std::vector<int> columns(ColumnCount, -1);
    const QStringList &header = records.front();
    for (int c = 0; c < ColumnCount; ++c) {
        columns[std::size_t(c)] = int(header.indexOf(csvColumns()[c]));
        if (columns[std::size_t(c)] < 0)
            throw CsvError(
                QStringLiteral("строка 1: нет столбца «%1» — это не выгрузка дневника снов")
                    .arg(csvColumns()[c]));
    }
    std::vector<JournalEntry> entries;
    int line = 1;
    for (std::size_t r = 1; r < records.size(); ++r) {
        ++line;
        const QStringList &record = records[r];
        // Lines of the record itself (quoted fields may hold line breaks).
        const int recordLine = line;
        for (const QString &f : record)
            line += int(f.count(u'\n'));
        if (record.size() == 1 && record.front().isEmpty())
            continue; // an empty line
        const RecordReader read(record, columns, recordLine);
        JournalEntry e;
        e.title = read.text(Title);
        std::tie(e.fellAsleep, e.fellAsleepOffset) = read.instant(FellAsleep);
        std::tie(e.wokeUp, e.wokeUpOffset) = read.instant(WokeUp);
        const QString moment = read.text(Moment).trimmed().toLower();
        if (moment != QStringLiteral("да") && moment != QStringLiteral("нет"))
            read.fail(Moment, QStringLiteral("нужно «да» или «нет»"));
        e.moment = moment == QStringLiteral("да");
        if (e.wokeUp < e.fellAsleep || e.wokeUp - e.fellAsleep > 2 * 86400 ||
            (e.moment && e.wokeUp != e.fellAsleep))
            read.fail(WokeUp, QStringLiteral("время пробуждения не подходит ко времени засыпания"));
        e.placeName = read.text(Place);
        e.latitude = read.degrees(Latitude, 90);
        e.longitude = read.degrees(Longitude, 180);
        e.timeZone = read.text(TimeZone).trimmed();
        e.tags = parseTags(read.text(Tags));
        e.mood = int(read.integer(Mood, 0, 5, true));
        const std::optional<Outcome> outcome = outcomeFromText(read.text(OutcomeColumn));
        if (!outcome)
            read.fail(OutcomeColumn,
                      QStringLiteral("нужно «сбылся», «не сбылся» или «пока неизвестно»"));
        e.outcome = *outcome;
        e.outcomeDate = read.date(OutcomeDate, true);
        e.outcomeNote = read.text(OutcomeNote);
        for (const QString &s : read.text(Symbols).split(kSymbolSeparator)) {
            if (!s.trimmed().isEmpty())
                e.symbols.append(s.trimmed());
        }
        e.lunarDays = read.lunarDays(LunarDays);
        e.morning = read.date(Morning, false);
        e.weekDay = int(read.integer(WeekDay, 1, 7));
        e.weekDayMeaning = read.text(WeekDayMeaning);
        e.monthDay = int(read.integer(MonthDay, 1, 31));
        e.monthDayMeaning = read.text(MonthDayMeaning);
        e.created = read.instant(Created).first;
        e.modified = read.instant(Modified).first;
        e.text = read.text(Text);
        entries.push_back(std::move(e));
    }
    return entries;
}

QString offsetName(int offsetSeconds)
{
    if (offsetSeconds == 0)
        return QStringLiteral("UTC");
    const int a = std::abs(offsetSeconds);
    QString t =
        QStringLiteral("UTC") + (offsetSeconds < 0 ? u'−' : u'+') + QString::number(a / 3600);
    if (a % 3600)
        t += QStringLiteral(":%1").arg((a % 3600) / 60, 2, 10, QLatin1Char('0'));
    return t;
}

QString shareText(double share)
{
    return QStringLiteral("%1 %").arg(std::lround(share * 100));
}

QString nightText(const JournalEntry &e)
{
    if (e.moment)
        return formatLocal(e.fellAsleep, e.fellAsleepOffset);
    return formatLocal(e.fellAsleep, e.fellAsleepOffset) + QStringLiteral(" – ") +
           formatLocal(e.wokeUp, e.wokeUpOffset);
}

QByteArray entriesToMarkdown(const std::vector<JournalEntry> &entries)
{
    QString out = QStringLiteral("# Дневник снов\n");
    for (const JournalEntry &e : entries) {
        out +=
            QStringLiteral("\n## %1 — %2\n\n")
                .arg(e.morning.toString(QStringLiteral("dd.MM.yyyy")),
                     markdownEscaped(e.title.isEmpty() ? QStringLiteral("Без названия") : e.title));
        out += QStringLiteral("- **%1:** %2 (%3)\n")
                   .arg(e.moment ? QStringLiteral("Когда приснился") : QStringLiteral("Ночь"),
                        nightText(e), offsetName(e.wokeUpOffset));
        out += QStringLiteral("- **Место:** %1 (%2, %3), %4\n")
                   .arg(markdownEscaped(e.placeName), fixedText(e.latitude), fixedText(e.longitude),
                        e.timeZone);
        for (const StoredLunarDay &d : e.lunarDays)
            out += QStringLiteral("- **%1-й лунный день** (%2 ночи): %3\n")
                       .arg(d.number)
                       .arg(shareText(d.share), markdownEscaped(d.meaning.trimmed()));
        out += QStringLiteral("- **%1:** %2\n")
                   .arg(e.weekDayName(), markdownEscaped(e.weekDayMeaning));
        out += QStringLiteral("- **%1-е число:** %2\n")
                   .arg(e.monthDay)
                   .arg(markdownEscaped(e.monthDayMeaning));
        if (!e.symbols.isEmpty())
            out += QStringLiteral("- **Символы:** %1\n")
                       .arg(markdownEscaped(e.symbols.join(kTagSeparator)));
        if (!e.tags.isEmpty())
            out += QStringLiteral("- **Метки:** %1\n")
                       .arg(markdownEscaped(e.tags.join(kTagSeparator)));
        if (e.mood > 0)
            out += QStringLiteral("- **Настроение:** %1 из 5\n").arg(e.mood);
        QString outcome = outcomeText(e.outcome);
        if (e.outcomeDate.isValid())
            outcome += u' ' + e.outcomeDate.toString(QStringLiteral("dd.MM.yyyy"));
        if (!e.outcomeNote.isEmpty())
            outcome += QStringLiteral(" — ") + markdownEscaped(e.outcomeNote);
        out += QStringLiteral("- **Сбылся ли:** %1\n").arg(outcome);
        if (!e.text.trimmed().isEmpty()) {
            out += u'\n';
            // Each line of the dream as a paragraph line (two spaces keep the line breaks).
            for (const QString &line : e.text.split(u'\n'))
                out += markdownEscaped(line.trimmed()) + QStringLiteral("  \n");
        }
    }
    return out.toUtf8();
}

std::vector<JournalEntry> readCsvFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CsvError(
            QStringLiteral("Не удалось открыть файл «%1»: %2").arg(path, file.errorString()));
    const CsvLimits limits;
    if (file.size() > limits.maxBytes)
        throw CsvError(
            QStringLiteral("Файл «%1» слишком большой для выгрузки дневника (больше %2 МБ).")
                .arg(path)
                .arg(limits.maxBytes / (1024 * 1024)));
    const QByteArray data = file.read(limits.maxBytes + 1);
    try {
        return entriesFromCsv(data, limits);
    } catch (const CsvError &e) {
        throw CsvError(QStringLiteral("Файл «%1» не удалось прочитать: %2").arg(path, e.message()));
    }
}

void writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw CsvError(
            QStringLiteral("Не удалось записать файл «%1»: %2").arg(path, file.errorString()));
}

} // namespace kelmor::journal
