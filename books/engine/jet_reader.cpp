// Read-only Jet 4 engine: header page, catalogue, table definitions, usage maps, data pages and
// long values. Every number taken from the file is checked before it is used.

#include "books/engine/casefold.h"
#include "books/engine/jet.h"
#include "books/engine/jet_format.h"
#include "books/engine/os_error.h"
#include "books/engine/textcodec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <list>
#include <mutex>
#include <span>
#include <unordered_map>
#include <unordered_set>

// Pages are read with pread() where the platform has it; elsewhere the file is read whole.
#if __has_include(<unistd.h>) && __has_include(<sys/stat.h>)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#define KELMOR_JET_PREAD 1
#else
#define KELMOR_JET_PREAD 0
#endif

namespace kelmor::books {

const std::uint8_t kOpenedHeader[22] = {0x00, 0x01, 0x00, 0x00, 'S',  't', 'a', 'n',
                                        'd',  'a',  'r',  'd',  ' ',  'J', 'e', 't',
                                        ' ',  'D',  'B',  0x00, 0x01, 0x00};

namespace jet {

void appendText(std::u16string &out, const std::uint8_t *p, std::size_t n)
{
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        out.reserve(out.size() + n - 2);
        bool compressed = true;
        std::size_t i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.push_back(static_cast<char16_t>(p[i]));
                ++i;
            } else if (i + 1 < n) {
                out.push_back(static_cast<char16_t>(le16(p + i)));
                i += 2;
            } else {
                break;
            }
        }
        return;
    }
    const std::size_t count = n / 2;
    const std::size_t base = out.size();
    out.resize(base + count);
    for (std::size_t i = 0; i < count; ++i) {
        out[base + i] = static_cast<char16_t>(le16(p + 2 * i));
    }
}

std::string toUtf8(std::u16string_view text)
{
    return utf16ToUtf8(text);
}

} // namespace jet

namespace {

using namespace jet;
using ByteSpan = std::span<const std::uint8_t>;

// One page in memory. Holding the reference keeps the bytes valid, also after the page cache
// has let the page go.
using PageRef = std::shared_ptr<const std::uint8_t>;

// Where the pages of a database come from.
class PageSource
{
public:
    virtual ~PageSource() = default;
    // The size in bytes when the database was opened.
    virtual std::uint64_t size() const = 0;
    // Reads the whole page `number` (which lies within size()) into out. Returns an empty text
    // on success, otherwise what went wrong (a read error, or content that is no longer the
    // one opened); no later page is trusted then.
    virtual std::string read(std::uint32_t number, std::uint8_t *out) const = 0;
};

// Bytes handed in (fuzzing, tests).
class MemorySource final : public PageSource
{
public:
    explicit MemorySource(std::vector<std::uint8_t> bytes)
        : m_bytes(std::move(bytes))
    {
    }
    std::uint64_t size() const override { return m_bytes.size(); }
    std::string read(std::uint32_t number, std::uint8_t *out) const override
    {
        std::memcpy(out, m_bytes.data() + static_cast<std::size_t>(number) * kPageSize, kPageSize);
        return {};
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

#if KELMOR_JET_PREAD
// A file read page by page with pread(). The file can change under a running program (a book
// truncated, or another one copied over it): a read that comes up short, or a file whose size
// or modification time is no longer those seen at opening, is reported, so that nothing of a
// different content is ever mixed with what was read before. A file deleted or renamed away
// stays readable through the open descriptor.
class FileSource final : public PageSource
{
public:
    FileSource(int fd, const struct stat &st)
        : m_fd(fd)
        , m_size(static_cast<std::uint64_t>(st.st_size))
        , m_mtime(st.st_mtim)
    {
    }
    ~FileSource() override { ::close(m_fd); }
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;

    std::uint64_t size() const override { return m_size; }

    std::string read(std::uint32_t number, std::uint8_t *out) const override
    {
        const auto offset = static_cast<off_t>(static_cast<std::uint64_t>(number) * kPageSize);
        std::size_t done = 0;
        while (done < kPageSize) {
            const ssize_t n =
                ::pread(m_fd, out + done, kPageSize - done, offset + static_cast<off_t>(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                return "ошибка чтения файла (" + osErrorText(errno) + ")";
            }
            if (n == 0) {
                return changed("файл стал короче");
            }
            done += static_cast<std::size_t>(n);
        }
        // Checked after the read: a write that put new bytes into this page has changed the
        // modification time by now.
        struct stat st
        {
        };
        if (::fstat(m_fd, &st) != 0) {
            return "ошибка чтения файла (" + osErrorText(errno) + ")";
        }
        if (static_cast<std::uint64_t>(st.st_size) != m_size) {
            return changed(static_cast<std::uint64_t>(st.st_size) < m_size
                               ? "файл стал короче"
                               : "размер файла изменился");
        }
        if (st.st_mtim.tv_sec != m_mtime.tv_sec || st.st_mtim.tv_nsec != m_mtime.tv_nsec) {
            return changed("файл перезаписан");
        }
        return {};
    }

private:
    static std::string changed(const std::string &how)
    {
        return "сонник изменён на диске после открытия (" + how +
               "); чтобы читать его снова, перезапустите программу";
    }

    int m_fd;
    std::uint64_t m_size;
    struct timespec m_mtime;
};
#endif

// The database's pages with checked access to pages and rows, through a small bounded cache of
// recently read pages (the least recently used one leaves first). Page 0 is kept apart with
// the opened-form header in place of the book marker, so the file's own bytes are never
// changed, not even in memory.
class File
{
public:
    File(std::unique_ptr<PageSource> source, std::string name, std::size_t cachePages)
        : m_source(std::move(source))
        , m_name(std::move(name))
        , m_size(m_source->size())
        , m_pageCount(
              static_cast<std::uint32_t>(std::min<std::uint64_t>(m_size / kPageSize, 0xFFFFFFFFu)))
        , m_capacity(std::max<std::size_t>(cachePages, 1))
    {
        if (m_size < sizeof kOpenedHeader) {
            fail("файл короче заголовка базы данных (" + std::to_string(m_size) + " байт)");
        }
        // A file shorter than one page still has its header read for the message below.
        auto first = std::make_shared_for_overwrite<std::array<std::uint8_t, kPageSize>>();
        if (m_pageCount > 0) {
            const std::string error = m_source->read(0, first->data());
            if (!error.empty()) {
                fail(error);
            }
        } else {
            first->fill(0);
        }
        std::copy(std::begin(kOpenedHeader), std::end(kOpenedHeader), first->begin());
        m_firstPage = PageRef(first, first->data());
    }

    [[noreturn]] void fail(const std::string &what) const
    {
        throw JetError("«" + m_name + "»: " + what);
    }

    const std::string &name() const { return m_name; }
    std::uint64_t size() const { return m_size; }
    std::uint32_t pageCount() const { return m_pageCount; }

    PageRef page(std::uint32_t number) const
    {
        if (number >= m_pageCount) {
            fail("ссылка на страницу " + std::to_string(number) + " за концом файла (страниц " +
                 std::to_string(m_pageCount) + ")");
        }
        if (number == 0) {
            return m_firstPage;
        }
        const std::lock_guard lock(m_mutex);
        if (!m_broken.empty()) {
            fail(m_broken);
        }
        if (const auto it = m_index.find(number); it != m_index.end()) {
            m_lru.splice(m_lru.begin(), m_lru, it->second);
            return it->second->bytes;
        }
        // Not zeroed first: the read fills it whole or fails.
        auto bytes = std::make_shared_for_overwrite<std::array<std::uint8_t, kPageSize>>();
        std::string error = m_source->read(number, bytes->data());
        if (!error.empty()) {
            // Every later read fails the same way: pages read before the change stay out of
            // use too, so no answer mixes the old content with the new.
            m_broken = std::move(error);
            m_lru.clear();
            m_index.clear();
            fail(m_broken);
        }
        if (m_lru.size() >= m_capacity) {
            m_index.erase(m_lru.back().number);
            m_lru.pop_back();
        }
        m_lru.push_front({number, PageRef(bytes, bytes->data())});
        m_index.emplace(number, m_lru.begin());
        return m_lru.front().bytes;
    }

    // Row count of a data page, checked against the page size.
    std::uint16_t rowCount(const std::uint8_t *pg, std::uint32_t number) const
    {
        const std::uint16_t count = le16(pg + kDataRowCountOffset);
        if (kDataRowTableOffset + 2 * static_cast<std::size_t>(count) > kPageSize) {
            fail("страница " + std::to_string(number) + ": число строк " + std::to_string(count) +
                 " не помещается на странице");
        }
        return count;
    }

    // Start and end offset of slot `slot` on data page `number` (flags ignored).
    std::pair<std::uint16_t, std::uint16_t> rowBounds(const std::uint8_t *pg, std::uint32_t number,
                                                      std::uint16_t count, unsigned slot) const
    {
        const std::size_t tableEnd = kDataRowTableOffset + 2 * static_cast<std::size_t>(count);
        const std::uint16_t start = le16(pg + kDataRowTableOffset + 2 * slot) & kRowOffsetMask;
        const std::uint16_t end =
            slot == 0 ? static_cast<std::uint16_t>(kPageSize)
                      : le16(pg + kDataRowTableOffset + 2 * (slot - 1)) & kRowOffsetMask;
        if (start < tableEnd || start > end) {
            fail("страница " + std::to_string(number) + ", строка " + std::to_string(slot) +
                 ": неверное смещение строки " + std::to_string(start));
        }
        return {start, end};
    }

    // A row addressed by a row pointer (row number in the low byte, page above), as used by
    // long values and usage maps. The bytes stay valid while the row is held.
    struct Row
    {
        PageRef page;
        std::uint16_t start = 0;
        std::uint16_t end = 0;
        ByteSpan bytes() const { return ByteSpan(page.get() + start, end - start); }
    };

    Row rowAt(std::uint32_t pointer, const char *what) const
    {
        const std::uint32_t number = pointer >> 8;
        const unsigned slot = pointer & 0xFF;
        PageRef pg = page(number);
        if (pg.get()[0] != kPageData) {
            fail(std::string(what) + ": страница " + std::to_string(number) +
                 " не является страницей данных");
        }
        const std::uint16_t count = rowCount(pg.get(), number);
        if (slot >= count) {
            fail(std::string(what) + ": на странице " + std::to_string(number) + " нет строки " +
                 std::to_string(slot));
        }
        const auto [start, end] = rowBounds(pg.get(), number, count, slot);
        return {std::move(pg), start, end};
    }

private:
    struct Cached
    {
        std::uint32_t number;
        PageRef bytes;
    };

    std::unique_ptr<PageSource> m_source;
    std::string m_name;
    std::uint64_t m_size;
    std::uint32_t m_pageCount;
    std::size_t m_capacity;
    PageRef m_firstPage;

    mutable std::mutex m_mutex;
    mutable std::list<Cached> m_lru; // most recently used first
    mutable std::unordered_map<std::uint32_t, std::list<Cached>::iterator> m_index;
    mutable std::string m_broken; // why the source can no longer be read
};

struct ColumnDef
{
    Column column;
    std::u16string foldedName;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    bool fixed = false;
};

struct RowRef
{
    std::uint32_t page;
    std::uint16_t slot;
    std::uint16_t start;
    std::uint16_t end;
};

struct TableData
{
    std::shared_ptr<const File> file;
    std::string name;
    std::vector<ColumnDef> defs;
    std::vector<Column> columns;
    std::uint16_t varColumnCount = 0;
    std::uint32_t tdefPage = 0;
    std::vector<RowRef> rows; // empty when the table reads rows only by their location
};

// Reads the (possibly multi-page) table definition starting at `firstPage`.
std::vector<std::uint8_t> readDefinitionPages(const File &file, std::uint32_t firstPage)
{
    std::vector<std::uint8_t> buf;
    std::uint32_t number = firstPage;
    std::vector<bool> visited;
    while (number != 0) {
        const PageRef ref = file.page(number);
        const std::uint8_t *pg = ref.get();
        if (pg[0] != kPageTableDef) {
            file.fail("страница " + std::to_string(number) +
                      " не является страницей определения таблицы");
        }
        if (visited.empty()) {
            visited.resize(file.pageCount());
        }
        if (visited[number]) {
            file.fail("цепочка страниц определения таблицы зациклена");
        }
        visited[number] = true;
        if (buf.empty()) {
            buf.assign(pg, pg + kPageSize);
        } else {
            buf.insert(buf.end(), pg + kTdefContinuationHeader, pg + kPageSize);
        }
        number = le32(pg + kTdefNextPage);
    }
    return buf;
}

// Usage map of a table: the pages it owns, in ascending order.
std::vector<std::uint32_t> readUsageMap(const File &file, std::uint32_t pointer)
{
    const File::Row row = file.rowAt(pointer, "карта страниц");
    const ByteSpan map = row.bytes();
    if (map.empty()) {
        file.fail("карта страниц пуста");
    }
    std::vector<std::uint32_t> pages;
    auto addBits = [&](const std::uint8_t *bits, std::size_t n, std::uint64_t first) {
        for (std::size_t i = 0; i < n; ++i) {
            if (bits[i] == 0) {
                continue;
            }
            for (unsigned b = 0; b < 8; ++b) {
                if (bits[i] & (1u << b)) {
                    const std::uint64_t number = first + i * 8 + b;
                    if (number >= file.pageCount()) {
                        file.fail("карта страниц ссылается на страницу " + std::to_string(number) +
                                  " за концом файла");
                    }
                    pages.push_back(static_cast<std::uint32_t>(number));
                }
            }
        }
    };
    if (map[0] == 0) {
        if (map.size() < 5) {
            file.fail("карта страниц короче заголовка");
        }
        addBits(map.data() + 5, map.size() - 5, le32(map.data() + 1));
    } else if (map[0] == 1) {
        for (std::size_t i = 0; 1 + 4 * i + 4 <= map.size(); ++i) {
            const std::uint32_t mapPage = le32(map.data() + 1 + 4 * i);
            if (mapPage == 0) {
                continue;
            }
            const PageRef ref = file.page(mapPage);
            const std::uint8_t *pg = ref.get();
            if (pg[0] != kPageUsageMap) {
                file.fail("страница " + std::to_string(mapPage) +
                          " не является страницей карты использования");
            }
            addBits(pg + 4, kPageSize - 4, static_cast<std::uint64_t>(i) * kUsageMapPageBits);
        }
    } else {
        file.fail("неизвестный тип карты страниц " + std::to_string(map[0]));
    }
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    return pages;
}

// A row of a data page by its slot, a moved row followed to where its bytes are; std::nullopt for
// a deleted slot.
std::optional<RowRef> liveRow(const File &f, const std::uint8_t *pg, std::uint32_t number,
                              std::uint16_t count, unsigned slot)
{
    const std::uint16_t raw = le16(pg + kDataRowTableOffset + 2 * slot);
    if (raw & kRowDeleted) {
        return std::nullopt;
    }
    const auto [start, end] = f.rowBounds(pg, number, count, slot);
    if (raw & kRowLookup) {
        if (end - start < 4) {
            f.fail("страница " + std::to_string(number) + ", строка " + std::to_string(slot) +
                   ": указатель перенесённой строки обрывается");
        }
        const std::uint32_t pointer = le32(pg + start);
        const File::Row moved = f.rowAt(pointer, "перенесённая строка");
        return RowRef{pointer >> 8, static_cast<std::uint16_t>(pointer & 0xFF), moved.start,
                      moved.end};
    }
    return RowRef{number, static_cast<std::uint16_t>(slot), start, end};
}

std::shared_ptr<TableData> loadTable(std::shared_ptr<const File> file, std::string name,
                                     std::uint32_t tdefPage, bool listRows = true)
{
    auto table = std::make_shared<TableData>();
    table->file = file;
    table->name = std::move(name);
    table->tdefPage = tdefPage;
    const File &f = *file;
    const std::vector<std::uint8_t> def = readDefinitionPages(f, tdefPage);
    auto need = [&](std::size_t end) {
        if (end > def.size()) {
            f.fail("определение таблицы «" + table->name + "» обрывается");
        }
    };
    need(kTdefRealIndexStart);
    table->varColumnCount = le16(def.data() + kTdefVarColumnCount);
    const std::size_t columnCount = le16(def.data() + kTdefColumnCount);
    const std::size_t realIndexCount = le32(def.data() + kTdefRealIndexCount);
    if (realIndexCount > def.size() / kRealIndexEntrySize) {
        f.fail("определение таблицы «" + table->name + "»: неверное число индексов");
    }
    const std::uint32_t usedPages = le32(def.data() + kTdefUsedPages);

    std::size_t pos = kTdefRealIndexStart + realIndexCount * kRealIndexEntrySize;
    need(pos + columnCount * kColumnEntrySize);
    table->defs.resize(columnCount);
    for (std::size_t i = 0; i < columnCount; ++i, pos += kColumnEntrySize) {
        const std::uint8_t *e = def.data() + pos;
        ColumnDef &c = table->defs[i];
        c.column.type = static_cast<ColumnType>(e[kColType]);
        c.number = le16(e + kColNumber);
        c.varIndex = le16(e + kColVarIndex);
        c.precision = e[kColPrecision];
        c.scale = e[kColScale];
        c.fixed = (e[kColFlags] & kColFlagFixed) != 0;
        c.fixedOffset = le16(e + kColFixedOffset);
        c.length = le16(e + kColLength);
    }
    for (auto &c : table->defs) {
        need(pos + 2);
        const std::size_t len = le16(def.data() + pos);
        pos += 2;
        need(pos + len);
        std::u16string name;
        appendText(name, def.data() + pos, len);
        pos += len;
        c.column.name = toUtf8(name);
        c.foldedName = foldCase(name);
    }
    // Columns in their column-number order, which is the order the table shows them in.
    std::stable_sort(table->defs.begin(), table->defs.end(),
                     [](const ColumnDef &a, const ColumnDef &b) { return a.number < b.number; });
    for (const auto &c : table->defs) {
        table->columns.push_back(c.column);
    }

    if (!listRows) {
        return table;
    }
    // Rows: data pages of this table in page order, rows in slot order. A row moved to an
    // overflow page is found through its pointer and listed where its bytes are.
    const std::vector<std::uint32_t> pages = readUsageMap(f, usedPages);
    for (const std::uint32_t number : pages) {
        const PageRef ref = f.page(number);
        const std::uint8_t *pg = ref.get();
        if (pg[0] != kPageData || le32(pg + kDataOwnerOffset) != tdefPage) {
            continue;
        }
        const std::uint16_t count = f.rowCount(pg, number);
        for (unsigned slot = 0; slot < count; ++slot) {
            if (const std::optional<RowRef> row = liveRow(f, pg, number, count, slot)) {
                table->rows.push_back(*row);
            }
        }
    }
    std::sort(table->rows.begin(), table->rows.end(), [](const RowRef &a, const RowRef &b) {
        return a.page != b.page ? a.page < b.page : a.slot < b.slot;
    });
    table->rows.erase(std::unique(table->rows.begin(), table->rows.end(),
                                  [](const RowRef &a, const RowRef &b) {
                                      return a.page == b.page && a.slot == b.slot;
                                  }),
                      table->rows.end());
    return table;
}

// One row's layout: column count, null mask and variable-column offsets.
class RowView
{
public:
    RowView(const TableData &table, const RowRef &ref)
    {
        const File &f = *table.file;
        m_page = f.page(ref.page);
        m_row = m_page.get() + ref.start;
        m_len = ref.end - ref.start;
        if (m_len < 2) {
            bad(f, ref, "строка короче заголовка");
        }
        m_columnCount = le16(m_row);
        const std::size_t maskLen = (m_columnCount + 7) / 8;
        if (2 + maskLen > m_len) {
            bad(f, ref, "маска Null не помещается в строке");
        }
        m_mask = m_row + m_len - maskLen;
        std::size_t trailer = maskLen;
        if (table.varColumnCount > 0) {
            if (2 + trailer + 2 > m_len) {
                bad(f, ref, "нет числа переменных полей");
            }
            m_varCount = le16(m_row + m_len - trailer - 2);
            trailer += 2 + 2 * static_cast<std::size_t>(m_varCount) + 2;
            if (2 + trailer > m_len) {
                bad(f, ref, "таблица смещений переменных полей не помещается в строке");
            }
            m_varTable = m_row + m_len - maskLen - 4;
            m_eod = le16(m_row + m_len - trailer);
            if (m_eod > m_len - trailer) {
                bad(f, ref, "неверный конец переменных полей");
            }
        }
        m_dataEnd = m_len - trailer;
    }

    bool bit(std::uint16_t number) const
    {
        return number < m_columnCount && (m_mask[number / 8] >> (number % 8)) & 1;
    }

    // The field's bytes, or std::nullopt for Null (boolean columns: see bit()).
    std::optional<ByteSpan> field(const TableData &table, const ColumnDef &c,
                                  const RowRef &ref) const
    {
        if (!bit(c.number)) {
            return std::nullopt;
        }
        if (c.fixed) {
            const std::size_t start = 2 + static_cast<std::size_t>(c.fixedOffset);
            const std::size_t end = start + fixedWidth(c.column.type).value_or(c.length);
            if (end > m_dataEnd) {
                bad(*table.file, ref, "поле «" + c.column.name + "» выходит за строку");
            }
            return ByteSpan(m_row + start, end - start);
        }
        if (c.varIndex >= m_varCount) {
            return std::nullopt;
        }
        const std::size_t start = le16(m_varTable - 2 * c.varIndex);
        const std::size_t end =
            c.varIndex + 1 < m_varCount ? le16(m_varTable - 2 * (c.varIndex + 1)) : m_eod;
        if (start > end || end > m_dataEnd) {
            bad(*table.file, ref, "поле «" + c.column.name + "» выходит за строку");
        }
        return ByteSpan(m_row + start, end - start);
    }

private:
    [[noreturn]] static void bad(const File &f, const RowRef &ref, const std::string &what)
    {
        f.fail("страница " + std::to_string(ref.page) + ", строка " + std::to_string(ref.slot) +
               ": " + what);
    }

    PageRef m_page; // keeps m_row and the pointers into it valid
    const std::uint8_t *m_row = nullptr;
    std::size_t m_len = 0;
    std::uint16_t m_columnCount = 0;
    const std::uint8_t *m_mask = nullptr;
    std::uint16_t m_varCount = 0;
    const std::uint8_t *m_varTable = nullptr;
    std::size_t m_eod = 0;
    std::size_t m_dataEnd = 0;
};

// Reads a memo/OLE value: inline, on one long-value page, or on a chain of them.
template <typename Sink>
void readLongValue(const File &f, const std::string &column, ByteSpan field, Sink &&sink)
{
    auto bad = [&](const std::string &what) {
        f.fail("длинное значение поля «" + column + "»: " + what);
    };
    if (field.size() < kLongValueHeader) {
        bad("заголовок обрывается");
    }
    const std::uint32_t word = le32(field.data());
    const std::size_t length = word & kLongValueLengthMask;
    if (length > f.size()) {
        bad("длина " + std::to_string(length) + " больше файла");
    }
    if (word & kLongValueInline) {
        if (kLongValueHeader + length > field.size()) {
            bad("встроенное значение длиннее поля");
        }
        sink(field.data() + kLongValueHeader, length);
        return;
    }
    std::uint32_t pointer = le32(field.data() + 4);
    if (word & kLongValueSinglePage) {
        const File::Row held = f.rowAt(pointer, "длинное значение");
        const ByteSpan row = held.bytes();
        if (row.size() < length) {
            bad("значение короче своей длины");
        }
        sink(row.data(), length);
        return;
    }
    std::size_t remaining = length;
    std::vector<std::uint32_t> visited;
    std::unordered_set<std::uint32_t> visitedSet;
    while (remaining > 0) {
        if (pointer == 0) {
            bad("цепочка страниц обрывается");
        }
        // Short chains are checked in a small list, long ones in a hash set.
        const bool seen = visited.size() < 16
                              ? std::find(visited.begin(), visited.end(), pointer) != visited.end()
                              : !visitedSet.insert(pointer).second;
        if (seen) {
            bad("цепочка страниц зациклена");
        }
        if (visited.size() < 16) {
            visited.push_back(pointer);
            if (visited.size() == 16) {
                visitedSet.insert(visited.begin(), visited.end());
            }
        }
        const File::Row held = f.rowAt(pointer, "длинное значение");
        const ByteSpan row = held.bytes();
        if (row.size() <= 4) {
            bad("пустое звено цепочки");
        }
        const std::size_t n = std::min(remaining, row.size() - 4);
        sink(row.data() + 4, n);
        remaining -= n;
        pointer = le32(row.data());
    }
}

std::string guidText(const std::uint8_t *p)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(le32(p)), le16(p + 4), le16(p + 6), p[8], p[9], p[10],
                  p[11], p[12], p[13], p[14], p[15]);
    return buf;
}

std::string numericText(const std::uint8_t *p, unsigned scale)
{
    unsigned __int128 v = 0;
    for (int i = 0; i < 4; ++i) {
        v = (v << 32) | le32(p + 1 + 4 * i);
    }
    std::string digits;
    do {
        digits.push_back(static_cast<char>('0' + static_cast<int>(v % 10)));
        v /= 10;
    } while (v != 0);
    while (digits.size() <= scale && scale > 0) {
        digits.push_back('0');
    }
    std::reverse(digits.begin(), digits.end());
    if (scale > 0) {
        digits.insert(digits.size() - scale, 1, '.');
    }
    if (p[0] & 0x80) {
        digits.insert(digits.begin(), '-');
    }
    return digits;
}

Value decodeValue(const TableData &table, const ColumnDef &c, const RowView &row, const RowRef &ref)
{
    if (c.column.type == ColumnType::Boolean) {
        return row.bit(c.number);
    }
    const auto field = row.field(table, c, ref);
    if (!field) {
        return std::monostate{};
    }
    const std::uint8_t *p = field->data();
    const std::size_t n = field->size();
    auto needFixed = [&](std::size_t size) {
        if (n < size) {
            table.file->fail("поле «" + c.column.name + "» короче своего типа");
        }
    };
    switch (c.column.type) {
    case ColumnType::Byte:
        needFixed(1);
        return static_cast<std::int64_t>(p[0]);
    case ColumnType::Integer:
        needFixed(2);
        return static_cast<std::int64_t>(static_cast<std::int16_t>(le16(p)));
    case ColumnType::Long:
        needFixed(4);
        return static_cast<std::int64_t>(static_cast<std::int32_t>(le32(p)));
    case ColumnType::Currency:
        needFixed(8);
        return Currency{static_cast<std::int64_t>(le64(p))};
    case ColumnType::Single:
        needFixed(4);
        return leFloat(p);
    case ColumnType::Double:
        needFixed(8);
        return leDouble(p);
    case ColumnType::DateTime:
        needFixed(8);
        return DateTime{leDouble(p)};
    case ColumnType::Guid:
        needFixed(16);
        return Guid{guidText(p)};
    case ColumnType::Numeric:
        needFixed(17);
        return Numeric{numericText(p, std::min<unsigned>(c.scale, 38))};
    case ColumnType::Text: {
        std::u16string s;
        appendText(s, p, n);
        return s;
    }
    case ColumnType::Memo: {
        std::vector<std::uint8_t> bytes;
        readLongValue(
            *table.file, c.column.name, *field,
            [&](const std::uint8_t *d, std::size_t k) { bytes.insert(bytes.end(), d, d + k); });
        std::u16string s;
        appendText(s, bytes.data(), bytes.size());
        return s;
    }
    case ColumnType::OLE: {
        Bytes bytes;
        readLongValue(
            *table.file, c.column.name, *field,
            [&](const std::uint8_t *d, std::size_t k) { bytes.insert(bytes.end(), d, d + k); });
        return bytes;
    }
    default:
        return Bytes(p, p + n);
    }
}

const ColumnDef *findColumn(const TableData &table, std::string_view name)
{
    for (const auto &c : table.defs) {
        if (c.column.name == name) {
            return &c;
        }
    }
    // Jet column names ignore letter case.
    std::u16string wide;
    for (std::size_t i = 0; i < name.size(); ++i) {
        wide.push_back(static_cast<unsigned char>(name[i]));
    }
    const std::u16string folded = foldCase(wide);
    for (const auto &c : table.defs) {
        if (c.foldedName == folded) {
            return &c;
        }
    }
    return nullptr;
}

class TableImpl final : public Table
{
public:
    explicit TableImpl(std::shared_ptr<const TableData> data)
        : m_data(std::move(data))
    {
    }

    const std::vector<Column> &columns() const override { return m_data->columns; }
    std::int64_t recordCount() const override
    {
        return static_cast<std::int64_t>(m_data->rows.size());
    }
    void moveFirst() override
    {
        m_pos = 0;
        m_noMatch = false;
        m_located.reset();
    }
    void moveNext() override
    {
        if (m_located) {
            m_located.reset();
            m_pos = m_data->rows.size();
        } else if (m_pos < m_data->rows.size()) {
            ++m_pos;
        }
    }
    bool eof() const override { return !m_located && m_pos >= m_data->rows.size(); }

    RowLocation location() const override
    {
        if (eof()) {
            m_data->file->fail("таблица «" + m_data->name + "»: нет текущей записи");
        }
        const RowRef &ref = current();
        return {ref.page, ref.slot};
    }

    void moveTo(RowLocation where) override
    {
        m_located.reset();
        m_pos = m_data->rows.size();
        const File &f = *m_data->file;
        const std::string place = "таблица «" + m_data->name + "», страница " +
                                  std::to_string(where.page) + ", строка " +
                                  std::to_string(where.slot);
        const PageRef ref = f.page(where.page);
        const std::uint8_t *pg = ref.get();
        if (pg[0] != kPageData || le32(pg + kDataOwnerOffset) != m_data->tdefPage) {
            f.fail(place + ": не страница данных этой таблицы");
        }
        const std::uint16_t count = f.rowCount(pg, where.page);
        if (where.slot >= count) {
            f.fail(place + ": нет такой строки");
        }
        const std::optional<RowRef> row = liveRow(f, pg, where.page, count, where.slot);
        if (!row) {
            f.fail(place + ": строка удалена");
        }
        m_located = *row;
        m_noMatch = false;
    }

    void setCurrentIndex(const std::string &column) override
    {
        const ColumnDef *c = column_(column);
        m_index.clear();
        m_keys.clear();
        const auto &rows = m_data->rows;
        m_index.reserve(rows.size());
        std::u16string scratch;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const RowView row(*m_data, rows[i]);
            const std::size_t offset = m_keys.size();
            scratch.clear();
            if (c->column.type == ColumnType::Text) {
                const auto field = row.field(*m_data, *c, rows[i]);
                if (!field) {
                    continue;
                }
                appendText(scratch, field->data(), field->size());
            } else {
                const Value v = decodeValue(*m_data, *c, row, rows[i]);
                if (const auto *s = std::get_if<std::u16string>(&v)) {
                    scratch = *s;
                } else if (const auto *n = std::get_if<std::int64_t>(&v)) {
                    for (char ch : std::to_string(*n)) {
                        scratch.push_back(static_cast<char16_t>(ch));
                    }
                } else {
                    continue;
                }
            }
            appendFolded(m_keys, scratch);
            const Entry entry{static_cast<std::uint32_t>(offset),
                              static_cast<std::uint32_t>(m_keys.size() - offset),
                              static_cast<std::uint32_t>(i), 0};
            m_index.push_back({entry.offset, entry.length, entry.row, keyHead(key(entry))});
        }
        // Most keys differ in their first four units: those are compared as one number first.
        std::sort(m_index.begin(), m_index.end(), [this](const Entry &a, const Entry &b) {
            if (a.head != b.head)
                return a.head < b.head;
            const int cmp = key(a).compare(key(b));
            return cmp != 0 ? cmp < 0 : a.row < b.row;
        });
        m_hasIndex = true;
    }

    void seek(std::u16string_view k) override
    {
        if (!m_hasIndex) {
            m_data->file->fail("таблица «" + m_data->name + "»: поиск без текущего индекса");
        }
        const std::u16string folded = foldCase(k);
        const std::u16string_view wanted(folded);
        const auto it =
            std::lower_bound(m_index.begin(), m_index.end(), wanted,
                             [this](const Entry &e, std::u16string_view w) { return key(e) < w; });
        m_located.reset();
        if (it != m_index.end() && key(*it) == wanted) {
            m_pos = it->row;
            m_noMatch = false;
        } else {
            m_pos = m_data->rows.size();
            m_noMatch = true;
        }
    }
    bool noMatch() const override { return m_noMatch; }

    Value value(const std::string &column) const override
    {
        const ColumnDef *c = column_(column);
        if (eof()) {
            m_data->file->fail("таблица «" + m_data->name + "»: нет текущей записи");
        }
        const RowRef &ref = current();
        return decodeValue(*m_data, *c, RowView(*m_data, ref), ref);
    }

    std::optional<std::u16string> text(const std::string &column) const override
    {
        Value v = value(column);
        if (auto *s = std::get_if<std::u16string>(&v)) {
            return std::move(*s);
        }
        if (std::holds_alternative<std::monostate>(v)) {
            return std::nullopt;
        }
        m_data->file->fail("таблица «" + m_data->name + "»: поле «" + column + "» не текстовое");
    }

private:
    struct Entry
    {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t row;
        std::uint64_t head; // keyHead() of the key
    };

    // The first four units of a key as one number in the keys' order: a shorter key is padded
    // with zeros, the least unit, so that it comes before the keys it begins.
    static std::uint64_t keyHead(std::u16string_view key)
    {
        std::uint64_t head = 0;
        for (std::size_t i = 0; i < 4; ++i)
            head = (head << 16) | (i < key.size() ? std::uint64_t(key[i]) : 0);
        return head;
    }

    const RowRef &current() const { return m_located ? *m_located : m_data->rows[m_pos]; }

    std::u16string_view key(const Entry &e) const
    {
        return std::u16string_view(m_keys).substr(e.offset, e.length);
    }

    const ColumnDef *column_(const std::string &name) const
    {
        const ColumnDef *c = findColumn(*m_data, name);
        if (!c) {
            m_data->file->fail("в таблице «" + m_data->name + "» нет поля «" + name + "»");
        }
        return c;
    }

    std::shared_ptr<const TableData> m_data;
    std::size_t m_pos = 0;
    bool m_noMatch = false;
    bool m_hasIndex = false;
    std::optional<RowRef> m_located; // the row moveTo() found, outside the listed rows
    std::vector<Entry> m_index;
    std::u16string m_keys;
};

struct CatalogueEntry
{
    std::string name;
    std::u16string folded;
    std::uint32_t tdefPage;
    bool system;
};

class DatabaseImpl final : public Database
{
public:
    DatabaseImpl(std::unique_ptr<PageSource> source, std::string name, std::size_t cachePages)
        : m_file(std::make_shared<const File>(std::move(source), std::move(name), cachePages))
    {
        const File &f = *m_file;
        if (f.pageCount() <= kCataloguePage) {
            f.fail("файл короче трёх страниц базы данных Jet 4");
        }
        const auto catalogue = loadTable(m_file, "MSysObjects", kCataloguePage);
        const ColumnDef *id = findColumn(*catalogue, "Id");
        const ColumnDef *nameCol = findColumn(*catalogue, "Name");
        const ColumnDef *type = findColumn(*catalogue, "Type");
        const ColumnDef *flags = findColumn(*catalogue, "Flags");
        if (!id || !nameCol || !type) {
            f.fail("в каталоге MSysObjects нет полей Id, Name и Type");
        }
        for (const auto &ref : catalogue->rows) {
            const RowView row(*catalogue, ref);
            const Value t = decodeValue(*catalogue, *type, row, ref);
            const auto *tv = std::get_if<std::int64_t>(&t);
            if (!tv || (*tv & 0x7FFF) != kObjectTable) {
                continue;
            }
            const Value n = decodeValue(*catalogue, *nameCol, row, ref);
            bool system = false;
            if (flags) {
                const Value fl = decodeValue(*catalogue, *flags, row, ref);
                const auto *fv = std::get_if<std::int64_t>(&fl);
                system = fv && (*fv & kSystemObjectFlags) != 0;
            }
            const Value i = decodeValue(*catalogue, *id, row, ref);
            const auto *nv = std::get_if<std::u16string>(&n);
            const auto *iv = std::get_if<std::int64_t>(&i);
            if (!nv || !iv) {
                continue;
            }
            std::u16string folded = foldCase(*nv);
            system = system || folded.rfind(u"msys", 0) == 0;
            m_tables.push_back({toUtf8(*nv), std::move(folded),
                                static_cast<std::uint32_t>(*iv & 0x00FFFFFF), system});
        }
    }

    std::string name() const override { return m_file->name(); }

    std::vector<std::string> tableNames() const override
    {
        std::vector<std::string> names;
        for (const auto &t : m_tables) {
            if (!t.system) {
                names.push_back(t.name);
            }
        }
        return names;
    }

    std::unique_ptr<Table> openTable(const std::string &name) const override
    {
        const CatalogueEntry &entry = tableEntry(name);
        return std::make_unique<TableImpl>(loadTable(m_file, entry.name, entry.tdefPage));
    }

    std::unique_ptr<Table> openTableByLocation(const std::string &name) const override
    {
        const CatalogueEntry &entry = tableEntry(name);
        return std::make_unique<TableImpl>(loadTable(m_file, entry.name, entry.tdefPage, false));
    }

private:
    // The table of that name, else of that name ignoring letter case; fails when there is none.
    const CatalogueEntry &tableEntry(const std::string &name) const
    {
        const CatalogueEntry *entry = nullptr;
        for (const auto &t : m_tables) {
            if (t.name == name) {
                entry = &t;
                break;
            }
        }
        if (!entry) {
            std::u16string wide;
            for (unsigned char ch : name) {
                wide.push_back(ch);
            }
            const std::u16string folded = foldCase(wide);
            for (const auto &t : m_tables) {
                if (t.folded == folded) {
                    entry = &t;
                    break;
                }
            }
        }
        if (!entry) {
            m_file->fail("нет таблицы «" + name + "»");
        }
        return *entry;
    }

    std::shared_ptr<const File> m_file;
    std::vector<CatalogueEntry> m_tables;
};

std::unique_ptr<PageSource> openFile(const std::string &path)
{
#if KELMOR_JET_PREAD
    // Not blocking: a named pipe must not wait for a writer (it is refused just below).
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        throw JetError("«" + path + "»: не удаётся открыть файл (" + osErrorText(errno) + ")");
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        throw JetError("«" + path + "»: не удаётся открыть файл (" + osErrorText(error) + ")");
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw JetError("«" + path + "»: " +
                       (S_ISDIR(st.st_mode) ? "это папка, а не файл" : "это не обычный файл"));
    }
    return std::make_unique<FileSource>(fd, st);
#else
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        throw JetError("«" + path + "»: это папка, а не файл");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw JetError("«" + path + "»: не удаётся открыть файл");
    }
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    if (in.bad()) {
        throw JetError("«" + path + "»: ошибка чтения файла");
    }
    return std::make_unique<MemorySource>(std::move(bytes));
#endif
}

bool readHeader(const std::string &path, std::array<char, 22> &out)
{
    // Only a regular file: opening a named pipe would wait for a writer for ever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        return false;
    }
#if KELMOR_JET_PREAD
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd, out.data() + done, out.size() - done, off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += std::size_t(n);
    }
    ::close(fd);
    return done == out.size();
#else
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    in.read(out.data(), static_cast<std::streamsize>(out.size()));
    return in.gcount() == static_cast<std::streamsize>(out.size());
#endif
}

void writeHeader(const std::string &path, const char *bytes)
{
    std::array<char, 22> current{};
    if (!readHeader(path, current)) {
        throw JetError("«" + path + "»: файл не открывается или короче 22 байт");
    }
    // Only a book or a plain Jet database gets a new header: anything else would lose its
    // first bytes for good.
    const bool isBook = std::equal(kBookMarker.begin(), kBookMarker.end(), current.begin());
    const bool isDatabase =
        std::equal(kOpenedHeader + 4, kOpenedHeader + 19, current.begin() + 4,
                   [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); });
    if (!isBook && !isDatabase) {
        throw JetError("«" + path + "»: файл не является ни книгой, ни базой данных Jet");
    }
    std::fstream io(path, std::ios::binary | std::ios::in | std::ios::out);
    if (!io) {
        throw JetError("«" + path + "»: файл не открывается для записи");
    }
    io.seekp(0);
    io.write(bytes, 22);
    io.flush();
    if (!io) {
        throw JetError("«" + path + "»: ошибка записи заголовка");
    }
}

} // namespace

std::unique_ptr<Database> Database::open(const std::string &path, std::size_t cachePages)
{
    return std::make_unique<DatabaseImpl>(openFile(path), path, cachePages);
}

std::unique_ptr<Database> Database::fromBytes(std::vector<std::uint8_t> bytes, std::string name,
                                              std::size_t cachePages)
{
    return std::make_unique<DatabaseImpl>(std::make_unique<MemorySource>(std::move(bytes)),
                                          std::move(name), cachePages);
}

bool IsValidVersion(const std::string &path)
{
    std::array<char, 22> header{};
    return readHeader(path, header) &&
           std::equal(kBookMarker.begin(), kBookMarker.end(), header.begin());
}

void UnlockBase(const std::string &path)
{
    writeHeader(path, reinterpret_cast<const char *>(kOpenedHeader));
}

void LockBase(const std::string &path)
{
    writeHeader(path, kBookMarker.data());
}

} // namespace kelmor::books
