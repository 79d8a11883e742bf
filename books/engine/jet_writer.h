#pragma once

// A small Jet 4 database writer: enough of the format to write dream books and test fixtures
// that Jet 4 readers read back exactly. Standard library only.
//
// It writes the database header page, the catalogue MSysObjects, one table definition per
// table (no indexes), data pages, long-value (LVAL) pages for memo values that do not fit
// inline (one page, or a chain of pages), and the usage maps (inline, or by reference to
// usage map pages for large tables). Text and memo values are stored as UCS-2.

#include "books/engine/jet.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace kelmor::books {

class JetWriteError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct JetColumnSpec
{
    std::u16string name;
    // Integer, Long, DateTime, Text, Memo or OLE (OLE columns only hold Null).
    ColumnType type = ColumnType::Text;
    // Text columns: the maximum length in characters (1..255).
    std::uint16_t textLength = 255;
};

// A cell: Null, an integer (Integer, Long), a date-time as days from 1899-12-30 (DateTime), or
// a text (Text, Memo; NUL characters allowed).
using JetCell = std::variant<std::monostate, std::int64_t, double, std::u16string>;

struct JetTableSpec
{
    std::u16string name;
    std::vector<JetColumnSpec> columns;
    std::vector<std::vector<JetCell>> rows; // each row has one cell per column
};

// Builds the bytes of a Jet 4 database holding the given user tables (catalogue order).
// Throws JetWriteError for a value that does not fit its column or a table too large for
// the format.
std::vector<std::uint8_t> buildJetDatabase(const std::vector<JetTableSpec> &tables);

// Writes bytes to path through a temporary file in the same folder, renamed over path when
// complete, so path never holds a partial file. Throws JetWriteError on failure (the
// temporary file is removed).
void writeFileAtomically(const std::string &path, const std::vector<std::uint8_t> &bytes);

} // namespace kelmor::books
