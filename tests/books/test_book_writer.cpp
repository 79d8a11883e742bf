#include "books/engine/book_writer.h"
#include "books/engine/jet.h"
#include "books/engine/jet_writer.h"
#include "books/engine/textcodec.h"

#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

using namespace kelmor::books;
namespace fs = std::filesystem;

namespace {

// A fresh scratch folder per test.
class BookWriterTest : public ::testing::Test
{
protected:
    std::string path(const std::string &name) const { return m_scratch.path(name); }

    kelmor::testing::ScratchDir m_scratch{"kelmor-writer-"};
};

std::u16string cyrillicRun(std::size_t n, unsigned seed)
{
    std::u16string s;
    s.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        s.push_back(static_cast<char16_t>(u'а' + (i * 7 + seed) % 32));
    return s;
}

// A book whose values take every storage path: short texts stored inside the row, values on
// one long-value page, chains over several pages; Null and empty values; stored values with
// NUL characters; separators and quotes in headwords.
BookSource fixtureBook()
{
    BookSource s;
    s.config.toolName = u"Сонник \"Проба\", №1";
    s.config.tolkName = u"Толкование: проба";
    s.config.color = u"16711680";
    s.config.icon = fromCp1251(std::string("GIF89a\x01\x00\x01\x00\x80\xff", 12));
    const std::size_t lengths[] = {0,    1,    40,   511,  512,  513,  1500,
                                   2039, 2040, 2041, 4000, 9000, 20000};
    unsigned seed = 0;
    for (std::size_t len : lengths) {
        BookRecord r;
        r.list = u"Слово " + cyrillicRun(5, seed) + u" " + utf8ToUtf16(std::to_string(len));
        r.text = cyrillicRun(len, seed++);
        r.links = (seed % 3 == 0) ? std::nullopt : std::optional(cyrillicRun(len / 3, seed));
        s.records.push_back(r);
    }
    s.records.push_back({u"Кавычки \"и\", запятые; точка.", std::nullopt, std::nullopt});
    s.records.push_back({u"Пусто", u"", u""});
    // NUL characters, as compressed streams have them.
    s.records.push_back({u"С нулём", std::u16string(u"до\0после", 8), std::u16string(u"\0x", 2)});
    s.records.push_back({u"Ё ё № – «»", u"\u0098\u0402\u045F", std::nullopt});
    return s;
}

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a command and returns its standard output.
bool capture(const std::string &command, std::string &out)
{
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    char buf[65536];
    std::size_t n;
    out.clear();
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    return ::pclose(pipe) == 0;
}

bool haveMdbExport()
{
    return std::system("command -v mdb-export >/dev/null 2>&1") == 0;
}

std::vector<std::vector<std::string>> split(const std::string &text, const std::string &rowSep,
                                            const std::string &fieldSep)
{
    std::vector<std::vector<std::string>> rows;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(rowSep, at);
        if (end == std::string::npos)
            end = text.size();
        std::vector<std::string> fields;
        const std::string row = text.substr(at, end - at);
        std::size_t f = 0;
        for (;;) {
            const std::size_t g = row.find(fieldSep, f);
            fields.push_back(row.substr(f, g == std::string::npos ? std::string::npos : g - f));
            if (g == std::string::npos)
                break;
            f = g + fieldSep.size();
        }
        rows.push_back(fields);
        at = end + rowSep.size();
    }
    return rows;
}

// What mdb-export shows of a text: UTF-8 up to the first NUL; Null and "" both show nothing.
std::string shown(const std::optional<std::u16string> &v)
{
    if (!v)
        return {};
    return utf16ToUtf8(std::u16string_view(*v).substr(0, v->find(u'\0')));
}

// Exports a table with separators that no Windows-1251 character maps to.
std::vector<std::vector<std::string>> mdbExport(const std::string &file, const std::string &table)
{
    std::string out;
    const std::string cmd = "mdb-export -H -q '' -d '\u2603' -R '\u2604' '" + file + "' " + table;
    EXPECT_TRUE(capture(cmd, out)) << cmd;
    return split(out, "\u2604", "\u2603");
}

} // namespace

TEST_F(BookWriterTest, MdbExportReadsEveryValue)
{
    if (!haveMdbExport())
        GTEST_SKIP() << "mdb-export is not installed";
    const BookSource src = fixtureBook();
    // Stored values as given, so the comparison covers the exact stored characters.
    const std::string file = path("plain.mdb");
    writeBookFile(src, file, StoredForm::Raw, /*withMarker=*/false);

    std::string tables;
    ASSERT_TRUE(capture("mdb-tables -1 '" + file + "'", tables));
    EXPECT_EQ(tables, "Book\nConfig\n");

    const auto config = mdbExport(file, "Config");
    ASSERT_EQ(config.size(), 1u);
    ASSERT_EQ(config[0].size(), 4u);
    EXPECT_EQ(config[0][0], shown(src.config.icon)); // up to the NUL in the GIF header
    EXPECT_EQ(config[0][1], shown(src.config.toolName));
    EXPECT_EQ(config[0][2], shown(src.config.tolkName));
    EXPECT_EQ(config[0][3], shown(src.config.color));

    const auto book = mdbExport(file, "Book");
    ASSERT_EQ(book.size(), src.records.size());
    for (std::size_t i = 0; i < book.size(); ++i) {
        const BookRecord &r = src.records[i];
        ASSERT_EQ(book[i].size(), 3u) << "row " << i;
        EXPECT_EQ(book[i][0], shown(r.list)) << "row " << i;
        EXPECT_EQ(book[i][1], shown(r.text)) << "row " << i << " (" << r.text->size() << ")";
        EXPECT_EQ(book[i][2], shown(r.links)) << "row " << i;
    }
}

TEST_F(BookWriterTest, MdbExportReadsBookWithManyPages)
{
    if (!haveMdbExport())
        GTEST_SKIP() << "mdb-export is not installed";
    // Enough records for more data pages than one inline usage map covers (the usage map goes
    // by reference to map pages). Stored values are random Windows-1251 text, as compressed
    // articles are.
    BookSource src;
    src.config.toolName = u"Большой";
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 3000; ++i) {
        std::string text(200 + i % 900, ' ');
        for (char &c : text)
            c = static_cast<char>(byte(rng));
        src.records.push_back({u"слово" + utf8ToUtf16(std::to_string(i)), fromCp1251(text),
                               i % 2 ? std::optional<std::u16string>(u"а; б.") : std::nullopt});
    }
    const std::string file = path("big.mdb");
    writeBookFile(src, file, StoredForm::Raw, /*withMarker=*/false);
    ASSERT_GT(fs::file_size(file), 600u * 4096u);
    {
        // Book's definition is on page 4; its usage map row must be of the by-reference kind.
        const std::string bytes = readAll(file);
        auto le = [&bytes](std::size_t at, int n) {
            std::uint32_t v = 0;
            for (int k = n - 1; k >= 0; --k)
                v = (v << 8) | static_cast<std::uint8_t>(bytes.at(at + k));
            return v;
        };
        const std::uint32_t map = le(4 * 4096 + 55, 4);
        const std::size_t page = map >> 8, row = map & 0xFF;
        const std::size_t offset = le(page * 4096 + 14 + 2 * row, 2) & 0x1FFF;
        EXPECT_EQ(bytes.at(page * 4096 + offset), 1) << "usage map by reference to map pages";
    }

    const auto book = mdbExport(file, "Book");
    ASSERT_EQ(book.size(), src.records.size());
    for (std::size_t i = 0; i < book.size(); ++i) {
        ASSERT_EQ(book[i].size(), 3u) << "row " << i;
        EXPECT_EQ(book[i][0], shown(src.records[i].list)) << "row " << i;
        EXPECT_EQ(book[i][1], shown(src.records[i].text)) << "row " << i;
    }
}

TEST_F(BookWriterTest, EngineReadsEveryValueBack)
{
    const BookSource src = fixtureBook();
    const std::string file = path("fixture.book");
    writeBookFile(src, file, StoredForm::Decompressed);
    const auto db = Database::open(file);
    EXPECT_EQ(db->tableNames(), (std::vector<std::string>{"Book", "Config"}));

    const auto config = db->openTable("Config");
    config->moveFirst();
    ASSERT_FALSE(config->eof());
    EXPECT_EQ(config->text("Icon"), src.config.icon);
    EXPECT_EQ(config->text("ToolName"), src.config.toolName);
    EXPECT_EQ(config->text("TolkName"), src.config.tolkName);
    EXPECT_EQ(config->text("Color"), src.config.color);

    const auto book = db->openTable("Book");
    EXPECT_EQ(book->recordCount(), static_cast<std::int64_t>(src.records.size()));
    auto decompressed = [](const std::optional<std::u16string> &v) {
        return v ? std::optional(DecompressText(*v)) : std::nullopt;
    };
    std::size_t i = 0;
    for (book->moveFirst(); !book->eof(); book->moveNext(), ++i) {
        ASSERT_LT(i, src.records.size());
        const BookRecord &r = src.records[i];
        EXPECT_EQ(book->text("List"), r.list) << i;
        EXPECT_EQ(decompressed(book->text("Text")), r.text) << i;
        EXPECT_EQ(decompressed(book->text("Links")), r.links) << i;
    }
    EXPECT_EQ(i, src.records.size());

    book->setCurrentIndex("List");
    book->seek(u"пусто");
    ASSERT_FALSE(book->noMatch());
    EXPECT_EQ(book->text("Text"), CompressText(u""));
}

TEST_F(BookWriterTest, RawValuesAreStoredExactly)
{
    BookSource src;
    src.config.toolName = u"Сырые";
    // Damaged streams: not starting with the clear code, NULs, characters outside cp1251.
    const std::u16string stored[] = {std::u16string(u"\0\0\0", 3), u"\u4E00\uFFFD", u"x",
                                     std::u16string(5000, u'\0')};
    for (const auto &v : stored)
        src.records.push_back({u"с", v, v});
    const auto db = Database::fromBytes(buildBookFile(src, StoredForm::Raw), "raw");
    const auto book = db->openTable("Book");
    std::size_t i = 0;
    for (book->moveFirst(); !book->eof(); book->moveNext(), ++i) {
        EXPECT_EQ(book->text("Text"), stored[i]);
        EXPECT_EQ(book->text("Links"), stored[i]);
    }
    EXPECT_EQ(i, std::size(stored));
}

TEST_F(BookWriterTest, MarkerReplacesExactlyTheFirst22Bytes)
{
    const BookSource src = fixtureBook();
    const std::vector<std::uint8_t> book = buildBookFile(src);
    const std::vector<std::uint8_t> plain = buildBookFile(src, StoredForm::Decompressed, false);
    ASSERT_EQ(book.size(), plain.size());
    EXPECT_EQ(std::string(book.begin(), book.begin() + 22), kBookMarker);
    EXPECT_TRUE(std::equal(plain.begin(), plain.begin() + 22, std::begin(kOpenedHeader)));
    EXPECT_TRUE(std::equal(book.begin() + 22, book.end(), plain.begin() + 22));
    EXPECT_EQ(book.size() % 4096, 0u);

    const std::string file = path("marked.book");
    writeBookFile(src, file);
    EXPECT_TRUE(IsValidVersion(file));
    // Same input, same bytes: books build reproducibly.
    EXPECT_EQ(readAll(file), std::string(book.begin(), book.end()));
}

TEST_F(BookWriterTest, EmptyBookTable)
{
    BookSource src;
    src.config.toolName = u"Пустой";
    const auto db = Database::fromBytes(buildBookFile(src), "empty");
    const auto book = db->openTable("Book");
    EXPECT_EQ(book->recordCount(), 0);
    book->moveFirst();
    EXPECT_TRUE(book->eof());
    if (haveMdbExport()) {
        const std::string file = path("empty.mdb");
        writeBookFile(src, file, StoredForm::Decompressed, false);
        EXPECT_TRUE(mdbExport(file, "Book").empty());
    }
}

TEST_F(BookWriterTest, RejectedInputLeavesTargetUntouched)
{
    const std::string file = path("existing.book");
    {
        std::ofstream(file, std::ios::binary) << "old content";
    }
    BookSource tooLong;
    tooLong.config.toolName = u"Сонник";
    tooLong.records.push_back({std::u16string(256, u'я'), u"", std::nullopt});
    EXPECT_THROW(writeBookFile(tooLong, file), JetWriteError);

    BookSource foreign;
    foreign.config.toolName = u"Сонник";
    foreign.records.push_back({u"слово", u"текст \u4E00", std::nullopt});
    EXPECT_THROW(writeBookFile(foreign, file), std::invalid_argument);

    BookSource longName;
    longName.config.toolName = std::u16string(300, u'a');
    EXPECT_THROW(writeBookFile(longName, file), JetWriteError);

    EXPECT_EQ(readAll(file), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(m_scratch.root()), fs::directory_iterator()), 1)
        << "no temporary file is left behind";

    EXPECT_THROW(writeBookFile(fixtureBook(), path("missing/folder/x.book")), JetWriteError);
    EXPECT_FALSE(fs::exists(path("missing")));
}
