#pragma once

// Read-only Jet 4 database engine: just enough of the file format to read dream books and
// ordinary Jet 4 files exactly. Standard library only.
//
// Every length, offset, page number and count read from a file is checked; a damaged file
// raises JetError naming the file and what is wrong.

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kelmor::books {

class JetError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Column types as stored in a Jet 4 table definition.
enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,
    Guid = 0x0F,
    Numeric = 0x10,
};

struct Column
{
    std::string name; // UTF-8
    ColumnType type = ColumnType::Text;
    // Further layout fields are the engine's own business.
};

// A Currency value keeps its raw 64-bit integer (value × 10 000); a Numeric keeps its digits as
// decimal text with the stored scale ("3.5000"); a DateTime keeps the stored double (days from
// 1899-12-30); Binary/OLE keep raw bytes; a GUID keeps its text "{xxxxxxxx-...}".
struct Currency
{
    std::int64_t scaled = 0;
};
struct Numeric
{
    std::string text;
};
struct DateTime
{
    double days = 0;
};
struct Guid
{
    std::string text;
};
using Bytes = std::vector<std::uint8_t>;

// A field value: Null (monostate), or its typed value. Text and memo values are UTF-16, whole,
// NUL characters included.
using Value = std::variant<std::monostate, bool, std::int64_t, float, double, Currency, DateTime,
                           std::u16string, Bytes, Guid, Numeric>;

class Table;

// Where a row is stored: its data page and its slot there. Stable while the file is unchanged.
struct RowLocation
{
    std::uint32_t page = 0;
    std::uint16_t slot = 0;
    friend bool operator==(const RowLocation &, const RowLocation &) = default;
};

class Database
{
public:
    // Pages kept in memory by default (1 MiB): a word's article is then mostly one page read.
    static constexpr std::size_t kDefaultCachePages = 256;

    // Opens a Jet 4 file read-only. The file's bytes 0..21 are replaced in memory by the
    // opened-form database header, so a book file (which carries the book marker there) opens
    // as a database without anything being written to it.
    //
    // Pages are read from the file as they are needed, through a cache of at most cachePages
    // recently used ones. A file truncated, overwritten or otherwise changed after opening
    // makes every later read that needs the file raise JetError saying so (a read that comes
    // up short, or a changed size or modification time); it never crashes the process. A
    // file deleted or renamed away stays readable.
    static std::unique_ptr<Database> open(const std::string &path,
                                          std::size_t cachePages = kDefaultCachePages);
    // The same from bytes in memory (fuzzing, tests); name is used in error messages.
    static std::unique_ptr<Database> fromBytes(std::vector<std::uint8_t> bytes, std::string name,
                                               std::size_t cachePages = kDefaultCachePages);

    virtual ~Database() = default;
    // The name given when opening: the file path, or the name passed to fromBytes().
    virtual std::string name() const = 0;
    // Names of the user tables (not "MSys*"), in catalogue order.
    virtual std::vector<std::string> tableNames() const = 0;
    // Throws JetError when the table does not exist or its definition is damaged.
    virtual std::unique_ptr<Table> openTable(const std::string &name) const = 0;
    // The same table without listing its rows (none of its data pages is read here): the cursor
    // reaches rows only through moveTo(), recordCount() is 0 and moveFirst() leaves it at eof.
    virtual std::unique_ptr<Table> openTableByLocation(const std::string &name) const = 0;
};

// A cursor over one table's rows in physical order (data pages in order, rows in slot order,
// deleted rows left out).
class Table
{
public:
    virtual ~Table() = default;
    virtual const std::vector<Column> &columns() const = 0;
    virtual std::int64_t recordCount() const = 0;

    virtual void moveFirst() = 0;
    virtual void moveNext() = 0;
    virtual bool eof() const = 0;

    // The current record's location; throws JetError when there is no current record.
    virtual RowLocation location() const = 0;
    // Makes the row stored at `where` the current record. Throws JetError, leaving the cursor at
    // eof, when that page is not a data page of this table or holds no live row at that slot.
    virtual void moveTo(RowLocation where) = 0;

    // Makes the named column the current index: the engine builds its own in-memory index of
    // that column's values (the file's index pages are not read). Throws JetError when the
    // column does not exist.
    virtual void setCurrentIndex(const std::string &column) = 0;
    // Equality seek on the current index, ignoring letter case (Unicode simple case folding; "ё"
    // and "е" stay different). Positions on the first match in table order, or sets noMatch().
    virtual void seek(std::u16string_view key) = 0;
    virtual bool noMatch() const = 0;

    // The current record's field; throws JetError when the column does not exist or when
    // there is no current record.
    virtual Value value(const std::string &column) const = 0;
    // Text or memo field as text, or std::nullopt for Null.
    virtual std::optional<std::u16string> text(const std::string &column) const = 0;
};

// Book marker and header operations on a file (each opens the file, works at offset 0, closes).
constexpr std::string_view kBookMarker = "DB1 ZEL Kelmor book v3";
// The 22 bytes of an ordinary Jet 4 database's start ("opened form").
extern const std::uint8_t kOpenedHeader[22];

// True exactly when bytes 0..21 equal the book marker. Never writes.
bool IsValidVersion(const std::string &path);
// Writes the opened-form header at offset 0 (turns a book into a plain Jet database).
// Both writers throw JetError, writing nothing, when the file cannot be opened, is shorter than
// 22 bytes, or starts neither with the book marker nor as a Jet database ("Standard Jet DB"
// in bytes 4..18): any other file would lose its first bytes for good.
void UnlockBase(const std::string &path);
// Writes the book marker at offset 0.
void LockBase(const std::string &path);

} // namespace kelmor::books
