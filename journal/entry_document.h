#pragma once

// An entry as a document in the viewer's style: the night and the place, every lunar day of the
// night with its share and meaning, the morning's weekday and day, the symbols as links into
// the viewer, tags, mood, outcome and the dream's text. Plain text with formatting runs, so the
// viewer's view, copy, print and find take it.

#include "journal/journal_entry.h"
#include "viewer/interpretation.h"

#include <QString>

#include <string>
#include <vector>

namespace kelmor::journal {

struct EntryDocument
{
    std::u16string text; // CR LF line ends
    std::vector<viewer::FormatRun> runs;

    struct Link
    {
        int start = 0;
        int length = 0;
        QString headword;
    };
    std::vector<Link> links;

    // The symbol link at a character position, or nullptr.
    const Link *linkAt(int position) const;
};

EntryDocument buildEntryDocument(const JournalEntry &entry);

// The lines of a sleep window's lunar days as the calendar and the entry dialog show them:
// "29-й лунный день — 75 % ночи (07.04 06:10 – 08.04 07:15)" and its meaning.
struct LunarDayLine
{
    QString heading;
    QString meaning;
};
std::vector<LunarDayLine> lunarDayLines(const std::vector<StoredLunarDay> &days);

} // namespace kelmor::journal
