// Fuzz target of the journal's CSV reader: the input is a CSV file. The reader either refuses it
// with a reason or gives entries whose own export reads back into the same entries.

#include "journal/journal_csv.h"

#include <cstdint>
#include <cstdlib>

using namespace kelmor::journal;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    CsvLimits limits;
    limits.maxBytes = 1 << 20;
    try {
        parseCsv(bytes, limits);
    } catch (const CsvError &e) {
        if (e.message().isEmpty())
            std::abort();
    }
    std::vector<JournalEntry> entries;
    try {
        entries = entriesFromCsv(bytes, limits);
    } catch (const CsvError &e) {
        if (e.message().isEmpty())
            std::abort();
        return 0;
    }
    // What was read writes out and reads back the same.
    if (entriesFromCsv(entriesToCsv(entries)) != entries)
        std::abort();
    entriesToMarkdown(entries);
    return 0;
}
