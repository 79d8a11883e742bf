#include "dream/dream_command.h"

#include "books/catalogue.h"
#include "books/word_forms.h"
#include "calendar/location_settings.h"
#include "calendar/moon_command.h"
#include "dream/dream_report.h"
#include "platform/qt_timezone.h"
#include "platform/settings.h"
#include "platform/terminal_io.h"
#include "viewer/catalogue_books.h"
#include "viewer/lookup_command.h"

#include <cstdio>
#include <unistd.h>

namespace kelmor::dream {

namespace {

// A dream is a few pages at most; more than this is not a dream's text.
constexpr std::size_t kMaxInputBytes = 1024 * 1024;

const char *const kUsage = "Использование: kelmor dream [--at \"ГГГГ-ММ-ДД ЧЧ:ММ:СС\"] [--raw]\n"
                           "  Текст сна читается со стандартного ввода, например:\n"
                           "  echo \"Мне снилась река\" | kelmor dream\n"
                           "  --at   местное время сна (по умолчанию сейчас)\n"
                           "  --raw  вывести текст отчёта как он собран, без оформления\n";

using platform::writeTo;

void fail(const QString &message)
{
    writeTo(stderr, (QStringLiteral("kelmor dream: ") + message + u'\n').toUtf8());
}

} // namespace

int runDreamCommand(const QStringList &args)
{
    bool raw = false;
    std::optional<calendar::DateTime> at;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--raw")) {
            raw = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            writeTo(stdout, kUsage);
            return 0;
        } else if (arg == QLatin1String("--at") || arg.startsWith(QLatin1String("--at="))) {
            QString value;
            if (arg == QLatin1String("--at")) {
                if (i + 1 >= args.size()) {
                    fail(QStringLiteral("после --at нужно значение"));
                    writeTo(stderr, kUsage);
                    return 2;
                }
                value = args[++i];
            } else {
                value = arg.mid(5);
            }
            QString error;
            at = calendar::parseMomentText(value, &error);
            if (!at) {
                fail(error);
                return 2;
            }
        } else {
            fail(QStringLiteral("неизвестный параметр \"%1\"").arg(arg));
            writeTo(stderr, kUsage);
            return 2;
        }
    }

    const std::optional<QByteArray> input = platform::readStandardInput(kMaxInputBytes);
    if (!input) {
        fail(QStringLiteral("текст сна слишком длинный: больше %1 байт").arg(kMaxInputBytes));
        return 2;
    }
    const QString text = QString::fromUtf8(*input);
    if (text.trimmed().isEmpty()) {
        fail(QStringLiteral("текст сна пуст: передайте его на стандартный ввод"));
        writeTo(stderr, kUsage);
        return 2;
    }

    books::Catalogue catalogue;
    if (const int status = viewer::loadCommandCatalogue(catalogue, QStringLiteral("kelmor dream")))
        return status;
    const auto resolver = viewer::formResolver(catalogue, books::WordForms::systemDictionary());
    const DreamAnalysis analysis = analyseDream(text, *resolver);
    if (analysis.symbols.empty()) {
        fail(QStringLiteral("в тексте сна не найдено ни одного символа из включённых сонников"));
        return 1;
    }

    const platform::SettingsStore settings;
    const platform::QtTimeZoneProvider zone;
    const std::vector<CalendarLine> calendar =
        calendarLines(at ? *at : calendar::localNow(), calendar::readLocation(settings), zone);
    const std::vector<viewer::InterpretationBook> books = viewer::interpretationBooks(catalogue);
    const DreamReport report = buildDreamReport(text, analysis, calendar, books);
    if (raw)
        writeTo(stdout, QString::fromStdU16String(report.text).toUtf8());
    else
        writeTo(stdout,
                viewer::terminalTextOfRuns(report.text, report.runs, isatty(STDOUT_FILENO) == 1));
    return 0;
}

} // namespace kelmor::dream
