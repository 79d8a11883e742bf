#include "dream/dream_report.h"

#include "calendar/dream_tables.h"
#include "calendar/location_settings.h"
#include "viewer/document_writer.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>

namespace kelmor::dream {

namespace {

using viewer::CharFormat;

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QDateTime toQDateTime(calendar::DateTime local)
{
    const auto f = local.toFields();
    return QDateTime(QDate(f.year, f.month, f.day), QTime(f.hour, f.minute, f.second));
}

const QLocale &russian()
{
    static const QLocale locale(QLocale::Russian, QLocale::Russia);
    return locale;
}

// "Москва (55°45' с.ш.  37°35' в.д)", as the calendar writes a place.
QString placeText(const calendar::Location &place)
{
    const QString coordinates = calendar::coordinatesText(place);
    const QString city = QString::fromStdString(place.cityName);
    return city.isEmpty() ? coordinates : city + QStringLiteral(" (") + coordinates + u')';
}

bool isLineBreak(char16_t c)
{
    return c == u'\n' || c == u'\r' || c == u'\u2028' || c == u'\u2029';
}

} // namespace

std::vector<CalendarLine> calendarLines(calendar::DateTime local, const calendar::Location &place,
                                        const astro::TimeZoneProvider &zone)
{
    std::vector<CalendarLine> lines;
    lines.push_back({QStringLiteral("Когда приснился:"),
                     russian().toString(toQDateTime(local), QStringLiteral("d MMMM yyyy, HH:mm")),
                     {}});
    lines.push_back({QStringLiteral("Место:"), placeText(place), {}});
    std::optional<calendar::CalendarResult> result;
    QString lunarProblem;
    try {
        result = calendar::Calculate(local, place, zone);
        if (!result)
            lunarProblem = QStringLiteral("для этого момента не рассчитывается");
    } catch (const std::exception &) {
        lunarProblem = QStringLiteral("для этого момента расчёт невозможен");
    }
    const int weekDay = result ? result->weekDay : calendar::weekDayOf(local);
    const int day = result ? result->day : local.toFields().day;
    lines.push_back({QStringLiteral("День недели:"), utf8(calendar::WeekDayStr(weekDay)),
                     utf8(calendar::DreamByWeekDay(weekDay))});
    lines.push_back(
        {QStringLiteral("Число месяца:"), QString::number(day), utf8(calendar::DreamByDay(day))});
    if (result && result->moon.lunarDay) {
        const calendar::LunarDay &lunar = *result->moon.lunarDay;
        const QString format = QStringLiteral("dd MMM yyyy HH:mm");
        lines.push_back({QStringLiteral("Лунный день:"),
                         QString::number(lunar.number) + QStringLiteral(" (") +
                             russian().toString(toQDateTime(lunar.start), format) +
                             QStringLiteral(" - ") +
                             russian().toString(toQDateTime(lunar.end), format) + u')',
                         utf8(result->lunarText)});
    } else {
        lines.push_back(
            {QStringLiteral("Лунный день:"),
             result ? QStringLiteral("не определён: момент совпадает с новолунием") : lunarProblem,
             {}});
    }
    return lines;
}

const DreamReport::Link *DreamReport::linkAt(int position) const
{
    const auto it = std::upper_bound(links.begin(), links.end(), position,
                                     [](int p, const Link &link) { return p < link.start; });
    if (it == links.begin())
        return nullptr;
    const Link &link = *std::prev(it);
    return position < link.start + link.length ? &link : nullptr;
}

DreamReport buildDreamReport(QStringView dreamText, const DreamAnalysis &analysis,
                             std::span<const CalendarLine> calendar,
                             std::span<const viewer::InterpretationBook> books)
{
    DreamReport report;
    viewer::DocumentWriter out;
    out.add(u" ");
    out.add(kDreamHeading, viewer::documentHeadingFormat());
    report.heading = int(kDreamHeading.size());
    out.newLine();
    out.newLine();

    // The dream's text, its line breaks as CR LF and other control characters as spaces; the
    // marks where the analysis found them.
    std::vector<DreamReport::Link> textLinks;
    {
        std::size_t mark = 0;
        // Trailing spaces and line breaks end no line of the report.
        auto n = int(dreamText.size());
        while (n > 0 && (dreamText[n - 1].isSpace() || dreamText[n - 1].unicode() < 0x20))
            --n;
        QString piece;
        CharFormat format;
        const auto flush = [&] {
            out.add(piece, format);
            piece.clear();
        };
        for (int i = 0; i < n; ++i) {
            while (mark < analysis.marks.size() &&
                   analysis.marks[mark].start + analysis.marks[mark].length <= i)
                ++mark;
            const bool inMark = mark < analysis.marks.size() && analysis.marks[mark].start <= i;
            if (inMark && i == analysis.marks[mark].start) {
                flush();
                format = viewer::documentLinkFormat();
                textLinks.push_back({out.size(), 0, analysis.marks[mark].symbol, {}});
            } else if (!inMark && format == viewer::documentLinkFormat()) {
                flush();
                format = CharFormat{};
            }
            const char16_t c = dreamText[i].unicode();
            const int before = out.size() + int(piece.size());
            if (isLineBreak(c)) {
                if (c == u'\r' && i + 1 < n && dreamText[i + 1] == u'\n')
                    ++i;
                piece += QStringLiteral("\r\n");
            } else if (c < 0x20 && c != u'\t') {
                piece += u' ';
            } else {
                piece += QChar(c);
            }
            if (inMark)
                textLinks.back().length += out.size() + int(piece.size()) - before;
        }
        flush();
    }
    out.newLine();
    out.newLine();

    // Which symbols have a section: those an enabled book interprets.
    std::vector<std::optional<std::u16string>> documents;
    for (const DreamSymbol &symbol : analysis.symbols)
        documents.push_back(
            viewer::assembleInterpretation(symbol.headword.toStdU16String(), books));

    out.add(u"Символы сна:", viewer::documentLabelFormat());
    std::vector<DreamReport::Link> listLinks;
    for (std::size_t s = 0; s < analysis.symbols.size(); ++s) {
        out.add(s == 0 ? u" " : u", ");
        listLinks.push_back({out.size(), int(analysis.symbols[s].headword.size()), int(s), {}});
        out.add(analysis.symbols[s].headword, viewer::documentLinkFormat());
    }
    if (analysis.symbols.empty())
        out.add(u" не найдены");
    out.newLine();
    out.newLine();

    for (const CalendarLine &line : calendar) {
        out.add(line.label, viewer::documentLabelFormat());
        out.add(u" ");
        out.add(line.value);
        out.newLine();
        if (!line.meaning.isEmpty()) {
            out.add(line.meaning);
            out.newLine();
        }
    }

    const std::vector<viewer::HeadingStyle> headings = viewer::headingStyles(books);
    std::vector<DreamReport::Link> sectionLinks;
    report.sectionStarts.assign(analysis.symbols.size(), -1);
    for (std::size_t s = 0; s < analysis.symbols.size(); ++s) {
        report.symbols.push_back(analysis.symbols[s].headword);
        if (!documents[s])
            continue;
        out.newLine();
        const std::u16string &document = *documents[s];
        const int base = out.size();
        report.sectionStarts[s] = base;
        const std::size_t wordLength = std::size_t(analysis.symbols[s].headword.size());
        out.addDocument(document, viewer::formatInterpretation(document, wordLength, headings));
        // Its cross-references (the word and its closing ">", as the viewer hit-tests them): to
        // a section of this report when the symbol is here.
        for (std::size_t open = document.find(u'<'); open != std::u16string::npos;
             open = document.find(u'<', open + 1)) {
            const std::size_t close = document.find(u'>', open + 1);
            if (close == std::u16string::npos)
                break;
            const QString word =
                QString::fromStdU16String(document.substr(open + 1, close - open - 1)).trimmed();
            if (word.isEmpty())
                continue;
            int section = -1;
            for (std::size_t t = 0; t < analysis.symbols.size(); ++t)
                if (documents[t] &&
                    analysis.symbols[t].headword.compare(word, Qt::CaseInsensitive) == 0)
                    section = int(t);
            sectionLinks.push_back(
                {base + int(open) + 1, int(close - open), section, section < 0 ? word : QString()});
        }
    }
    // Links to symbols without a section name their headword instead.
    for (auto *links : {&textLinks, &listLinks})
        for (DreamReport::Link &link : *links)
            if (report.sectionStarts[std::size_t(link.section)] < 0) {
                link.word = analysis.symbols[std::size_t(link.section)].headword;
                link.section = -1;
            }
    report.links = std::move(textLinks);
    report.links.insert(report.links.end(), listLinks.begin(), listLinks.end());
    report.links.insert(report.links.end(), sectionLinks.begin(), sectionLinks.end());
    report.text = out.takeText();
    report.runs = out.takeRuns();
    return report;
}

} // namespace kelmor::dream
