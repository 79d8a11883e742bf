#include "books/engine/jet.h"
#include "books/engine/textcodec.h"
#include "tools/book_json.h"
#include "tools/book_tool.h"

#include "support/scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace kelmor::tools;
namespace fs = std::filesystem;

namespace {

class BookToolTest : public ::testing::Test
{
protected:
    std::string path(const std::string &name) const { return m_scratch.path(name); }
    std::string write(const std::string &name, const std::string &content) const
    {
        std::ofstream(path(name), std::ios::binary) << content;
        return path(name);
    }
    static std::string read(const std::string &file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    int run(const std::vector<std::string> &args)
    {
        m_out.str({});
        m_err.str({});
        return runBookTool(args, m_out, m_err);
    }

    kelmor::testing::ScratchDir m_scratch{"kelmor-tool-"};
    std::ostringstream m_out;
    std::ostringstream m_err;
};

// Canonical form: 2-space indent, keys in table order. Covers Null values, an empty text,
// escapes (quotes, backslash, CR LF, tab, NUL), Windows-1251 punctuation and an icon whose
// bytes include NUL and 0x98.
const char *const kCanonical = R"({
  "Config": {
    "ToolName": "Сонник \"Проба\"",
    "TolkName": "Толкование по книге",
    "Color": "255",
    "Icon": "R0lGODlhAQABAIAAAP8AAJgAACwAAAAAAQABAAACAkQBADs="
  },
  "Book": [
    {
      "List": "Вода",
      "Text": "Вода – к слезам.\r\nЧистая вода – к радости.\tКонец\\",
      "Links": "Река; Море."
    },
    {
      "List": "Ёж",
      "Text": "",
      "Links": null
    },
    {
      "List": "Знаки «№ §» \u0000",
      "Text": null,
      "Links": "a\u0000b"
    }
  ]
}
)";

} // namespace

TEST_F(BookToolTest, BuildThenDumpRoundTripsByteForByte)
{
    const std::string source = write("src.json", kCanonical);
    ASSERT_EQ(run({"build", source, "-o", path("b.book")}), 0) << m_err.str();
    EXPECT_TRUE(kelmor::books::IsValidVersion(path("b.book")));
    ASSERT_EQ(run({"dump", path("b.book")}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), kCanonical);

    // A non-canonical source (other spacing, key order, missing optional keys, escapes)
    // dumps to the canonical form of the same content.
    const std::string loose = write(
        "loose.json",
        "{\"Book\":[{\"Links\":null,\"List\":\"\\u0412\\u043e\\u0434\\u0430\",\"Text\":\"x\"}],"
        "\r\n\"Config\":{\"ToolName\":\"T\"}}");
    ASSERT_EQ(run({"build", loose, "-o", path("l.book")}), 0) << m_err.str();
    ASSERT_EQ(run({"dump", path("l.book")}), 0);
    EXPECT_EQ(m_out.str(), "{\n  \"Config\": {\n    \"ToolName\": \"T\",\n    \"TolkName\": null,\n"
                           "    \"Color\": null,\n    \"Icon\": null\n  },\n  \"Book\": [\n    {\n"
                           "      \"List\": \"Вода\",\n      \"Text\": \"x\",\n      \"Links\": "
                           "null\n    }\n  ]\n}\n");

    const std::string empty =
        "{\n  \"Config\": {\n    \"ToolName\": \"\",\n    \"TolkName\": \"\",\n    \"Color\": "
        "\"0\",\n    \"Icon\": \"\"\n  },\n  \"Book\": []\n}\n";
    ASSERT_EQ(run({"build", write("e.json", empty), "-o", path("e.book")}), 0) << m_err.str();
    ASSERT_EQ(run({"dump", path("e.book")}), 0);
    EXPECT_EQ(m_out.str(), empty);
}

TEST_F(BookToolTest, BadSourcesFailWithLineAndPathAndLeaveNoFile)
{
    struct Case
    {
        const char *name;
        std::string json;
        std::vector<std::string> expected; // parts of the error message
    };
    const Case cases[] = {
        {"invalid JSON",
         "{\"Config\": {\"ToolName\": \"T\"},\n\"Book\": [\n{\"List\": \"a\",}]}",
         {"строка 3"}},
        {"not UTF-8", "{\"Config\": {\"ToolName\": \"\xC0\xC1\"}, \"Book\": []}", {"UTF-8"}},
        {"missing ToolName",
         "{\"Config\": {\"TolkName\": \"x\"},\n \"Book\": []}",
         {"строка 1", "Config", "ToolName"}},
        {"null ToolName",
         "{\"Config\": {\"ToolName\": null}, \"Book\": []}",
         {"Config.ToolName", "строка"}},
        {"character outside Windows-1251",
         "{\"Config\": {\"ToolName\": \"T\"}, \"Book\": [\n{\"List\": \"a\"},\n"
         "{\"List\": \"b\", \"Text\": \"ok \u4E00\"}]}",
         {"строка 3", "Book[1].Text", "U+4E00", "Windows-1251"}},
        {"character beyond U+FFFF",
         "{\"Config\": {\"ToolName\": \"\\ud83c\\udf19\"}, \"Book\": []}",
         {"Config.ToolName", "U+1F319"}},
        {"wrong type",
         "{\"Config\": {\"ToolName\": \"T\"}, \"Book\": [{\"List\": 5}]}",
         {"Book[0].List", "строка"}},
        {"Book not an array", "{\"Config\": {\"ToolName\": \"T\"}, \"Book\": {}}", {"Book"}},
        {"unknown key",
         "{\"Config\": {\"ToolName\": \"T\", \"Colour\": \"1\"}, \"Book\": []}",
         {"Config.Colour"}},
        {"bad base64",
         "{\"Config\": {\"ToolName\": \"T\", \"Icon\": \"abc\"}, \"Book\": []}",
         {"Config.Icon", "base64"}},
        {"headword too long",
         "{\"Config\": {\"ToolName\": \"T\"}, \"Book\": [{\"List\": \"" + std::string(256, 'a') +
             "\"}]}",
         {"Book[0].List", "255"}},
        {"missing Book", "{\"Config\": {\"ToolName\": \"T\"}}", {"Book"}},
    };
    for (const Case &k : cases) {
        const std::string source = write("bad.json", k.json);
        const std::string output = path("bad.book");
        EXPECT_EQ(run({"build", source, "-o", output}), 1) << k.name;
        for (const std::string &part : k.expected)
            EXPECT_NE(m_err.str().find(part), std::string::npos)
                << k.name << ": «" << part << "» not in: " << m_err.str();
        EXPECT_FALSE(fs::exists(output)) << k.name;
    }
    // Nothing but the source is left in the folder (no temporary files).
    EXPECT_EQ(std::distance(fs::directory_iterator(m_scratch.root()), fs::directory_iterator()), 1);

    EXPECT_EQ(run({"build", path("missing.json"), "-o", path("x.book")}), 1);
    EXPECT_EQ(run({"build", path("x.json")}), 2);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({}), 2);
}

TEST_F(BookToolTest, FailedBuildKeepsAnExistingBook)
{
    const std::string output = write("keep.book", "previous");
    const std::string bad = write("bad.json", "{\"Config\": {}}");
    EXPECT_EQ(run({"build", bad, "-o", output}), 1);
    EXPECT_EQ(read(output), "previous");
}

// An output path that is the source itself (by name, through a link, or as a second name of
// the same file), or that holds anything but a regular file, is refused: exit status 1, a
// Russian reason, nothing written, everything left as it was. A read-only file is replaced only
// with --force.
TEST_F(BookToolTest, BuildRefusesOutputsThatWouldLoseData)
{
    const std::string source = write("src.json", kCanonical);
    const std::string other = write("other.txt", "keep me");
    using Setup = std::function<std::string()>; // makes the output path, returns it
    const struct
    {
        const char *what;
        Setup setup;
        const char *reason;
    } cases[] = {
        {"the source itself", [&] { return source; }, "это и есть исходный файл"},
        {"a symbolic link to the source",
         [&] {
             fs::create_symlink(source, path("link-to-src.book"));
             return path("link-to-src.book");
         },
         "это и есть исходный файл"},
        {"a hard link to the source",
         [&] {
             fs::create_hard_link(source, path("hard.book"));
             return path("hard.book");
         },
         "это и есть исходный файл"},
        {"a symbolic link to another file",
         [&] {
             fs::create_symlink(other, path("link.book"));
             return path("link.book");
         },
         "символическая ссылка"},
        {"a dangling symbolic link",
         [&] {
             fs::create_symlink(path("nowhere"), path("dangling.book"));
             return path("dangling.book");
         },
         "символическая ссылка"},
        {"a named pipe",
         [&] {
             EXPECT_EQ(::mkfifo(path("pipe.book").c_str(), 0644), 0);
             return path("pipe.book");
         },
         "не обычный файл"},
        {"a folder",
         [&] {
             fs::create_directory(path("dir.book"));
             return path("dir.book");
         },
         "это папка"},
        {"a read-only file",
         [&] {
             const std::string ro = write("ro.book", "read-only");
             fs::permissions(ro, fs::perms::owner_read | fs::perms::group_read);
             return ro;
         },
         "только для чтения; чтобы всё же заменить его, добавьте --force"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const std::string output = c.setup();
        const auto before = fs::symlink_status(output).type();
        EXPECT_EQ(run({"build", source, "-o", output}), 1);
        EXPECT_NE(m_err.str().find("«" + output + "» не записан: "), std::string::npos)
            << m_err.str();
        EXPECT_NE(m_err.str().find(c.reason), std::string::npos) << m_err.str();
        EXPECT_EQ(fs::symlink_status(output).type(), before);
        EXPECT_EQ(read(source), kCanonical);
        EXPECT_EQ(read(other), "keep me");
    }
    EXPECT_FALSE(fs::exists(path("nowhere")));
    EXPECT_EQ(read(path("ro.book")), "read-only");
    for (const auto &entry : fs::directory_iterator(m_scratch.root()))
        EXPECT_EQ(entry.path().string().find(".tmp-"), std::string::npos) << entry.path();

    // Asked to, the read-only file is replaced by the book.
    EXPECT_EQ(run({"build", "--force", source, "-o", path("ro.book")}), 0) << m_err.str();
    EXPECT_TRUE(kelmor::books::IsValidVersion(path("ro.book")));
}

// A folder as the source of build, or as the file to dump, lock or unlock, gets our own
// Russian message and exit status 1 (build used to abort with an uncaught library exception);
// a named pipe is refused without waiting for a writer.
TEST_F(BookToolTest, FoldersAndPipesGiveOurOwnMessages)
{
    const std::string tool = KELMOR_BOOK_TOOL;
    fs::create_directory(path("folder"));
    ASSERT_EQ(::mkfifo(path("pipe").c_str(), 0644), 0);
    const auto sh = [&](const std::string &args) {
        const std::string command =
            "timeout 20 '" + tool + "' " + args + " 2>'" + path("err.txt") + "'";
        const int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const struct
    {
        std::string args;
        std::string message;
    } cases[] = {
        {"build '" + path("folder") + "' -o '" + path("x.book") + "'",
         "не удаётся прочитать «" + path("folder") + "»: это папка, а не файл"},
        {"dump '" + path("folder") + "'", "«" + path("folder") + "»: это папка, а не файл"},
        {"dump --raw '" + path("folder") + "'", "«" + path("folder") + "»: это папка, а не файл"},
        {"dump '" + path("pipe") + "'", "«" + path("pipe") + "»: это не обычный файл"},
        {"lock '" + path("pipe") + "'", "«" + path("pipe") + "» не изменён: это не обычный файл"},
        {"unlock '" + path("folder") + "'", "«" + path("folder") + "» не изменён: это папка"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.args);
        EXPECT_EQ(sh(c.args), 1);
        const std::string err = read(path("err.txt"));
        EXPECT_NE(err.find("kelmor-book: " + c.message), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists(path("x.book")));
}

TEST_F(BookToolTest, LockAndUnlockFlipExactlyTheFirst22Bytes)
{
    const std::string book = path("l.book");
    ASSERT_EQ(run({"build", write("s.json", kCanonical), "-o", book}), 0);
    const std::string locked = read(book);

    ASSERT_EQ(run({"unlock", book}), 0) << m_err.str();
    const std::string unlocked = read(book);
    ASSERT_EQ(unlocked.size(), locked.size());
    EXPECT_EQ(unlocked.substr(0, 22),
              std::string(reinterpret_cast<const char *>(kelmor::books::kOpenedHeader), 22));
    EXPECT_EQ(unlocked.substr(22), locked.substr(22));
    EXPECT_FALSE(kelmor::books::IsValidVersion(book));
    // A plain database dumps the same; unlocking twice changes nothing.
    ASSERT_EQ(run({"dump", book}), 0);
    EXPECT_EQ(m_out.str(), kCanonical);
    EXPECT_EQ(run({"unlock", book}), 0);
    EXPECT_EQ(read(book), unlocked);

    ASSERT_EQ(run({"lock", book}), 0) << m_err.str();
    EXPECT_EQ(read(book), locked);

    // A file that is neither a book nor a Jet database is not touched.
    const std::string other = write("other.txt", "just some text, not a database at all");
    EXPECT_EQ(run({"unlock", other}), 1);
    EXPECT_EQ(run({"lock", other}), 1);
    EXPECT_EQ(read(other), "just some text, not a database at all");
    EXPECT_EQ(run({"lock", path("missing.book")}), 1);
}

TEST_F(BookToolTest, DumpRawAndDamagedFiles)
{
    const std::string book = path("r.book");
    ASSERT_EQ(run({"build", write("s.json", kCanonical), "-o", book}), 0);
    ASSERT_EQ(run({"dump", "--raw", book}), 0) << m_err.str();
    EXPECT_NE(m_out.str().find("\"Book\""), std::string::npos);
    EXPECT_NE(m_out.str().find("\"Config\""), std::string::npos);

    std::string bytes = read(book);
    bytes.resize(3 * 4096 + 100); // cut inside the catalogue
    const std::string cut = write("cut.book", bytes);
    EXPECT_EQ(run({"dump", cut}), 1);
    EXPECT_FALSE(m_err.str().empty());
    EXPECT_EQ(run({"dump", path("missing.book")}), 1);
}

TEST_F(BookToolTest, HelpGoesToStandardOutputAndWrongUsageToStandardError)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"--help"}, std::vector<std::string>{"-h"}}) {
        EXPECT_EQ(run(args), 0) << args[0];
        EXPECT_NE(m_out.str().find("kelmor-book dump"), std::string::npos) << args[0];
        EXPECT_TRUE(m_err.str().empty()) << args[0];
    }
    const std::vector<std::vector<std::string>> wrong = {
        {}, {"frobnicate"}, {"--help", "dump"}, {"dump"}, {"lock"}, {"build", "s.json"}};
    for (const auto &args : wrong) {
        EXPECT_EQ(run(args), 2) << ::testing::PrintToString(args);
        EXPECT_TRUE(m_out.str().empty()) << ::testing::PrintToString(args);
        EXPECT_NE(m_err.str().find("kelmor-book build"), std::string::npos)
            << ::testing::PrintToString(args);
    }
}

TEST_F(BookToolTest, ExecutableReportsFailureThroughItsExitStatus)
{
    const std::string tool = KELMOR_BOOK_TOOL;
    const std::string good = write("g.json", kCanonical);
    const std::string bad = write("b.json", "{\"Config\": {\"ToolName\": 1}, \"Book\": []}");
    auto sh = [](const std::string &cmd) { return std::system((cmd + " 2>/dev/null").c_str()); };
    EXPECT_EQ(sh("'" + tool + "' build '" + good + "' -o '" + path("g.book") + "'"), 0);
    EXPECT_NE(sh("'" + tool + "' build '" + bad + "' -o '" + path("b.book") + "'"), 0);
    EXPECT_TRUE(fs::exists(path("g.book")));
    EXPECT_FALSE(fs::exists(path("b.book")));
}

TEST(BookJson, ParsesValuesWithLines)
{
    const JsonValue v =
        parseJson("\xEF\xBB\xBF{\"a\": [1, -2.5e3, true, false, null],\n"
                  "\"b\": \"\\\"\\\\\\/\\b\\f\\n\\r\\t\\u0000\\u0436\\ud83c\\udf19\"}");
    ASSERT_EQ(v.kind, JsonValue::Kind::Object);
    const JsonValue *a = v.member("a");
    ASSERT_TRUE(a);
    ASSERT_EQ(a->items.size(), 5u);
    EXPECT_EQ(a->items[1].text, "-2.5e3");
    EXPECT_TRUE(a->items[2].boolean);
    EXPECT_EQ(a->items[4].kind, JsonValue::Kind::Null);
    const JsonValue *b = v.member("b");
    ASSERT_TRUE(b);
    EXPECT_EQ(b->line, 2);
    EXPECT_EQ(b->text, std::string("\"\\/\b\f\n\r\t\0\xD0\xB6\xF0\x9F\x8C\x99", 15));
    // The writer's quoting reads back to the same text.
    EXPECT_EQ(parseJson(jsonQuote(b->text)).text, b->text);
}

TEST(BookJson, RejectsMalformedDocuments)
{
    struct Case
    {
        std::string json;
        int line;
    };
    const Case cases[] = {
        {"", 1},
        {"{", 1},
        {"{\"a\" 1}", 1},
        {"{\"a\": 1,}", 1},
        {"[1,\n2,\n]", 3},
        {"{\"a\": 1, \"a\": 2}", 1},
        {"\"abc", 1},
        {"\"a\nb\"", 1},
        {"\"\\x\"", 1},
        {"\"\\ud800\"", 1},
        {"\"\\udc00\"", 1},
        {"\"\\u12\"", 1},
        {"01", 1},
        {"1.", 1},
        {"-", 1},
        {"tru", 1},
        {"[1] 2", 1},
        {"\n\n\"\xE0\x80\x80\"", 3}, // overlong UTF-8
        {std::string(100, '['), 1},  // nesting limit
    };
    for (const Case &k : cases) {
        try {
            parseJson(k.json);
            ADD_FAILURE() << "accepted: " << k.json;
        } catch (const JsonError &e) {
            EXPECT_EQ(e.line(), k.line) << k.json << ": " << e.what();
        }
    }
}

TEST(BookJson, Base64)
{
    // RFC 4648 test vectors.
    const std::pair<std::string, std::string> vectors[] = {{"", ""},
                                                           {"f", "Zg=="},
                                                           {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},
                                                           {"foob", "Zm9vYg=="},
                                                           {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"},
                                                           {std::string("\0\xFF\x98", 3), "AP+Y"}};
    for (const auto &[bytes, text] : vectors) {
        EXPECT_EQ(encodeBase64(bytes), text);
        std::string decoded;
        EXPECT_TRUE(decodeBase64(text, decoded)) << text;
        EXPECT_EQ(decoded, bytes);
    }
    std::string out;
    for (const char *bad : {"Zg=", "Zg", "Z===", "Zh==", "Zm9=", "Zg==Zg==", "Zm 9v", "Zm9v\n"})
        EXPECT_FALSE(decodeBase64(bad, out)) << bad;
}
