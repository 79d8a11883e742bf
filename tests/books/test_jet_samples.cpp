// Real Jet 4 files written by the vendor's engine, read by us and compared with how an
// independent reader reads them (NAME.expected.json beside each NAME.mdb).

#include "books/engine/raw_dump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <variant>
#include <vector>

namespace fs = std::filesystem;
using namespace kelmor::books;

namespace {

// A small JSON reader, enough for the expected files and our dump.
struct Json
{
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>; // keeps member order
    std::variant<std::nullptr_t, bool, double, std::string, Array, Object> v;

    bool operator==(const Json &) const = default;
    const Json &at(const std::string &key) const
    {
        for (const auto &[k, value] : std::get<Object>(v)) {
            if (k == key) {
                return value;
            }
        }
        throw std::out_of_range("no member " + key);
    }
};

class JsonParser
{
public:
    explicit JsonParser(const std::string &text)
        : m_s(text)
    {
    }
    Json parseDocument()
    {
        Json j = parse();
        skip();
        if (m_i != m_s.size()) {
            throw std::runtime_error("trailing text at " + std::to_string(m_i));
        }
        return j;
    }

private:
    void skip()
    {
        while (m_i < m_s.size() && std::isspace(static_cast<unsigned char>(m_s[m_i]))) {
            ++m_i;
        }
    }
    void expect(char c)
    {
        skip();
        if (m_i >= m_s.size() || m_s[m_i] != c) {
            throw std::runtime_error(std::string("expected ") + c + " at " + std::to_string(m_i));
        }
        ++m_i;
    }
    static void putUtf8(std::string &out, char32_t c)
    {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    std::string string()
    {
        expect('"');
        std::string out;
        while (m_i < m_s.size() && m_s[m_i] != '"') {
            char c = m_s[m_i++];
            if (c != '\\') {
                out += c;
                continue;
            }
            c = m_s.at(m_i++);
            switch (c) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'u': {
                char32_t cp = std::stoul(m_s.substr(m_i, 4), nullptr, 16);
                m_i += 4;
                if (cp >= 0xD800 && cp <= 0xDBFF && m_s.compare(m_i, 2, "\\u") == 0) {
                    const char32_t lo = std::stoul(m_s.substr(m_i + 2, 4), nullptr, 16);
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                    m_i += 6;
                }
                putUtf8(out, cp);
                break;
            }
            default:
                out += c;
            }
        }
        expect('"');
        return out;
    }
    Json parse()
    {
        skip();
        if (m_i >= m_s.size()) {
            throw std::runtime_error("unexpected end");
        }
        const char c = m_s[m_i];
        if (c == '{') {
            ++m_i;
            Json::Object obj;
            skip();
            if (m_s[m_i] == '}') {
                ++m_i;
                return {obj};
            }
            for (;;) {
                std::string key = string();
                expect(':');
                obj.emplace_back(std::move(key), parse());
                skip();
                if (m_s.at(m_i++) == '}') {
                    return {obj};
                }
            }
        }
        if (c == '[') {
            ++m_i;
            Json::Array arr;
            skip();
            if (m_s[m_i] == ']') {
                ++m_i;
                return {arr};
            }
            for (;;) {
                arr.push_back(parse());
                skip();
                if (m_s.at(m_i++) == ']') {
                    return {arr};
                }
            }
        }
        if (c == '"') {
            return {string()};
        }
        if (m_s.compare(m_i, 4, "null") == 0) {
            m_i += 4;
            return {nullptr};
        }
        if (m_s.compare(m_i, 4, "true") == 0) {
            m_i += 4;
            return {true};
        }
        if (m_s.compare(m_i, 5, "false") == 0) {
            m_i += 5;
            return {false};
        }
        std::size_t used = 0;
        const double d = std::stod(m_s.substr(m_i, 40), &used);
        m_i += used;
        return {d};
    }

    const std::string &m_s;
    std::size_t m_i = 0;
};

Json parseJson(const std::string &text)
{
    return JsonParser(text).parseDocument();
}

std::string readText(const fs::path &p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

fs::path samplesDir()
{
    const char *shared = std::getenv("KELMOR_SHARED_DIR");
    return fs::path(shared ? shared : KELMOR_DEFAULT_SHARED_DIR) / "jet-samples";
}

std::vector<fs::path> sampleFiles()
{
    std::vector<fs::path> files;
    if (fs::is_directory(samplesDir())) {
        for (const auto &e : fs::directory_iterator(samplesDir())) {
            if (e.path().extension() == ".mdb") {
                files.push_back(e.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

TEST(JsonParser, ReadsNestedValuesAndEscapes)
{
    const Json j = parseJson(R"({"a": [1, -2.5e1, true, null, "x\"\u0436\ud83d\ude00"], "b": {}})");
    const auto &arr = std::get<Json::Array>(j.at("a").v);
    ASSERT_EQ(arr.size(), 5u);
    EXPECT_EQ(std::get<double>(arr[1].v), -25.0);
    EXPECT_EQ(std::get<std::string>(arr[4].v), "x\"\xD0\xB6\xF0\x9F\x98\x80");
    EXPECT_THROW(parseJson("[1, 2"), std::exception);
}

// Every table, column (name and type), row count and value of every sample equals the
// independent reader's view, rows in the same order, whatever the size of the page cache.
TEST(JetSamples, EverySampleReadsLikeTheIndependentReader)
{
    const auto files = sampleFiles();
    if (files.empty()) {
        GTEST_SKIP() << "no samples in " << samplesDir();
    }
    for (const auto &mdb : files) {
        SCOPED_TRACE(mdb.filename().string());
        fs::path expectedPath = mdb;
        expectedPath.replace_extension(".expected.json");
        const Json expected = parseJson(readText(expectedPath));
        const auto db = Database::open(mdb.string());
        const std::string dump = dumpRawJson(*db);
        const Json got = parseJson(dump);
        // A cache of one page drops every page as soon as the next is read: what the reader
        // still holds must stay valid, and the result must not change.
        EXPECT_EQ(dumpRawJson(*Database::open(mdb.string(), 1)), dump);

        EXPECT_EQ(got.at("file"), expected.at("file"));
        const auto &expTables = std::get<Json::Object>(expected.at("tables").v);
        const auto &gotTables = std::get<Json::Object>(got.at("tables").v);
        ASSERT_EQ(gotTables.size(), expTables.size());
        for (std::size_t t = 0; t < expTables.size(); ++t) {
            const auto &[name, table] = expTables[t];
            SCOPED_TRACE(name);
            EXPECT_EQ(gotTables[t].first, name);
            const Json &mine = gotTables[t].second;
            EXPECT_EQ(mine.at("columns"), table.at("columns"));
            EXPECT_EQ(mine.at("rowCount"), table.at("rowCount"));
            const auto &expRows = std::get<Json::Array>(table.at("rows").v);
            const auto &gotRows = std::get<Json::Array>(mine.at("rows").v);
            ASSERT_EQ(gotRows.size(), expRows.size());
            for (std::size_t r = 0; r < expRows.size(); ++r) {
                for (const auto &[column, value] : std::get<Json::Object>(expRows[r].v)) {
                    EXPECT_EQ(gotRows[r].at(column), value) << "row " << r << ", " << column;
                }
            }
        }
    }
}

TEST(JetSamples, DateTimeTextFollowsTheDayCountConvention)
{
    const struct
    {
        double days;
        const char *iso;
    } cases[] = {
        {0.0, "1899-12-30T00:00:00.000Z"},         {-1.25, "1899-12-29T06:00:00.000Z"},
        {27293.0, "1974-09-21T00:00:00.000Z"},     {36526.5, "2000-01-01T12:00:00.000Z"},
        {1.0 - 1e-10, "1899-12-31T00:00:00.000Z"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(jetDateTimeIso(c.days), c.iso) << c.days;
    }
    EXPECT_EQ(jetDateTimeIso(1e300), "");
}
