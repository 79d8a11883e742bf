#include "books/engine/jet_writer.h"

#include "books/engine/jet_format.h"
#include "books/engine/os_error.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <system_error>

namespace kelmor::books {

namespace {

constexpr std::size_t kPage = 4096;
constexpr std::size_t kDataHeader = 14;      // type, flag, free space, owner, 4 unused, row count
constexpr std::size_t kMaxRowsPerPage = 255; // a row pointer keeps the row number in one byte
constexpr std::size_t kMaxRowBytes = kPage - kDataHeader - 2;
constexpr std::size_t kChainPartData = kMaxRowBytes - 4; // each chained part starts with a pointer
// Memo values up to this many bytes are stored inside the row; longer ones on LVAL pages.
constexpr std::size_t kInlineMemoLimit = 1024;
constexpr std::uint32_t kMaxPages = 1u << 24; // row pointers keep the page in 24 bits
constexpr std::size_t kUsageMapBits = (kPage - 4) * 8;
constexpr std::size_t kUsageMapPointers = 17;
constexpr std::size_t kInlineMapBytes = 64;

constexpr std::uint32_t kTdefFirstUserPage = 4;
constexpr std::uint32_t kCatalogueTdef = 2;
constexpr std::uint32_t kCatalogueData = 3;
constexpr std::uint32_t kMapsPage = 1;

// Catalogue identifiers of the object containers.
constexpr std::int64_t kRootId = 0x0F000000;
constexpr std::int64_t kTablesId = 0x0F000001;
constexpr std::int64_t kDatabasesId = 0x0F000002;
constexpr std::int64_t kRelationshipsId = 0x0F000003;
constexpr std::int64_t kMSysDbId = 0x10000000;
constexpr std::int64_t kSystemFlags = -2147483648LL; // 0x80000000
constexpr double kCreated = 46023.0; // 2026-01-01: fixed, so builds are reproducible

void put16(std::uint8_t *p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void put32(std::uint8_t *p, std::uint32_t v)
{
    put16(p, v);
    put16(p + 2, v >> 16);
}
void append16(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void append32(std::vector<std::uint8_t> &out, std::uint32_t v)
{
    append16(out, v);
    append16(out, v >> 16);
}
void appendUcs2(std::vector<std::uint8_t> &out, std::u16string_view s)
{
    for (char16_t c : s)
        append16(out, c);
}
// A table or column name for a message.
std::string nameText(std::u16string_view s)
{
    return "«" + jet::toUtf8(s) + "»";
}

// Of the types this writer takes (see validate()), Integer, Long and DateTime go to a row's
// fixed area, Text, Memo and OLE to its variable part.
bool isFixed(ColumnType t)
{
    return jet::fixedWidth(t).has_value();
}
std::size_t fixedLength(ColumnType t)
{
    return jet::fixedWidth(t).value_or(0);
}

// The whole file, page by page.
class Image
{
public:
    std::uint32_t allocate()
    {
        const std::size_t n = m_bytes.size() / kPage;
        if (n >= kMaxPages)
            throw JetWriteError("база данных слишком велика для формата Jet 4");
        m_bytes.resize(m_bytes.size() + kPage, 0);
        return static_cast<std::uint32_t>(n);
    }
    void store(std::uint32_t number, const std::uint8_t *page)
    {
        std::memcpy(m_bytes.data() + std::size_t(number) * kPage, page, kPage);
    }
    std::vector<std::uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<std::uint8_t> m_bytes;
};

// A data or long-value page being filled: row offsets grow from the header, rows from the end.
class RowPage
{
public:
    RowPage(std::uint32_t number, std::uint32_t owner, bool longValues)
        : m_number(number)
    {
        m_buf.fill(0);
        m_buf[0] = 0x01;
        m_buf[1] = 0x01;
        if (longValues)
            std::memcpy(m_buf.data() + 4, "LVAL", 4);
        else
            put32(m_buf.data() + 4, owner);
    }
    std::uint32_t number() const { return m_number; }
    std::size_t rows() const { return m_rows; }
    bool fits(std::size_t len) const
    {
        return m_rows < kMaxRowsPerPage && m_top >= len + kDataHeader + 2 * (m_rows + 1);
    }
    // Adds a row and returns its pointer (page << 8 | row).
    std::uint32_t add(const std::uint8_t *data, std::size_t len)
    {
        m_top -= len;
        std::memcpy(m_buf.data() + m_top, data, len);
        put16(m_buf.data() + kDataHeader + 2 * m_rows, static_cast<std::uint32_t>(m_top));
        return (m_number << 8) | static_cast<std::uint32_t>(m_rows++);
    }
    void finish(Image &image)
    {
        put16(m_buf.data() + 2, static_cast<std::uint32_t>(m_top - kDataHeader - 2 * m_rows));
        put16(m_buf.data() + 12, static_cast<std::uint32_t>(m_rows));
        image.store(m_number, m_buf.data());
    }

private:
    std::array<std::uint8_t, kPage> m_buf;
    std::uint32_t m_number;
    std::size_t m_rows = 0;
    std::size_t m_top = kPage;
};

struct TableLayout
{
    const JetTableSpec *spec = nullptr;
    std::uint32_t tdef = 0;
    bool system = false;
    std::vector<std::uint32_t> dataPages;
    std::uint32_t usedMap = 0;
    std::uint32_t freeMap = 0;
};

class Writer
{
public:
    std::vector<std::uint8_t> build(const std::vector<JetTableSpec> &tables)
    {
        for (std::uint32_t i = 0; i < kTdefFirstUserPage; ++i)
            m_image.allocate();
        std::vector<TableLayout> layouts(tables.size() + 1);
        for (std::size_t i = 0; i < tables.size(); ++i) {
            validate(tables[i]);
            layouts[i + 1].spec = &tables[i];
            layouts[i + 1].tdef = m_image.allocate();
        }
        const JetTableSpec catalogue = catalogueSpec(tables, layouts);
        layouts[0] = {&catalogue, kCatalogueTdef, true, {}, 0, 0};
        validate(catalogue);

        for (std::size_t i = 1; i < layouts.size(); ++i)
            writeRows(layouts[i]);
        writeRows(layouts[0], kCatalogueData);
        if (layouts[0].dataPages.size() != 1)
            throw JetWriteError("слишком много таблиц для страницы каталога");

        RowPage maps(kMapsPage, 0, false);
        for (TableLayout &t : layouts) {
            const std::vector<std::uint8_t> used = usageMap(t.dataPages);
            const std::vector<std::uint8_t> free = emptyMap();
            if (!maps.fits(used.size() + free.size()))
                throw JetWriteError("слишком много таблиц для страницы карт");
            t.usedMap = maps.add(used.data(), used.size());
            t.freeMap = maps.add(free.data(), free.size());
        }
        maps.finish(m_image);
        for (const TableLayout &t : layouts)
            writeDefinition(t);
        writeHeader();
        return m_image.take();
    }

private:
    static void validate(const JetTableSpec &t)
    {
        if (t.columns.empty() || t.columns.size() > 255)
            throw JetWriteError("таблица " + nameText(t.name) + ": нужно от 1 до 255 полей");
        for (const JetColumnSpec &c : t.columns) {
            const bool known = c.type == ColumnType::Integer || c.type == ColumnType::Long ||
                               c.type == ColumnType::DateTime || c.type == ColumnType::Text ||
                               c.type == ColumnType::Memo || c.type == ColumnType::OLE;
            if (!known)
                throw JetWriteError("поле " + nameText(c.name) + ": тип не поддерживается");
            if (c.type == ColumnType::Text && (c.textLength == 0 || c.textLength > 255))
                throw JetWriteError("поле " + nameText(c.name) + ": длина текста от 1 до 255");
            if (c.name.empty() || c.name.size() > 64)
                throw JetWriteError("имя поля должно содержать от 1 до 64 символов");
        }
        for (const auto &row : t.rows) {
            if (row.size() != t.columns.size())
                throw JetWriteError("таблица " + nameText(t.name) + ": в записи " +
                                    std::to_string(row.size()) + " значений на " +
                                    std::to_string(t.columns.size()) + " полей");
        }
    }

    static JetTableSpec catalogueSpec(const std::vector<JetTableSpec> &tables,
                                      const std::vector<TableLayout> &layouts)
    {
        JetTableSpec s;
        s.name = u"MSysObjects";
        s.columns = {{u"Id", ColumnType::Long},
                     {u"ParentId", ColumnType::Long},
                     {u"Name", ColumnType::Text, 128},
                     {u"Type", ColumnType::Integer},
                     {u"DateCreate", ColumnType::DateTime},
                     {u"DateUpdate", ColumnType::DateTime},
                     {u"Flags", ColumnType::Long},
                     {u"Database", ColumnType::Memo},
                     {u"Connect", ColumnType::Memo},
                     {u"ForeignName", ColumnType::Text},
                     {u"Lv", ColumnType::OLE},
                     {u"LvProp", ColumnType::OLE},
                     {u"LvModule", ColumnType::OLE},
                     {u"LvExtra", ColumnType::OLE}};
        auto add = [&s](std::int64_t id, std::int64_t parent, std::u16string name,
                        std::int64_t type, std::int64_t flags) {
            s.rows.push_back({id,
                              parent,
                              std::move(name),
                              type,
                              kCreated,
                              kCreated,
                              flags,
                              {},
                              {},
                              {},
                              {},
                              {},
                              {},
                              {}});
        };
        add(kTablesId, kRootId, u"Tables", 3, kSystemFlags);
        add(kDatabasesId, kRootId, u"Databases", 3, kSystemFlags);
        add(kRelationshipsId, kRootId, u"Relationships", 3, kSystemFlags);
        add(kMSysDbId, kDatabasesId, u"MSysDb", 2, kSystemFlags);
        add(kCatalogueTdef, kTablesId, u"MSysObjects", 1, kSystemFlags);
        for (std::size_t i = 0; i < tables.size(); ++i)
            add(layouts[i + 1].tdef, kTablesId, tables[i].name, 1, 0);
        return s;
    }

    // Places a long-value row on the current LVAL page, or a new one.
    std::uint32_t placeLongValue(const std::uint8_t *data, std::size_t len)
    {
        if (m_lval && !m_lval->fits(len)) {
            m_lval->finish(m_image);
            m_lval.reset();
        }
        if (!m_lval)
            m_lval.emplace(m_image.allocate(), 0, true);
        return m_lval->add(data, len);
    }

    // The 12-byte memo field header plus, for an inline value, the value itself.
    void appendMemo(std::vector<std::uint8_t> &out, const std::vector<std::uint8_t> &value)
    {
        const std::size_t n = value.size();
        if (n > 0x3FFFFFFF)
            throw JetWriteError("значение MEMO слишком длинное");
        if (n <= kInlineMemoLimit) {
            append32(out, static_cast<std::uint32_t>(n) | 0x80000000u);
            append32(out, 0);
            append32(out, 0);
            out.insert(out.end(), value.begin(), value.end());
        } else if (n <= kMaxRowBytes) {
            append32(out, static_cast<std::uint32_t>(n) | 0x40000000u);
            append32(out, placeLongValue(value.data(), n));
            append32(out, 0);
        } else {
            // A chain of parts, each starting with the pointer to the next part. Written from
            // the last part backwards so each part knows where its successor went.
            const std::size_t parts = (n + kChainPartData - 1) / kChainPartData;
            std::uint32_t next = 0;
            std::vector<std::uint8_t> part;
            for (std::size_t k = parts; k-- > 0;) {
                const std::size_t from = k * kChainPartData;
                const std::size_t len = std::min(kChainPartData, n - from);
                part.clear();
                append32(part, next);
                part.insert(part.end(), value.begin() + from, value.begin() + from + len);
                next = placeLongValue(part.data(), part.size());
            }
            append32(out, static_cast<std::uint32_t>(n));
            append32(out, next);
            append32(out, 0);
        }
    }

    void writeRows(TableLayout &t, std::uint32_t firstPage = 0)
    {
        const JetTableSpec &spec = *t.spec;
        const std::size_t nCols = spec.columns.size();
        std::vector<std::size_t> fixedOffset(nCols, 0);
        std::size_t fixedTotal = 0;
        std::size_t nVar = 0;
        for (std::size_t i = 0; i < nCols; ++i) {
            if (isFixed(spec.columns[i].type)) {
                fixedOffset[i] = fixedTotal;
                fixedTotal += fixedLength(spec.columns[i].type);
            } else {
                ++nVar;
            }
        }
        const std::size_t maskBytes = (nCols + 7) / 8;

        std::optional<RowPage> page;
        auto openPage = [&] {
            const std::uint32_t number = firstPage ? firstPage : m_image.allocate();
            firstPage = 0;
            page.emplace(number, t.tdef, false);
            t.dataPages.push_back(number);
        };

        std::vector<std::uint8_t> row;
        std::vector<std::uint8_t> value;
        std::vector<std::uint8_t> mask(maskBytes);
        std::vector<std::uint32_t> varOffsets;
        for (std::size_t r = 0; r < spec.rows.size(); ++r) {
            const auto &cells = spec.rows[r];
            row.assign(2 + fixedTotal, 0);
            put16(row.data(), static_cast<std::uint32_t>(nCols));
            std::fill(mask.begin(), mask.end(), 0);
            varOffsets.clear();
            for (std::size_t i = 0; i < nCols; ++i) {
                const JetColumnSpec &col = spec.columns[i];
                const JetCell &cell = cells[i];
                auto bad = [&](const char *why) {
                    return JetWriteError("таблица " + nameText(spec.name) + ", запись " +
                                         std::to_string(r + 1) + ", поле " + nameText(col.name) +
                                         ": " + why);
                };
                if (!isFixed(col.type))
                    varOffsets.push_back(static_cast<std::uint32_t>(row.size()));
                if (std::holds_alternative<std::monostate>(cell))
                    continue;
                mask[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
                std::uint8_t *fixed = row.data() + 2 + fixedOffset[i];
                switch (col.type) {
                case ColumnType::Integer:
                case ColumnType::Long: {
                    const auto *v = std::get_if<std::int64_t>(&cell);
                    if (!v)
                        throw bad("ожидалось целое число");
                    const bool isShort = col.type == ColumnType::Integer;
                    const std::int64_t lo = isShort ? -32768 : -2147483648LL;
                    const std::int64_t hi = isShort ? 32767 : 2147483647LL;
                    if (*v < lo || *v > hi)
                        throw bad("целое число вне допустимого диапазона");
                    const auto u = static_cast<std::uint32_t>(static_cast<std::int32_t>(*v));
                    if (isShort)
                        put16(fixed, u);
                    else
                        put32(fixed, u);
                    break;
                }
                case ColumnType::DateTime: {
                    const auto *v = std::get_if<double>(&cell);
                    if (!v)
                        throw bad("ожидались дата и время");
                    std::uint64_t bits;
                    std::memcpy(&bits, v, 8);
                    put32(fixed, static_cast<std::uint32_t>(bits));
                    put32(fixed + 4, static_cast<std::uint32_t>(bits >> 32));
                    break;
                }
                case ColumnType::Text: {
                    const auto *v = std::get_if<std::u16string>(&cell);
                    if (!v)
                        throw bad("ожидался текст");
                    if (v->size() > col.textLength)
                        throw bad("текст длиннее, чем допускает поле");
                    appendUcs2(row, *v);
                    break;
                }
                case ColumnType::Memo: {
                    const auto *v = std::get_if<std::u16string>(&cell);
                    if (!v)
                        throw bad("ожидался текст");
                    value.clear();
                    appendUcs2(value, *v);
                    appendMemo(row, value);
                    break;
                }
                default:
                    throw bad("в поле этого типа записывается только Null");
                }
            }
            if (nVar > 0) {
                append16(row, static_cast<std::uint32_t>(row.size())); // end of the variable data
                for (std::size_t k = nVar; k-- > 0;)
                    append16(row, varOffsets[k]);
                append16(row, static_cast<std::uint32_t>(nVar));
            }
            row.insert(row.end(), mask.begin(), mask.end());
            if (row.size() > kMaxRowBytes)
                throw JetWriteError("таблица " + nameText(spec.name) + ", запись " +
                                    std::to_string(r + 1) + ": запись не помещается на страницу");
            if (!page || !page->fits(row.size())) {
                if (page)
                    page->finish(m_image);
                openPage();
            }
            page->add(row.data(), row.size());
        }
        if (page)
            page->finish(m_image);
        else if (firstPage) {
            openPage(); // the catalogue always has its page
            page->finish(m_image);
        }
        if (m_lval) {
            m_lval->finish(m_image);
            m_lval.reset();
        }
    }

    std::vector<std::uint8_t> emptyMap() const
    {
        std::vector<std::uint8_t> map(5 + kInlineMapBytes, 0);
        return map;
    }

    // A usage map row listing the given pages (ascending): inline when they lie within one
    // inline map's reach, otherwise by reference to usage map pages.
    std::vector<std::uint8_t> usageMap(const std::vector<std::uint32_t> &pages)
    {
        std::vector<std::uint8_t> map;
        if (pages.empty() || pages.back() - pages.front() < kInlineMapBytes * 8) {
            map.assign(5 + kInlineMapBytes, 0);
            const std::uint32_t start = pages.empty() ? 0 : pages.front();
            put32(map.data() + 1, start);
            for (std::uint32_t p : pages)
                map[5 + (p - start) / 8] |= static_cast<std::uint8_t>(1u << ((p - start) % 8));
            return map;
        }
        map.assign(1 + 4 * kUsageMapPointers, 0);
        map[0] = 0x01;
        std::vector<std::array<std::uint8_t, kPage>> bitmaps;
        std::vector<std::uint32_t> numbers(kUsageMapPointers, 0);
        std::vector<std::size_t> slot(kUsageMapPointers, SIZE_MAX);
        for (std::uint32_t p : pages) {
            const std::size_t i = p / kUsageMapBits;
            if (i >= kUsageMapPointers)
                throw JetWriteError("база данных слишком велика для карт страниц");
            if (slot[i] == SIZE_MAX) {
                slot[i] = bitmaps.size();
                bitmaps.emplace_back();
                bitmaps.back().fill(0);
                bitmaps.back()[0] = 0x05;
                bitmaps.back()[1] = 0x01;
                numbers[i] = m_image.allocate();
                put32(map.data() + 1 + 4 * i, numbers[i]);
            }
            const std::size_t bit = p % kUsageMapBits;
            bitmaps[slot[i]][4 + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
        }
        for (std::size_t i = 0; i < kUsageMapPointers; ++i) {
            if (slot[i] != SIZE_MAX)
                m_image.store(numbers[i], bitmaps[slot[i]].data());
        }
        return map;
    }

    void writeDefinition(const TableLayout &t)
    {
        const JetTableSpec &spec = *t.spec;
        std::array<std::uint8_t, kPage> pg{};
        std::uint8_t *p = pg.data();
        p[0] = 0x02;
        p[1] = 0x01;
        const std::size_t nCols = spec.columns.size();
        std::size_t nVar = 0;
        for (const JetColumnSpec &c : spec.columns)
            nVar += isFixed(c.type) ? 0 : 1;
        put32(p + 16, static_cast<std::uint32_t>(spec.rows.size()));
        p[40] = t.system ? 0x53 : 0x4E;
        put16(p + 41, static_cast<std::uint32_t>(nCols));
        put16(p + 43, static_cast<std::uint32_t>(nVar));
        put16(p + 45, static_cast<std::uint32_t>(nCols));
        put32(p + 47, 0); // logical indexes
        put32(p + 51, 0); // index entries
        put32(p + 55, t.usedMap);
        put32(p + 59, t.freeMap);
        std::size_t at = 63;
        std::size_t fixedOffset = 0;
        std::size_t varIndex = 0;
        for (std::size_t i = 0; i < nCols; ++i) {
            const JetColumnSpec &c = spec.columns[i];
            std::uint8_t *e = p + at;
            e[0] = static_cast<std::uint8_t>(c.type);
            put16(e + 5, static_cast<std::uint32_t>(i));
            put16(e + 9, static_cast<std::uint32_t>(i));
            const bool fixed = isFixed(c.type);
            if (c.type == ColumnType::Text || c.type == ColumnType::Memo)
                put16(e + 11, 0x0409); // general sort order
            e[15] = static_cast<std::uint8_t>(0x10 | 0x02 | (fixed ? 0x01 : 0x00));
            if (fixed) {
                put16(e + 21, static_cast<std::uint32_t>(fixedOffset));
                put16(e + 23, fixedLength(c.type));
                fixedOffset += fixedLength(c.type);
            } else {
                put16(e + 7, static_cast<std::uint32_t>(varIndex++));
                put16(e + 23, c.type == ColumnType::Text ? 2u * c.textLength : 0u);
            }
            at += 25;
        }
        for (const JetColumnSpec &c : spec.columns) {
            if (at + 2 + 2 * c.name.size() + 2 > kPage)
                throw JetWriteError("определение таблицы " + nameText(spec.name) +
                                    " слишком длинное");
            put16(p + at, static_cast<std::uint32_t>(2 * c.name.size()));
            at += 2;
            for (char16_t ch : c.name) {
                put16(p + at, ch);
                at += 2;
            }
        }
        put16(p + at, 0xFFFF); // no long-value column usage maps follow
        at += 2;
        put32(p + 8, static_cast<std::uint32_t>(at));
        put16(p + 2, static_cast<std::uint32_t>(kPage - at - 8));
        m_image.store(t.tdef, p);
    }

    // Page 0. Bytes 0x18..0x97 are stored RC4-encrypted with the format's fixed key.
    void writeHeader()
    {
        std::array<std::uint8_t, kPage> pg{};
        std::uint8_t *p = pg.data();
        static const std::uint8_t start[] = {0x00, 0x01, 0x00, 0x00, 'S',  't',  'a',  'n',
                                             'd',  'a',  'r',  'd',  ' ',  'J',  'e',  't',
                                             ' ',  'D',  'B',  0x00, 0x01, 0x00, 0x00, 0x00};
        std::memcpy(p, start, sizeof start);
        std::array<std::uint8_t, 128> plain{};
        static const std::uint8_t lead[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
                                            0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00,
                                            0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00};
        std::memcpy(plain.data(), lead, sizeof lead);
        put16(plain.data() + (0x3C - 0x18), 1252);   // default code page
        put32(plain.data() + (0x3E - 0x18), 0);      // database key: not encrypted
        put16(plain.data() + (0x6E - 0x18), 0x0409); // general sort order
        // Creation date 0 and an empty password: the password area stays zero.
        const std::array<std::uint8_t, 128> stream = rc4({0xC7, 0xDA, 0x39, 0x6B});
        for (std::size_t i = 0; i < plain.size(); ++i)
            p[0x18 + i] = plain[i] ^ stream[i];
        static const std::uint8_t tail[] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0x00};
        std::memcpy(p + 0x98, tail, sizeof tail);
        m_image.store(0, p);
    }

    static std::array<std::uint8_t, 128> rc4(std::array<std::uint8_t, 4> key)
    {
        std::array<std::uint8_t, 256> s;
        for (int i = 0; i < 256; ++i)
            s[i] = static_cast<std::uint8_t>(i);
        unsigned j = 0;
        for (unsigned i = 0; i < 256; ++i) {
            j = (j + s[i] + key[i % key.size()]) & 0xFF;
            std::swap(s[i], s[j]);
        }
        std::array<std::uint8_t, 128> out;
        unsigned a = 0;
        j = 0;
        for (auto &o : out) {
            a = (a + 1) & 0xFF;
            j = (j + s[a]) & 0xFF;
            std::swap(s[a], s[j]);
            o = s[(s[a] + s[j]) & 0xFF];
        }
        return out;
    }

    Image m_image;
    std::optional<RowPage> m_lval;
};

} // namespace

std::vector<std::uint8_t> buildJetDatabase(const std::vector<JetTableSpec> &tables)
{
    return Writer().build(tables);
}

void writeFileAtomically(const std::string &path, const std::vector<std::uint8_t> &bytes)
{
    namespace fs = std::filesystem;
    std::random_device rd;
    const fs::path target(path);
    const fs::path temp = target.string() + ".tmp-" + std::to_string(rd()) + std::to_string(rd());
    auto fail = [&](const std::string &why) {
        std::error_code ec;
        fs::remove(temp, ec);
        return JetWriteError("не удаётся записать «" + path + "»: " + why);
    };
    {
        errno = 0;
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out)
            throw fail("не удаётся создать временный файл рядом с ним (" +
                       osErrorText(errno ? errno : EIO) + ")");
        out.write(reinterpret_cast<const char *>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out)
            throw fail("ошибка записи (" + osErrorText(errno ? errno : EIO) + ")");
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec)
        throw fail(osErrorText(ec.value()));
}

} // namespace kelmor::books
