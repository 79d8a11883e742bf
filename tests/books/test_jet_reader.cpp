// The Jet 4 reader on fixtures made from a real sample: header operations, reading a book
// without touching it, seeking, and damaged files.

#include "books/engine/book_writer.h"
#include "books/engine/casefold.h"
#include "books/engine/jet.h"
#include "books/engine/jet_writer.h"
#include "books/engine/raw_dump.h"
#include "books/engine/textcodec.h"

#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

namespace fs = std::filesystem;
using namespace kelmor::books;

namespace {

constexpr std::size_t kPage = 4096;

fs::path sample(const std::string &name)
{
    const char *shared = std::getenv("KELMOR_SHARED_DIR");
    return fs::path(shared ? shared : KELMOR_DEFAULT_SHARED_DIR) / "jet-samples" / name;
}

std::vector<std::uint8_t> readBytes(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeBytes(const fs::path &p, const std::vector<std::uint8_t> &bytes)
{
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void put16(std::vector<std::uint8_t> &b, std::size_t at, std::uint16_t v)
{
    b[at] = v & 0xFF;
    b[at + 1] = v >> 8;
}
void put32(std::vector<std::uint8_t> &b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        b[at + i] = (v >> (8 * i)) & 0xFF;
    }
}
std::uint32_t get32(const std::vector<std::uint8_t> &b, std::size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) |
           (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::vector<std::uint8_t> ucs2(std::u16string_view s)
{
    std::vector<std::uint8_t> out;
    for (char16_t c : s) {
        out.push_back(c & 0xFF);
        out.push_back(c >> 8);
    }
    return out;
}

// The first data page containing `needle`.
std::size_t findDataPage(const std::vector<std::uint8_t> &b, std::string_view needle)
{
    for (std::size_t p = 0; p < b.size() / kPage; ++p) {
        const auto *pg = b.data() + p * kPage;
        const auto same = [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); };
        if (pg[0] == 0x01 &&
            std::search(pg, pg + kPage, needle.begin(), needle.end(), same) != pg + kPage) {
            return p;
        }
    }
    throw std::runtime_error("page not found");
}

// A scratch folder per test.
struct TempDir : kelmor::testing::ScratchDir
{
    TempDir()
        : ScratchDir("kelmor-jet-")
    {
    }
};

// "creationDateV2000.mdb" has one user table, Table1 (ID long, Data text), whose rows live on
// one data page. The fixture replaces those rows with our own.
struct FixtureRow
{
    std::int32_t id;
    std::optional<std::vector<std::uint8_t>> data; // stored text bytes, or Null
};

struct Fixture
{
    std::vector<std::uint8_t> bytes;
    std::size_t dataPage = 0;
    std::size_t tdefPage = 0;
};

Fixture makeFixture(const std::vector<FixtureRow> &rows)
{
    Fixture f;
    f.bytes = readBytes(sample("creationDateV2000.mdb"));
    f.dataPage = findDataPage(f.bytes, "\xFF\xFEThree");
    const std::size_t base = f.dataPage * kPage;
    f.tdefPage = get32(f.bytes, base + 4);
    std::fill(f.bytes.begin() + base + 14, f.bytes.begin() + base + kPage, 0);
    put16(f.bytes, base + 12, static_cast<std::uint16_t>(rows.size()));
    std::size_t end = kPage;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        // num_cols, ID, Data, eod, var offset 0, var count, null mask.
        std::vector<std::uint8_t> row = {2, 0, 0, 0, 0, 0};
        std::size_t at = 2;
        for (int k = 0; k < 4; ++k) {
            row[at + k] = (static_cast<std::uint32_t>(rows[i].id) >> (8 * k)) & 0xFF;
        }
        const auto &text = rows[i].data;
        if (text) {
            row.insert(row.end(), text->begin(), text->end());
        }
        const auto eod = static_cast<std::uint16_t>(row.size());
        row.insert(row.end(),
                   {static_cast<std::uint8_t>(eod & 0xFF), static_cast<std::uint8_t>(eod >> 8), 6,
                    0, 1, 0, static_cast<std::uint8_t>(text ? 3 : 1)});
        end -= row.size();
        std::copy(row.begin(), row.end(), f.bytes.begin() + base + end);
        put16(f.bytes, base + 14 + 2 * i, static_cast<std::uint16_t>(end));
    }
    return f;
}

// Opens a database and reads every value of every table, as the catalogue and viewer would.
void readEverything(const Database &db)
{
    for (const auto &name : db.tableNames()) {
        auto table = db.openTable(name);
        for (table->moveFirst(); !table->eof(); table->moveNext()) {
            for (const auto &c : table->columns()) {
                (void)table->value(c.name);
            }
        }
    }
}

std::vector<FixtureRow> seekRows()
{
    // Stored compressed: "ab", then a switch to two-byte characters for "Ж".
    const std::vector<std::uint8_t> mixed = {0xFF, 0xFE, 'a', 'b', 0x00, 0x16, 0x04};
    return {
        {1, ucs2(u"Ёж")},    {2, ucs2(u"ежевика")},  {3, ucs2(u"ЁЖ")},
        {4, std::nullopt},   {5, ucs2(u"Ель")},      {6, mixed},
        {7, ucs2(u"ΣΟΦΊΑ")}, {8, ucs2(u"ёж")},       {9, ucs2(u"Straße")},
        {10, ucs2(u"")},     {11, ucs2(u"ÀÉÎÕÜ Ÿ")},
    };
}

} // namespace

TEST(JetHeader, IsValidVersionAcceptsExactlyTheMarker)
{
    TempDir dir;
    const auto db = readBytes(sample("creationDateV2000.mdb"));
    auto withStart = [&](std::string_view start) {
        auto b = db;
        std::copy(start.begin(), start.end(), b.begin());
        return b;
    };
    std::string jetInMarker(kBookMarker);
    jetInMarker.replace(4, 15, "Standard Jet DB");
    const struct
    {
        const char *name;
        std::vector<std::uint8_t> bytes;
        bool valid;
    } cases[] = {
        {"book", withStart(kBookMarker), true},
        {"plain database", db, false},
        {"marker with Standard Jet DB", withStart(jetInMarker), false},
        {"marker in other case", withStart("db1 zel kelmor book v3"), false},
        {"21 bytes of the marker", {kBookMarker.begin(), kBookMarker.end() - 1}, false},
        {"empty", {}, false},
    };
    for (const auto &c : cases) {
        const auto path = dir / c.name;
        writeBytes(path, c.bytes);
        EXPECT_EQ(IsValidVersion(path.string()), c.valid) << c.name;
        EXPECT_EQ(readBytes(path), c.bytes) << c.name << ": IsValidVersion wrote to the file";
    }
    EXPECT_FALSE(IsValidVersion((dir / "missing").string()));
}

TEST(JetHeader, LockAndUnlockSwapOnlyTheFirst22Bytes)
{
    TempDir dir;
    const auto original = readBytes(sample("creationDateV2000.mdb"));
    ASSERT_TRUE(std::equal(kOpenedHeader, kOpenedHeader + 22, original.begin()));
    const auto path = dir / "book.book";
    writeBytes(path, original);

    LockBase(path.string());
    const auto locked = readBytes(path);
    ASSERT_EQ(locked.size(), original.size());
    EXPECT_TRUE(std::equal(kBookMarker.begin(), kBookMarker.end(), locked.begin()));
    EXPECT_TRUE(std::equal(original.begin() + 22, original.end(), locked.begin() + 22));
    EXPECT_TRUE(IsValidVersion(path.string()));

    UnlockBase(path.string());
    EXPECT_EQ(readBytes(path), original);
    EXPECT_FALSE(IsValidVersion(path.string()));
}

TEST(JetHeader, LockRefusesFilesThatAreNeitherBookNorDatabase)
{
    TempDir dir;
    const std::string text = "These are somebody's notes, not a database at all.\n";
    const struct
    {
        const char *name;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"notes.txt", {text.begin(), text.end()}},
        {"short", {1, 2, 3}},
    };
    for (const auto &c : cases) {
        const auto path = dir / c.name;
        writeBytes(path, c.bytes);
        EXPECT_THROW(LockBase(path.string()), JetError) << c.name;
        EXPECT_THROW(UnlockBase(path.string()), JetError) << c.name;
        EXPECT_EQ(readBytes(path), c.bytes) << c.name;
    }
    EXPECT_THROW(LockBase((dir / "missing").string()), JetError);
    EXPECT_FALSE(fs::exists(dir / "missing"));
}

TEST(JetReader, ReadingABookLeavesItsBytesUnchanged)
{
    TempDir dir;
    const auto source = sample("testV2000.mdb");
    const auto path = dir / "testV2000.mdb";
    fs::copy_file(source, path);
    LockBase(path.string());
    const auto before = readBytes(path);
    const auto mtime = fs::last_write_time(path);

    const auto book = Database::open(path.string());
    readEverything(*book);
    auto table = book->openTable("Table1");
    table->setCurrentIndex("A");
    table->seek(u"ABCDEFG");
    EXPECT_FALSE(table->noMatch());
    // The book reads exactly like the plain database it was made from.
    EXPECT_EQ(dumpRawJson(*book), dumpRawJson(*Database::open(source.string())));

    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(fs::last_write_time(path), mtime);
    EXPECT_TRUE(IsValidVersion(path.string()));
}

TEST(JetReader, CursorWalksRowsInTableOrder)
{
    const auto f = makeFixture(seekRows());
    const auto db = Database::fromBytes(f.bytes, "fixture.book");
    ASSERT_EQ(db->tableNames(), std::vector<std::string>{"Table1"});
    auto table = db->openTable("table1"); // names ignore case, as in Jet
    ASSERT_EQ(table->columns().size(), 2u);
    EXPECT_EQ(table->columns()[1].type, ColumnType::Text);
    EXPECT_EQ(table->recordCount(), 11);

    std::vector<std::int64_t> ids;
    std::vector<std::optional<std::u16string>> texts;
    for (table->moveFirst(); !table->eof(); table->moveNext()) {
        ids.push_back(std::get<std::int64_t>(table->value("ID")));
        texts.push_back(table->text("Data"));
    }
    EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
    EXPECT_EQ(texts[0], u"Ёж");
    EXPECT_EQ(texts[3], std::nullopt);
    EXPECT_EQ(texts[5], u"abЖ");
    EXPECT_EQ(texts[9], u"");
    EXPECT_THROW(table->value("ID"), JetError); // past the end
    table->moveFirst();
    EXPECT_THROW(table->value("NoSuchColumn"), JetError);
    EXPECT_THROW(table->text("ID"), JetError);
    EXPECT_THROW(db->openTable("NoSuchTable"), JetError);
}

TEST(JetReader, SeekIgnoresCaseKeepsYoAndFindsTheFirstMatch)
{
    const auto f = makeFixture(seekRows());
    const auto db = Database::fromBytes(f.bytes, "fixture.book");
    auto table = db->openTable("Table1");
    EXPECT_THROW(table->seek(u"ёж"), JetError); // no current index yet
    EXPECT_THROW(table->setCurrentIndex("Nope"), JetError);
    table->setCurrentIndex("Data");

    const struct
    {
        std::u16string key;
        std::optional<std::int64_t> id;
    } cases[] = {
        {u"ёж", 1}, // "Ёж", "ЁЖ" and "ёж" all match: the first in table order wins
        {u"ЁЖ", 1},       {u"еж", std::nullopt},     // ё and е stay different
        {u"ЕЖЕВИКА", 2},  {u"ежевик", std::nullopt}, // no prefix matches
        {u"ель", 5},      {u"ABж", 6},
        {u"σοφία", 7},    {u"STRASSE", std::nullopt},
        {u"straße", 9},   {u"", 10},
        {u"àéîõü ÿ", 11},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto &c = cases[i];
        table->seek(c.key);
        EXPECT_EQ(table->noMatch(), !c.id.has_value()) << "case " << i;
        if (c.id) {
            ASSERT_FALSE(table->eof());
            EXPECT_EQ(std::get<std::int64_t>(table->value("ID")), *c.id);
        }
    }
    // After a seek the cursor goes on in table order.
    table->seek(u"ЕЛЬ");
    table->moveNext();
    EXPECT_EQ(std::get<std::int64_t>(table->value("ID")), 6);
}

TEST(JetReader, RowsAreReachedByTheirLocationWithoutListingTheTable)
{
    const auto f = makeFixture(seekRows());
    const auto db = Database::fromBytes(f.bytes, "fixture.book");
    auto listed = db->openTable("Table1");
    std::vector<std::pair<RowLocation, std::int64_t>> rows;
    for (listed->moveFirst(); !listed->eof(); listed->moveNext())
        rows.push_back({listed->location(), std::get<std::int64_t>(listed->value("ID"))});
    EXPECT_THROW(listed->location(), JetError); // past the end

    auto located = db->openTableByLocation("TABLE1");
    EXPECT_EQ(located->recordCount(), 0);
    located->moveFirst();
    EXPECT_TRUE(located->eof());
    for (const auto &[where, id] : rows) {
        located->moveTo(where);
        ASSERT_FALSE(located->eof());
        EXPECT_EQ(std::get<std::int64_t>(located->value("ID")), id);
        EXPECT_EQ(located->location(), where);
    }
    located->moveNext();
    EXPECT_TRUE(located->eof());

    // A location that is not a live row of this table: an error, and no current record.
    const RowLocation last = rows.back().first;
    for (const RowLocation bad : {RowLocation{last.page, std::uint16_t(last.slot + 200)},
                                  RowLocation{0, 0}, RowLocation{2, 0}, RowLocation{100000, 0}}) {
        located->moveTo(rows.front().first);
        EXPECT_THROW(located->moveTo(bad), JetError) << bad.page << ":" << bad.slot;
        EXPECT_TRUE(located->eof());
    }
    // The catalogue's rows are not this table's, though they are data rows.
    auto catalogue = db->openTable("MSysObjects");
    catalogue->moveFirst();
    EXPECT_THROW(located->moveTo(catalogue->location()), JetError);
}

// Unicode's simple case folding in every script, a code point at a time: ё and е stay apart,
// Cherokee folds to its capitals (as Unicode has it), supplementary-plane letters fold as
// wholes, and an unpaired surrogate is left alone.
TEST(CaseFold, SimpleFoldingOfEveryScript)
{
    EXPECT_EQ(foldCase(u"ABCÀÞÆØ ĀĹŽŸ ΑΩΆΏΣς ЁЙЯЀЏѢҐӁӐ Ȁ"), u"abcàþæø āĺžÿ αωάώσσ ёйяѐџѣґӂӑ ȁ");
    EXPECT_EQ(foldCase(u"ԱՐԵՒ Ა Ꭰꭰ ẞß ǅǆ ΐ"), u"արեւ ა ᎠᎠ ßß ǆǆ ΐ");
    EXPECT_EQ(foldCase(u"\U00010400\U00010428 \U0001E900 \U0001F600"),
              u"\U00010428\U00010428 \U0001E922 \U0001F600"); // Deseret, Adlam, an emoji
    const std::u16string unpaired{u'A', char16_t(0xD801), u'B', char16_t(0xDC00)};
    EXPECT_EQ(foldCase(unpaired), (std::u16string{u'a', char16_t(0xD801), u'b', char16_t(0xDC00)}));
    EXPECT_NE(foldCodePoint(U'Ё'), U'е');
    EXPECT_EQ(foldCodePoint(U'І'), U'і');
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        const char32_t f = foldCodePoint(c);
        // Idempotent, and never into another plane (UTF-16 lengths are kept).
        ASSERT_EQ(foldCodePoint(f), f) << static_cast<unsigned>(c);
        ASSERT_EQ(c > 0xFFFF, f > 0xFFFF) << static_cast<unsigned>(c);
    }
}

// Damaged files: each gives a JetError naming the file, never a crash or a hang.
TEST(JetReader, DamagedFilesGiveAnErrorNamingTheFile)
{
    const auto f = makeFixture(seekRows());
    const std::size_t data = f.dataPage * kPage;
    const std::size_t tdef = f.tdefPage * kPage;
    using Damage = std::function<void(std::vector<std::uint8_t> &)>;
    const struct
    {
        const char *what;
        Damage damage;
    } cases[] = {
        {"shorter than the header", [](auto &b) { b.resize(10); }},
        {"only two pages", [](auto &b) { b.resize(2 * kPage); }},
        {"cut before the table's data", [&](auto &b) { b.resize(data); }},
        {"catalogue page is not a definition", [](auto &b) { b[2 * kPage] = 0x01; }},
        {"row count beyond the page", [&](auto &b) { put16(b, data + 12, 3000); }},
        {"row offset into the page header", [&](auto &b) { put16(b, data + 14, 5); }},
        {"row offsets out of order", [&](auto &b) { put16(b, data + 16, 0x0FFF); }},
        {"definition chain loops", [&](auto &b) { put32(b, tdef + 4, f.tdefPage); }},
        {"definition chain leaves the file", [&](auto &b) { put32(b, tdef + 4, 0x00FFFFFF); }},
        {"usage map on a missing page", [&](auto &b) { put32(b, tdef + 55, 0xFFFFFF00); }},
        {"column count beyond the definition", [&](auto &b) { put16(b, tdef + 45, 0xFFFF); }},
        {"variable offsets beyond the row",
         [&](auto &b) { put16(b, data + kPage - 7, 0x7FFF); }}, // last row's eod
        {"null mask longer than the row",
         [&](auto &b) { put16(b, data + (b[data + 14] | (b[data + 15] << 8)), 0xFFFF); }},
    };
    for (const auto &c : cases) {
        auto bytes = f.bytes;
        c.damage(bytes);
        try {
            const auto db = Database::fromBytes(std::move(bytes), "повреждённая.book");
            readEverything(*db);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const JetError &e) {
            EXPECT_NE(std::string(e.what()).find("повреждённая.book"), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST(JetReader, LongValueChainThatLoopsOrBreaksGivesAnError)
{
    // In DateTestDatabase.mdb the first row's memo "Hello" is stored inline. Point it at a
    // chain instead: row 1 of the same page whose "next" pointer is itself, or nothing.
    const auto original = readBytes(sample("DateTestDatabase.mdb"));
    const std::size_t page = findDataPage(original, "\xFF\xFEHello");
    const std::size_t base = page * kPage;
    const std::string inlineMemo("\x07\x00\x00\x80", 4);
    const auto same = [](std::uint8_t a, char b) { return a == static_cast<std::uint8_t>(b); };
    const auto at = std::search(original.begin() + base, original.begin() + base + kPage,
                                inlineMemo.begin(), inlineMemo.end(), same) -
                    original.begin();
    ASSERT_LT(static_cast<std::size_t>(at), base + kPage);
    const std::uint32_t row1 = static_cast<std::uint32_t>(page << 8) | 1;
    const std::size_t row1Start =
        base + ((original[base + 16] | (original[base + 17] << 8)) & 0x1FFF);

    for (const std::uint32_t next : {row1, 0u}) {
        auto bytes = original;
        put32(bytes, at, 200000); // chain, 200000 bytes
        put32(bytes, at + 4, row1);
        put32(bytes, row1Start, next);
        auto db = Database::fromBytes(std::move(bytes), "memo.book");
        auto table = db->openTable("DateTest");
        table->moveFirst();
        EXPECT_THROW(table->value("LongTextCol"), JetError) << next;
        EXPECT_EQ(table->text("ShortTextCol"), u"Hello");
    }
}

// Memo values in every storage form (inline, one long-value page, a chain of pages), with NUL
// characters, over a table spanning many data pages, read back whole.
TEST(JetReader, LongValuesOfEveryLengthReadBackWhole)
{
    auto memo = [](std::size_t n, char16_t seed) {
        std::u16string s(n, u'\0');
        for (std::size_t i = 0; i < n; ++i) {
            s[i] = (i % 7 == 3) ? u'\0' : static_cast<char16_t>(seed + i % 40);
        }
        return s;
    };
    const std::size_t lengths[] = {0, 1, 50, 1500, 4000, 9000, 20000};
    JetTableSpec spec{u"Book",
                      {{u"List", ColumnType::Text, 255},
                       {u"Text", ColumnType::Memo},
                       {u"Number", ColumnType::Long},
                       {u"When", ColumnType::DateTime}},
                      {}};
    for (int i = 0; i < 700; ++i) {
        const std::size_t n = lengths[i % std::size(lengths)];
        spec.rows.push_back(
            {std::u16string(u"Слово ") + static_cast<char16_t>(u'А' + i % 32) +
                 static_cast<char16_t>(u'0' + i % 10) + memo(i % 5, u'a'),
             i % 11 == 5 ? JetCell{} : JetCell{memo(n, static_cast<char16_t>(u'а' + i % 3))},
             JetCell{std::int64_t{i} * 1000 - 7}, JetCell{36526.25 + i}});
    }
    const auto db = Database::fromBytes(buildJetDatabase({spec}), "written.mdb");
    auto table = db->openTable("Book");
    ASSERT_EQ(table->recordCount(), 700);
    int i = 0;
    for (table->moveFirst(); !table->eof(); table->moveNext(), ++i) {
        const auto &row = spec.rows[i];
        ASSERT_EQ(table->text("List"), std::get<std::u16string>(row[0])) << i;
        if (i % 11 == 5) {
            EXPECT_EQ(table->text("Text"), std::nullopt) << i;
        } else {
            ASSERT_EQ(table->text("Text"), std::get<std::u16string>(row[1])) << i;
        }
        EXPECT_EQ(std::get<std::int64_t>(table->value("Number")), i * 1000 - 7);
        EXPECT_EQ(std::get<DateTime>(table->value("When")).days, 36526.25 + i);
    }
    EXPECT_EQ(i, 700);
    table->setCurrentIndex("List");
    // Row 33 is "Слово Б3abc", as are rows 193, 353, ...: the first one wins.
    table->seek(u"слово б3ab");
    EXPECT_TRUE(table->noMatch());
    table->seek(u"СЛОВО Б3ABC");
    ASSERT_FALSE(table->noMatch());
    EXPECT_EQ(std::get<std::int64_t>(table->value("Number")), 33 * 1000 - 7);
}

namespace {

// A book of `count` records whose articles take a page or more each, so that a small page
// cache holds only a few of them.
BookSource bigBook(int count, char16_t seed)
{
    BookSource source;
    source.config.toolName = u"Большой сонник";
    for (int i = 0; i < count; ++i) {
        std::u16string article;
        for (int k = 0; k < 600 + i % 200; ++k) {
            article.push_back(static_cast<char16_t>(u'а' + (k * 7 + i + seed) % 32));
        }
        source.records.push_back({u"Слово " + std::u16string(1, u'А' + i % 32) +
                                      std::u16string(1, u'0' + i / 32 % 10) +
                                      std::u16string(1, u'0' + i / 320 % 10),
                                  article, std::nullopt});
    }
    return source;
}

enum class Outcome { SameOrError, SameAlways };

} // namespace

// A book truncated, overwritten, deleted or replaced while it is open: every later read gives
// the article as it was at opening, or a JetError in Russian that names the file; the process
// never dies (reading a truncated memory-mapped file used to end it with SIGBUS). Run in a
// child process, since the fault it guards against kills the process.
TEST(JetReaderDeathTest, BookChangedOnDiskAfterOpeningNeverCrashesTheReader)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string path = dir.path("open.book");
    const std::string other = dir.path("other.book");
    const BookSource original = bigBook(600, 0);
    const std::vector<std::uint8_t> otherBytes = buildBookFile(bigBook(700, 5));
    using Change = std::function<void()>;
    const struct
    {
        const char *what;
        Change change;
        Outcome outcome;
        std::size_t cachePages;
    } cases[] = {
        {"truncated to one page", [&] { fs::resize_file(path, kPage); }, Outcome::SameOrError, 4},
        {"truncated to nothing", [&] { fs::resize_file(path, 0); }, Outcome::SameOrError,
         Database::kDefaultCachePages},
        {"another book copied over it", [&] { writeBytes(path, otherBytes); }, Outcome::SameOrError,
         4},
        {"deleted", [&] { fs::remove(path); }, Outcome::SameAlways, 4},
        {"another book renamed over it",
         [&] {
             writeBytes(other, otherBytes);
             fs::rename(other, path);
         },
         Outcome::SameAlways, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        writeBookFile(original, path);
        const auto check = [&] {
            const auto db = Database::open(path, c.cachePages);
            const auto table = db->openTable("Book");
            table->setCurrentIndex("List");
            c.change();
            int errors = 0;
            for (std::size_t i = 0; i < original.records.size(); i += 7) {
                const BookRecord &record = original.records[i];
                try {
                    table->seek(record.list);
                    if (table->noMatch() || table->text("Text") != CompressText(*record.text)) {
                        std::fprintf(stderr, "record %zu reads differently\n", i);
                        std::exit(2);
                    }
                } catch (const JetError &e) {
                    const std::string message = e.what();
                    if (c.outcome == Outcome::SameAlways ||
                        message.find(path) == std::string::npos ||
                        message.find("изменён на диске") == std::string::npos) {
                        std::fprintf(stderr, "record %zu: %s\n", i, e.what());
                        std::exit(3);
                    }
                    ++errors;
                }
            }
            // With a small cache most articles need the file again, so the change is seen.
            const int status =
                c.outcome == Outcome::SameOrError && c.cachePages < 10 && errors == 0 ? 4 : 0;
            dir.removeIfMadeHere();
            std::exit(status);
        };
        EXPECT_EXIT(check(), ::testing::ExitedWithCode(0), "") << c.what;
    }
}
