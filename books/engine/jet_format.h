#pragma once

// Layout constants of Jet 4 database files and small helpers to read them. Internal to the
// engine: nothing here checks bounds, callers check before they read.

#include "books/engine/jet.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace kelmor::books::jet {

constexpr std::size_t kPageSize = 4096;

// Page types (first byte of a page).
constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageTableDef = 0x02;
constexpr std::uint8_t kPageUsageMap = 0x05;

// The catalogue's table definition is always on page 2.
constexpr std::uint32_t kCataloguePage = 2;

// Catalogue (MSysObjects) values: object type of a local table, and the flags that mark a
// system or hidden engine table.
constexpr std::int64_t kObjectTable = 1;
constexpr std::int64_t kSystemObjectFlags = 0x80000002;

// Data page header.
constexpr std::size_t kDataOwnerOffset = 4; // table definition page, or "LVAL"
constexpr std::size_t kDataRowCountOffset = 12;
constexpr std::size_t kDataRowTableOffset = 14;
constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowLookup = 0x4000;
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

// Table definition block (offsets from the start of the first definition page).
constexpr std::size_t kTdefNextPage = 4;
constexpr std::size_t kTdefContinuationHeader = 8;
constexpr std::size_t kTdefRowCount = 16;
constexpr std::size_t kTdefVarColumnCount = 43;
constexpr std::size_t kTdefColumnCount = 45;
constexpr std::size_t kTdefIndexCount = 47;
constexpr std::size_t kTdefRealIndexCount = 51;
constexpr std::size_t kTdefUsedPages = 55;
constexpr std::size_t kTdefRealIndexStart = 63;
constexpr std::size_t kRealIndexEntrySize = 12;
constexpr std::size_t kColumnEntrySize = 25;

// Column entry fields (offsets within one 25-byte entry).
constexpr std::size_t kColType = 0;
constexpr std::size_t kColNumber = 5;
constexpr std::size_t kColVarIndex = 7;
constexpr std::size_t kColPrecision = 11;
constexpr std::size_t kColScale = 12;
constexpr std::size_t kColFlags = 15;
constexpr std::size_t kColFixedOffset = 21;
constexpr std::size_t kColLength = 23;
constexpr std::uint8_t kColFlagFixed = 0x01;

// Long value (memo/OLE) field header.
constexpr std::size_t kLongValueHeader = 12;
constexpr std::uint32_t kLongValueInline = 0x80000000u;
constexpr std::uint32_t kLongValueSinglePage = 0x40000000u;
constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;

// Usage maps.
constexpr std::size_t kUsageMapPageBits = (kPageSize - 4) * 8;

// The width in a row's fixed area of a value of a fixed-width type, for the reader and the
// writer alike. std::nullopt for the other types (Text, Binary, Memo, OLE, unknown ones): when a
// table keeps one of them in the fixed area, it takes the length its column declares. A Boolean
// takes no bytes there: its value is the column's bit in the null mask.
constexpr std::optional<std::size_t> fixedWidth(ColumnType type)
{
    switch (type) {
    case ColumnType::Boolean:
        return 0;
    case ColumnType::Byte:
        return 1;
    case ColumnType::Integer:
        return 2;
    case ColumnType::Long:
    case ColumnType::Single:
        return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime:
        return 8;
    case ColumnType::Guid:
        return 16;
    case ColumnType::Numeric:
        return 17;
    case ColumnType::Binary:
    case ColumnType::Text:
    case ColumnType::OLE:
    case ColumnType::Memo:
        break;
    }
    return std::nullopt;
}

inline std::uint16_t le16(const std::uint8_t *p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t le24(const std::uint8_t *p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16);
}
inline std::uint32_t le32(const std::uint8_t *p)
{
    return le24(p) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint64_t le64(const std::uint8_t *p)
{
    return static_cast<std::uint64_t>(le32(p)) | (static_cast<std::uint64_t>(le32(p + 4)) << 32);
}
inline double leDouble(const std::uint8_t *p)
{
    const std::uint64_t bits = le64(p);
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}
inline float leFloat(const std::uint8_t *p)
{
    const std::uint32_t bits = le32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Appends Jet 4 text bytes as UTF-16: plain UCS-2 little-endian, or the compressed form that
// starts with FF FE (one byte per character, a zero byte switching between one- and two-byte
// characters). A trailing odd byte of plain text is dropped.
void appendText(std::u16string &out, const std::uint8_t *p, std::size_t n);

// UTF-16 → UTF-8 (unpaired surrogates become U+FFFD).
std::string toUtf8(std::u16string_view text);

} // namespace kelmor::books::jet
