#pragma once

// The report of a whole dream, in the viewer's style: the dream's text with its symbols marked
// (each a link to its section), the moment's weekday, day of month and lunar day with their
// meanings, then each symbol's interpretation from every enabled book as the viewer assembles
// it. Plain text with formatting runs, so the viewer's view, copy, print and find take it.

#include "calendar/location.h"
#include "calendar/lunarday.h"
#include "dream/dream_analysis.h"
#include "viewer/interpretation.h"

#include <QString>

#include <span>
#include <vector>

namespace kelmor::astro {
class TimeZoneProvider;
}

namespace kelmor::dream {

// One line of the calendar part: "День недели:" "Вторник", then the meaning on a line of its
// own when there is one.
struct CalendarLine
{
    QString label;
    QString value;
    QString meaning;
};

// What the moon calendar says of a local moment at a place: when, where, weekday, day of the
// month and lunar day. A moment the calendar cannot compute gives a line that says so.
std::vector<CalendarLine> calendarLines(calendar::DateTime local, const calendar::Location &place,
                                        const astro::TimeZoneProvider &zone);

struct DreamReport
{
    std::u16string text; // CR LF line ends, as the interpretation documents
    std::vector<viewer::FormatRun> runs;

    struct Link
    {
        int start = 0;
        int length = 0;
        int section = -1; // the symbol whose section it leads to, or -1
        QString word;     // a cross-reference of an interpretation (section -1)
    };
    std::vector<Link> links;        // in text order
    std::vector<int> sectionStarts; // where each symbol's interpretation begins
    std::vector<QString> symbols;   // the headwords, in report order
    int heading = 0;                // length of the heading word at position 1

    // The link at a character position, or nullptr.
    const Link *linkAt(int position) const;
};

inline const QString kDreamHeading = QStringLiteral("Весь сон");

// The report. books: the catalogue's books with their enabled states, in catalogue order.
DreamReport buildDreamReport(QStringView dreamText, const DreamAnalysis &analysis,
                             std::span<const CalendarLine> calendar,
                             std::span<const viewer::InterpretationBook> books);

} // namespace kelmor::dream
