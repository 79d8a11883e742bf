#include "journal/journal_command.h"

#include "books/catalogue.h"
#include "books/word_forms.h"
#include "calendar/location_settings.h"
#include "calendar/moon_command.h"
#include "calendar/sleep_window.h"
#include "dream/dream_analysis.h"
#include "journal/journal_csv.h"
#include "journal/journal_store.h"
#include "platform/qt_timezone.h"
#include "platform/settings.h"
#include "platform/terminal_io.h"
#include "viewer/catalogue_books.h"
#include "viewer/lookup_command.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTimeZone>

#include <cstdio>
#include <optional>

namespace kelmor::journal {

namespace {

// A dream is a few pages at most.
constexpr std::size_t kMaxInputBytes = 1024 * 1024;

const char *const kUsage =
    "Использование:\n"
    "  kelmor journal add [--from \"ГГГГ-ММ-ДД ЧЧ:ММ:СС\" --to \"ГГГГ-ММ-ДД ЧЧ:ММ:СС\" | --at "
    "\"ГГГГ-ММ-ДД ЧЧ:ММ:СС\"]\n"
    "                     [--title НАЗВАНИЕ] [--tags \"метка, метка\"] [--mood 1..5]\n"
    "      записать сон; текст читается со стандартного ввода. Без --from, --to и --at —\n"
    "      прошлая ночь с 23:00 до 07:00 по местному времени\n"
    "  kelmor journal list [--search ТЕКСТ] [--from ГГГГ-ММ-ДД] [--to ГГГГ-ММ-ДД]\n"
    "                      [--lunar-day N] [--outcome сбылся|не-сбылся|неизвестно]\n"
    "      записи, новые первыми\n"
    "  kelmor journal show НОМЕР\n"
    "      запись целиком\n"
    "  kelmor journal export [--format csv|md] [--output ФАЙЛ]\n"
    "      весь дневник в CSV (UTF-8) или Markdown; без --output — на стандартный вывод\n";

class UsageError
{
public:
    explicit UsageError(QString text)
        : message(std::move(text))
    {
    }
    QString message;
};

using platform::writeTo;

void say(FILE *stream, const QString &text)
{
    writeTo(stream, (text + u'\n').toUtf8());
}

void fail(const QString &message)
{
    say(stderr, QStringLiteral("kelmor journal: ") + message);
}

// "--name value" or "--name=value".
class Arguments
{
public:
    explicit Arguments(QStringList args)
        : m_args(std::move(args))
    {
    }
    bool atEnd() const { return m_index >= m_args.size(); }
    QString next() { return m_args[m_index++]; }
    // The value of an option whose name was just read.
    QString value(const QString &arg, const QString &name)
    {
        if (arg.startsWith(name + u'='))
            return arg.mid(name.size() + 1);
        if (atEnd())
            throw UsageError(QStringLiteral("после %1 нужно значение").arg(name));
        return next();
    }
    static bool is(const QString &arg, const char *name)
    {
        const QLatin1String n(name);
        return arg == n || arg.startsWith(n + u'=');
    }

private:
    QStringList m_args;
    int m_index = 0;
};

std::int64_t instantOf(const QString &text, const QString &option,
                       const astro::TimeZoneProvider &zone)
{
    QString error;
    const std::optional<calendar::DateTime> local = calendar::parseMomentText(text, &error);
    if (!local)
        throw UsageError(option + QStringLiteral(": ") + error);
    return calendar::epochOfDateTime(astro::mTime::LocalToUT(*local, zone));
}

QDate dateOf(const QString &text, const QString &option)
{
    const QDate d = QDate::fromString(text.trimmed(), Qt::ISODate);
    if (!d.isValid())
        throw UsageError(
            QStringLiteral("%1: нужна дата вида ГГГГ-ММ-ДД, а не \"%2\"").arg(option, text));
    return d;
}

int intOf(const QString &text, const QString &option, int min, int max)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < min || v > max)
        throw UsageError(
            QStringLiteral("%1: нужно целое число от %2 до %3").arg(option).arg(min).arg(max));
    return v;
}

// The journal for reading: none when there is no journal yet; a read-only copy, after saying
// why, when the journal itself cannot be opened.
std::unique_ptr<JournalStore> openForReading(const QString &path)
{
    if (!QFileInfo::exists(path))
        return nullptr;
    try {
        return JournalStore::open(path);
    } catch (const JournalError &e) {
        if (!e.copyMayHelp())
            throw;
        fail(e.message());
        say(stderr, QStringLiteral("kelmor journal: читаю копию дневника только для чтения."));
        return JournalStore::openCopy(path);
    }
}

QStringList symbolsOf(const QString &text)
{
    books::Catalogue catalogue;
    if (viewer::loadCommandCatalogue(catalogue, QStringLiteral("kelmor journal")) != 0) {
        say(stderr, QStringLiteral("kelmor journal: сонники не загружены, запись сохраняется без "
                                   "символов."));
        return {};
    }
    const auto resolver = viewer::formResolver(catalogue, books::WordForms::systemDictionary());
    const dream::DreamAnalysis analysis = dream::analyseDream(text, *resolver);
    QStringList symbols;
    for (const dream::DreamSymbol &s : analysis.symbols)
        symbols.append(s.headword);
    return symbols;
}

QString entryLine(const EntrySummary &s)
{
    JournalEntry e;
    e.moment = s.moment;
    e.fellAsleep = s.fellAsleep;
    e.fellAsleepOffset = s.fellAsleepOffset;
    e.wokeUp = s.wokeUp;
    e.wokeUpOffset = s.wokeUpOffset;
    QString line =
        QStringLiteral("%1\t%2\tлунные дни: %3")
            .arg(s.id)
            .arg(nightText(e), s.lunarDays.isEmpty() ? QStringLiteral("—") : s.lunarDays);
    line += u'\t' + (s.title.isEmpty() ? QStringLiteral("Без названия") : s.title);
    if (!s.symbols.isEmpty())
        line += QStringLiteral("\tсимволы: ") + s.symbols;
    if (!s.tags.isEmpty())
        line += QStringLiteral("\tметки: ") + s.tags;
    if (s.outcome != Outcome::Unknown)
        line += u'\t' + outcomeText(s.outcome);
    return line;
}

int add(Arguments &args)
{
    const platform::QtTimeZoneProvider zone;
    std::optional<std::int64_t> from, to, at;
    JournalEntry entry;
    while (!args.atEnd()) {
        const QString arg = args.next();
        if (Arguments::is(arg, "--from"))
            from = instantOf(args.value(arg, QStringLiteral("--from")), QStringLiteral("--from"),
                             zone);
        else if (Arguments::is(arg, "--to"))
            to = instantOf(args.value(arg, QStringLiteral("--to")), QStringLiteral("--to"), zone);
        else if (Arguments::is(arg, "--at"))
            at = instantOf(args.value(arg, QStringLiteral("--at")), QStringLiteral("--at"), zone);
        else if (Arguments::is(arg, "--title"))
            entry.title = args.value(arg, QStringLiteral("--title")).simplified();
        else if (Arguments::is(arg, "--tags"))
            entry.tags = parseTags(args.value(arg, QStringLiteral("--tags")));
        else if (Arguments::is(arg, "--mood"))
            entry.mood =
                intOf(args.value(arg, QStringLiteral("--mood")), QStringLiteral("--mood"), 1, 5);
        else
            throw UsageError(QStringLiteral("неизвестный параметр \"%1\"").arg(arg));
    }
    if (at && (from || to))
        throw UsageError(QStringLiteral("укажите либо --at, либо --from и --to"));
    if (bool(from) != bool(to))
        throw UsageError(QStringLiteral("укажите и --from, и --to"));
    if (at) {
        entry.moment = true;
        entry.fellAsleep = entry.wokeUp = *at;
    } else if (from) {
        if (*to < *from)
            throw UsageError(QStringLiteral("--to раньше, чем --from"));
        if (*to - *from > calendar::kMaxSleepSeconds)
            throw UsageError(QStringLiteral("между --from и --to больше двух суток"));
        entry.fellAsleep = *from;
        entry.wokeUp = *to;
    } else {
        const Night night = lastNight(QDateTime::currentDateTimeUtc(), zone.zone());
        entry.fellAsleep = night.fellAsleep;
        entry.wokeUp = night.wokeUp;
    }

    const std::optional<QByteArray> input = platform::readStandardInput(kMaxInputBytes);
    if (!input)
        throw UsageError(
            QStringLiteral("текст сна слишком длинный: больше %1 байт").arg(kMaxInputBytes));
    entry.text = QString::fromUtf8(*input).trimmed();
    if (entry.text.isEmpty())
        throw UsageError(QStringLiteral("текст сна пуст: передайте его на стандартный ввод"));

    const platform::SettingsStore settings;
    try {
        computeMeanings(entry, calendar::readLocation(settings), zone, zoneName(zone.zone()));
    } catch (const astro::AstroError &e) {
        fail(QStringLiteral("не удалось рассчитать лунные дни: %1")
                 .arg(QString::fromUtf8(e.what())));
        return 3;
    }
    entry.symbols = symbolsOf(entry.text);

    std::unique_ptr<JournalStore> store = JournalStore::open(defaultJournalPath());
    store->save(entry);
    try {
        store->backUp(QDate::currentDate());
    } catch (const JournalError &e) {
        fail(e.message());
    }
    say(stdout, QStringLiteral("Запись %1 сохранена в дневник.").arg(entry.id));
    for (const StoredLunarDay &d : entry.lunarDays)
        say(stdout, QStringLiteral("%1-й лунный день (%2 ночи): %3")
                        .arg(d.number)
                        .arg(shareText(d.share), d.meaning.trimmed()));
    if (!entry.symbols.isEmpty())
        say(stdout, QStringLiteral("Символы: ") + entry.symbols.join(QStringLiteral(", ")));
    return 0;
}

int list(Arguments &args)
{
    JournalFilter filter;
    while (!args.atEnd()) {
        const QString arg = args.next();
        if (Arguments::is(arg, "--search")) {
            filter.text = args.value(arg, QStringLiteral("--search"));
        } else if (Arguments::is(arg, "--from")) {
            filter.from =
                dateOf(args.value(arg, QStringLiteral("--from")), QStringLiteral("--from"));
        } else if (Arguments::is(arg, "--to")) {
            filter.to = dateOf(args.value(arg, QStringLiteral("--to")), QStringLiteral("--to"));
        } else if (Arguments::is(arg, "--lunar-day")) {
            filter.lunarDay = intOf(args.value(arg, QStringLiteral("--lunar-day")),
                                    QStringLiteral("--lunar-day"), 1, 30);
        } else if (Arguments::is(arg, "--outcome")) {
            QString v = args.value(arg, QStringLiteral("--outcome"));
            v.replace(u'-', u' ');
            if (v.trimmed() == QStringLiteral("неизвестно"))
                v = outcomeText(Outcome::Unknown);
            filter.outcome = outcomeFromText(v);
            if (!filter.outcome)
                throw UsageError(
                    QStringLiteral("--outcome: нужно «сбылся», «не-сбылся» или «неизвестно»"));
        } else {
            throw UsageError(QStringLiteral("неизвестный параметр \"%1\"").arg(arg));
        }
    }
    const std::unique_ptr<JournalStore> store = openForReading(defaultJournalPath());
    const std::vector<EntrySummary> rows =
        store ? store->summaries(filter) : std::vector<EntrySummary>{};
    QString out;
    for (const EntrySummary &s : rows)
        out += entryLine(s) + u'\n';
    writeTo(stdout, out.toUtf8());
    return rows.empty() ? 1 : 0;
}

int show(Arguments &args)
{
    if (args.atEnd())
        throw UsageError(QStringLiteral("укажите номер записи"));
    bool ok = false;
    const QString arg = args.next();
    const qlonglong id = arg.toLongLong(&ok);
    if (!ok || id <= 0)
        throw UsageError(
            QStringLiteral("номер записи — целое число больше нуля, а не \"%1\"").arg(arg));
    if (!args.atEnd())
        throw UsageError(QStringLiteral("лишний параметр \"%1\"").arg(args.next()));
    const std::unique_ptr<JournalStore> store = openForReading(defaultJournalPath());
    const std::optional<JournalEntry> entry = store ? store->entry(id) : std::nullopt;
    if (!entry) {
        fail(QStringLiteral("в дневнике нет записи %1").arg(id));
        return 1;
    }
    QByteArray md = entriesToMarkdown({*entry});
    // The document's own heading is not needed for one entry.
    md = md.mid(md.indexOf("\n## ") + 1);
    writeTo(stdout, md);
    return 0;
}

int exportJournal(Arguments &args)
{
    QString format = QStringLiteral("csv");
    QString output;
    while (!args.atEnd()) {
        const QString arg = args.next();
        if (Arguments::is(arg, "--format"))
            format = args.value(arg, QStringLiteral("--format")).toLower();
        else if (Arguments::is(arg, "--output") || arg == QLatin1String("-o"))
            output = arg == QLatin1String("-o")
                         ? args.value(QStringLiteral("-o"), QStringLiteral("-o"))
                         : args.value(arg, QStringLiteral("--output"));
        else
            throw UsageError(QStringLiteral("неизвестный параметр \"%1\"").arg(arg));
    }
    if (format != QLatin1String("csv") && format != QLatin1String("md"))
        throw UsageError(QStringLiteral("--format: csv или md, а не \"%1\"").arg(format));
    const std::unique_ptr<JournalStore> store = openForReading(defaultJournalPath());
    const std::vector<JournalEntry> entries =
        store ? store->entries() : std::vector<JournalEntry>{};
    const QByteArray bytes =
        format == QLatin1String("csv") ? entriesToCsv(entries) : entriesToMarkdown(entries);
    if (output.isEmpty()) {
        writeTo(stdout, bytes);
    } else {
        writeFileAtomically(output, bytes);
        say(stderr,
            QStringLiteral("Записей выгружено: %1 в «%2».").arg(entries.size()).arg(output));
    }
    return 0;
}

} // namespace

int runJournalCommand(const QStringList &argList)
{
    Arguments args(argList);
    try {
        if (args.atEnd())
            throw UsageError(QStringLiteral("укажите команду: add, list, show или export"));
        const QString command = args.next();
        if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
            writeTo(stdout, kUsage);
            return 0;
        }
        if (command == QLatin1String("add"))
            return add(args);
        if (command == QLatin1String("list"))
            return list(args);
        if (command == QLatin1String("show"))
            return show(args);
        if (command == QLatin1String("export"))
            return exportJournal(args);
        throw UsageError(QStringLiteral("неизвестная команда \"%1\"").arg(command));
    } catch (const UsageError &e) {
        fail(e.message);
        writeTo(stderr, kUsage);
        return 2;
    } catch (const JournalError &e) {
        fail(e.message());
        return 3;
    } catch (const CsvError &e) {
        fail(e.message());
        return 3;
    }
}

} // namespace kelmor::journal
