#include "tools/book_tool.h"

#include "books/engine/jet.h"
#include "books/engine/jet_writer.h"
#include "books/engine/os_error.h"
#include "books/engine/raw_dump.h"
#include "books/engine/textcodec.h"
#include "tools/book_json.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>

#include <unistd.h>

namespace kelmor::tools {

using books::BookSource;
using Kind = JsonValue::Kind;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxText = 255; // characters of a Text column

[[noreturn]] void fault(const JsonValue &at, const std::string &path, const std::string &why)
{
    throw BookSourceError("строка " + std::to_string(at.line) + ": " + path + ": " + why);
}

std::string codePoint(char16_t c)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "U+%04X", unsigned(c));
    return buf;
}

// A text value: UTF-8 → UTF-16, checked to be encodable in Windows-1251.
std::u16string cp1251Text(const JsonValue &v, const std::string &path, std::size_t maxLength)
{
    std::u16string text = books::utf8ToUtf16(v.text);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (!books::toCp1251(std::u16string_view(&c, 1))) {
            // Show a whole character beyond U+FFFF, not half of its surrogate pair.
            std::string shown = codePoint(c);
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "U+%X",
                              0x10000u + ((unsigned(c) - 0xD800u) << 10) +
                                  (unsigned(text[i + 1]) - 0xDC00u));
                shown = buf;
            }
            fault(v, path,
                  "символ " + shown + " (позиция " + std::to_string(i + 1) +
                      ") нельзя записать в кодировке Windows-1251");
        }
    }
    if (text.size() > maxLength)
        fault(v, path, "длиннее " + std::to_string(maxLength) + " символов");
    return text;
}

void checkKeys(const JsonValue &object, const std::string &path,
               std::initializer_list<std::string_view> known)
{
    for (const auto &m : object.members) {
        if (std::find(known.begin(), known.end(), m.key) == known.end())
            fault(m.value, path.empty() ? m.key : path + "." + m.key, "неизвестное поле");
    }
}

const JsonValue &required(const JsonValue &object, std::string_view key, const std::string &path)
{
    const JsonValue *v = object.member(key);
    if (!v)
        fault(object, path, "нет поля \"" + std::string(key) + "\"");
    return *v;
}

std::u16string requiredText(const JsonValue &object, std::string_view key, const std::string &path,
                            std::size_t maxLength)
{
    const std::string at = path + "." + std::string(key);
    const JsonValue &v = required(object, key, path);
    if (v.kind != Kind::String)
        fault(v, at, "ожидалась строка");
    return cp1251Text(v, at, maxLength);
}

// A string or null; a missing key counts as null.
std::optional<std::u16string> optionalText(const JsonValue &object, std::string_view key,
                                           const std::string &path, std::size_t maxLength)
{
    const std::string at = path + "." + std::string(key);
    const JsonValue *v = object.member(key);
    if (!v || v->kind == Kind::Null)
        return std::nullopt;
    if (v->kind != Kind::String)
        fault(*v, at, "ожидалась строка или null");
    return cp1251Text(*v, at, maxLength);
}

// The whole source file, or an empty optional with the reason in `why`. A folder is refused
// up front: reading one through a stream fails with a library exception.
std::optional<std::string> readSource(const std::string &path, std::string &why)
{
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec) {
        why = books::osErrorText(ec.value());
        return std::nullopt;
    }
    if (fs::is_directory(status)) {
        why = "это папка, а не файл";
        return std::nullopt;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = books::osErrorText(errno ? errno : EIO);
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad() || bytes.bad()) {
        why = "ошибка чтения";
        return std::nullopt;
    }
    return std::move(bytes).str();
}

// Why the book may not be written to `output`, or an empty text when it may: the output must
// not be the source itself (also through a link or another name), and whatever stands at the
// output path must be a regular file, which is then replaced as a whole. A read-only file is
// kept unless `force`.
std::string refuseOutput(const std::string &source, const std::string &output, bool force)
{
    std::error_code ec;
    const fs::file_status link = fs::symlink_status(output, ec);
    if (ec || !fs::exists(link))
        return {}; // nothing there yet: a new file
    if (fs::equivalent(source, output, ec) && !ec)
        return "это и есть исходный файл: книга заменила бы собственный источник";
    if (fs::is_symlink(link))
        return "это символическая ссылка; укажите сам файл, а не ссылку на него";
    if (fs::is_directory(link))
        return "это папка, а не файл";
    if (!fs::is_regular_file(link))
        return "это не обычный файл (канал, устройство или сокет)";
    const bool writable =
        ::access(output.c_str(), W_OK) == 0 &&
        (fs::status(output, ec).permissions() & (fs::perms::owner_write | fs::perms::group_write |
                                                 fs::perms::others_write)) != fs::perms::none;
    if (!writable && !force)
        return "файл только для чтения; чтобы всё же заменить его, добавьте --force";
    return {};
}

std::string utf8(const std::optional<std::u16string> &v)
{
    return v ? jsonQuote(books::utf16ToUtf8(*v)) : std::string("null");
}

constexpr const char *kUsage = "Использование:\n"
                               "  kelmor-book build ИСТОЧНИК.json -o ИМЯ.book [--force]\n"
                               "  kelmor-book dump ИМЯ.book\n"
                               "  kelmor-book dump --raw ФАЙЛ\n"
                               "  kelmor-book unlock ФАЙЛ\n"
                               "  kelmor-book lock ФАЙЛ\n"
                               "  kelmor-book --help\n"
                               "build не заменяет ни сам источник, ни ссылку, папку, канал или\n"
                               "устройство на месте ИМЯ.book; файл только для чтения заменяет\n"
                               "лишь с --force.\n";

// The first 22 bytes of a file, or fewer when it is shorter.
std::string fileStart(const std::string &path, bool &readable)
{
    std::ifstream in(path, std::ios::binary);
    readable = static_cast<bool>(in);
    std::string start(books::kBookMarker.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return start;
}

int build(const std::string &source, const std::string &output, bool force, std::ostream &err)
{
    std::string why;
    const std::optional<std::string> json = readSource(source, why);
    if (!json) {
        err << "kelmor-book: не удаётся прочитать «" << source << "»: " << why << "\n";
        return 1;
    }
    why = refuseOutput(source, output, force);
    if (!why.empty()) {
        err << "kelmor-book: «" << output << "» не записан: " << why << "\n";
        return 1;
    }
    try {
        const BookSource book = parseBookSource(*json);
        books::writeBookFile(book, output);
    } catch (const BookSourceError &e) {
        err << "kelmor-book: " << source << ", " << e.what() << "\n";
        return 1;
    } catch (const std::exception &e) {
        err << "kelmor-book: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

int swapHeader(const std::string &path, bool lock, std::ostream &err)
{
    // Only a regular file: opening a named pipe would wait for a writer for ever.
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (!ec && !fs::is_regular_file(status)) {
        err << "kelmor-book: «" << path << "» не изменён: "
            << (fs::is_directory(status) ? "это папка, а не файл" : "это не обычный файл") << "\n";
        return 1;
    }
    bool readable = false;
    const std::string start = fileStart(path, readable);
    if (!readable) {
        err << "kelmor-book: не удаётся открыть «" << path << "»\n";
        return 1;
    }
    const std::string opened(reinterpret_cast<const char *>(books::kOpenedHeader),
                             sizeof books::kOpenedHeader);
    const bool isBook = start == books::kBookMarker;
    const bool isDatabase = start == opened;
    if (!isBook && !isDatabase) {
        err << "kelmor-book: «" << path << "» не сонник и не база данных Jet 4: файл не изменён\n";
        return 1;
    }
    try {
        if (lock && isDatabase)
            books::LockBase(path);
        else if (!lock && isBook)
            books::UnlockBase(path);
    } catch (const std::exception &e) {
        err << "kelmor-book: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

} // namespace

BookSource parseBookSource(std::string_view json)
{
    JsonValue root;
    try {
        root = parseJson(json);
    } catch (const JsonError &e) {
        throw BookSourceError("строка " + std::to_string(e.line()) + ": " + e.what());
    }
    if (root.kind != Kind::Object)
        fault(root, "(документ)", "ожидался объект {\"Config\": …, \"Book\": […]}");
    checkKeys(root, "", {"Config", "Book"});

    BookSource book;
    const JsonValue &config = required(root, "Config", "(документ)");
    if (config.kind != Kind::Object)
        fault(config, "Config", "ожидался объект");
    checkKeys(config, "Config", {"ToolName", "TolkName", "Color", "Icon"});
    book.config.toolName = requiredText(config, "ToolName", "Config", kMaxText);
    book.config.tolkName = optionalText(config, "TolkName", "Config", kMaxText);
    book.config.color = optionalText(config, "Color", "Config", kMaxText);
    if (const JsonValue *icon = config.member("Icon"); icon && icon->kind != Kind::Null) {
        if (icon->kind != Kind::String)
            fault(*icon, "Config.Icon", "ожидалась строка base64 или null");
        std::string bytes;
        if (!decodeBase64(icon->text, bytes))
            fault(*icon, "Config.Icon", "неверная запись base64");
        book.config.icon = books::fromCp1251(bytes);
    }

    const JsonValue &records = required(root, "Book", "(документ)");
    if (records.kind != Kind::Array)
        fault(records, "Book", "ожидался массив записей");
    book.records.reserve(records.items.size());
    for (std::size_t i = 0; i < records.items.size(); ++i) {
        const JsonValue &r = records.items[i];
        const std::string path = "Book[" + std::to_string(i) + "]";
        if (r.kind != Kind::Object)
            fault(r, path, "ожидался объект записи");
        checkKeys(r, path, {"List", "Text", "Links"});
        books::BookRecord rec;
        rec.list = requiredText(r, "List", path, kMaxText);
        rec.text = optionalText(r, "Text", path, SIZE_MAX);
        rec.links = optionalText(r, "Links", path, SIZE_MAX);
        book.records.push_back(std::move(rec));
    }
    return book;
}

std::string bookToJson(const books::Database &db)
{
    std::string out = "{\n  \"Config\": {\n";
    {
        const auto config = db.openTable("Config");
        config->moveFirst();
        if (config->eof())
            throw books::JetError("в таблице Config нет записи");
        const auto toolName = config->text("ToolName");
        const auto icon = config->text("Icon");
        std::string iconJson = "null";
        if (icon) {
            const auto bytes = books::toCp1251(*icon);
            if (!bytes)
                throw books::JetError("Config.Icon: символ вне кодировки Windows-1251");
            iconJson = "\"" + encodeBase64(*bytes) + "\"";
        }
        out += "    \"ToolName\": " + utf8(toolName) + ",\n";
        out += "    \"TolkName\": " + utf8(config->text("TolkName")) + ",\n";
        out += "    \"Color\": " + utf8(config->text("Color")) + ",\n";
        out += "    \"Icon\": " + iconJson + "\n  },\n";
    }
    const auto book = db.openTable("Book");
    out += "  \"Book\": [";
    bool first = true;
    auto decompressed = [](const std::optional<std::u16string> &v) {
        return v ? std::optional<std::u16string>(books::DecompressText(*v)) : std::nullopt;
    };
    for (book->moveFirst(); !book->eof(); book->moveNext()) {
        out += first ? "\n" : ",\n";
        first = false;
        out += "    {\n      \"List\": " + utf8(book->text("List")) + ",\n";
        out += "      \"Text\": " + utf8(decompressed(book->text("Text"))) + ",\n";
        out += "      \"Links\": " + utf8(decompressed(book->text("Links"))) + "\n    }";
    }
    out += first ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

int runBookTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err)
{
    const std::string command = args.empty() ? std::string() : args[0];
    if (command == "build") {
        std::string source, output;
        bool force = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            if (args[i] == "-o" && i + 1 < args.size() && output.empty())
                output = args[++i];
            else if (args[i] == "--force" && !force)
                force = true;
            else if (source.empty() && args[i] != "-o")
                source = args[i];
            else
                source.clear(), output.clear(), i = args.size();
        }
        if (source.empty() || output.empty()) {
            err << kUsage;
            return 2;
        }
        return build(source, output, force, err);
    }
    if (command == "dump" && (args.size() == 2 || (args.size() == 3 && args[1] == "--raw"))) {
        const bool raw = args.size() == 3;
        const std::string &path = args.back();
        try {
            const auto db = books::Database::open(path);
            out << (raw ? books::dumpRawJson(*db) : bookToJson(*db));
            out.flush();
        } catch (const std::exception &e) {
            err << "kelmor-book: " << e.what() << "\n";
            return 1;
        }
        return out ? 0 : 1;
    }
    if ((command == "lock" || command == "unlock") && args.size() == 2)
        return swapHeader(args[1], command == "lock", err);
    if ((command == "--help" || command == "-h") && args.size() == 1) {
        out << kUsage;
        return out ? 0 : 1;
    }
    err << kUsage;
    return 2;
}

} // namespace kelmor::tools
