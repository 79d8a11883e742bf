#pragma once

// The journal as files: CSV (UTF-8) that imports back into the same entries, and Markdown to
// read. The CSV reader trusts nothing in the file: sizes, field counts and every value are
// checked, and a file that does not fit gives a Russian reason with the line it stopped at.

#include "journal/journal_entry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

namespace kelmor::journal {

class CsvError : public std::runtime_error
{
public:
    explicit CsvError(const QString &message)
        : std::runtime_error(message.toStdString())
    {
    }
    QString message() const { return QString::fromUtf8(what()); }
};

struct CsvLimits
{
    qsizetype maxBytes = 64 * 1024 * 1024;
    qsizetype maxFieldChars = 1024 * 1024;
    int maxFields = 64;
    int maxRecords = 200000;
};

// Records of RFC 4180 text: fields separated by commas, records by CR LF or LF, a field in
// double quotes may hold commas, line breaks and doubled quotes. A UTF-8 byte order mark is
// skipped. Throws CsvError.
std::vector<QStringList> parseCsv(QByteArrayView data, const CsvLimits &limits = {});

// The column names of the journal's CSV, in the order it writes them.
const QStringList &csvColumns();

// The entries as CSV: a header line, then one record per entry; CR LF line ends, UTF-8.
QByteArray entriesToCsv(const std::vector<JournalEntry> &entries);
// The entries of a CSV file written by entriesToCsv (columns in any order, unknown ones
// ignored). Throws CsvError naming the line and the column of the first value that does not fit.
std::vector<JournalEntry> entriesFromCsv(QByteArrayView data, const CsvLimits &limits = {});

// The entries as a Markdown document.
QByteArray entriesToMarkdown(const std::vector<JournalEntry> &entries);

// Reads a CSV file of the journal; throws CsvError with the file's name.
std::vector<JournalEntry> readCsvFile(const QString &path);
// Writes bytes to a file atomically (a temporary file renamed over it); throws CsvError.
void writeFileAtomically(const QString &path, const QByteArray &bytes);

// "08.04.2024 23:00 – 09.04.2024 07:00" (or the one moment) in the entry's local times.
QString nightText(const JournalEntry &entry);
// "UTC+3", "UTC+5:30", "UTC".
QString offsetName(int offsetSeconds);
// "75 %" of a share 0..1.
QString shareText(double share);

} // namespace kelmor::journal
