#include "tools/book_json.h"

#include "books/engine/textcodec.h"

#include <cstdio>

namespace kelmor::tools {

namespace {

constexpr int kMaxDepth = 64;

class Parser
{
public:
    explicit Parser(std::string_view text)
        : m_s(text)
    {
    }

    JsonValue document()
    {
        if (m_s.size() >= 3 && m_s.substr(0, 3) == "\xEF\xBB\xBF")
            m_i = 3; // a UTF-8 byte order mark
        skipSpace();
        JsonValue v = value(0);
        skipSpace();
        if (m_i != m_s.size())
            fail("лишний текст после конца документа JSON");
        return v;
    }

private:
    [[noreturn]] void fail(const std::string &what) const { throw JsonError(m_line, what); }

    bool atEnd() const { return m_i >= m_s.size(); }
    char peek() const { return atEnd() ? '\0' : m_s[m_i]; }

    void skipSpace()
    {
        while (!atEnd()) {
            const char c = m_s[m_i];
            if (c == '\n')
                ++m_line;
            else if (c != ' ' && c != '\t' && c != '\r')
                return;
            ++m_i;
        }
    }

    void expectWord(std::string_view word)
    {
        if (m_s.substr(m_i, word.size()) != word)
            fail("неизвестное значение JSON");
        m_i += word.size();
    }

    JsonValue value(int depth)
    {
        if (depth > kMaxDepth)
            fail("слишком глубокая вложенность JSON");
        JsonValue v;
        v.line = m_line;
        if (atEnd())
            fail("документ JSON обрывается");
        const char c = peek();
        if (c == '{') {
            v.kind = JsonValue::Kind::Object;
            ++m_i;
            skipSpace();
            if (peek() == '}') {
                ++m_i;
                return v;
            }
            for (;;) {
                skipSpace();
                if (peek() != '"')
                    fail("ожидалось имя поля в кавычках");
                std::string key = string();
                for (const auto &m : v.members) {
                    if (m.key == key)
                        fail("поле \"" + key + "\" повторяется");
                }
                skipSpace();
                if (peek() != ':')
                    fail("ожидалось «:» после имени поля");
                ++m_i;
                skipSpace();
                JsonValue item = value(depth + 1);
                v.members.push_back({std::move(key), std::move(item)});
                skipSpace();
                if (peek() == ',') {
                    ++m_i;
                    continue;
                }
                if (peek() == '}') {
                    ++m_i;
                    return v;
                }
                fail("ожидалось «,» или «}»");
            }
        }
        if (c == '[') {
            v.kind = JsonValue::Kind::Array;
            ++m_i;
            skipSpace();
            if (peek() == ']') {
                ++m_i;
                return v;
            }
            for (;;) {
                skipSpace();
                v.items.push_back(value(depth + 1));
                skipSpace();
                if (peek() == ',') {
                    ++m_i;
                    continue;
                }
                if (peek() == ']') {
                    ++m_i;
                    return v;
                }
                fail("ожидалось «,» или «]»");
            }
        }
        if (c == '"') {
            v.kind = JsonValue::Kind::String;
            v.text = string();
            return v;
        }
        if (c == 't' || c == 'f') {
            v.kind = JsonValue::Kind::Bool;
            v.boolean = c == 't';
            expectWord(v.boolean ? "true" : "false");
            return v;
        }
        if (c == 'n') {
            expectWord("null");
            return v;
        }
        if (c == '-' || (c >= '0' && c <= '9')) {
            v.kind = JsonValue::Kind::Number;
            v.text = number();
            return v;
        }
        fail("неожиданный символ в JSON");
    }

    std::string number()
    {
        const std::size_t start = m_i;
        auto digits = [&] {
            const std::size_t from = m_i;
            while (!atEnd() && peek() >= '0' && peek() <= '9')
                ++m_i;
            return m_i > from;
        };
        if (peek() == '-')
            ++m_i;
        if (peek() == '0')
            ++m_i;
        else if (!digits())
            fail("неверное число");
        if (peek() == '.') {
            ++m_i;
            if (!digits())
                fail("неверное число");
        }
        if (peek() == 'e' || peek() == 'E') {
            ++m_i;
            if (peek() == '+' || peek() == '-')
                ++m_i;
            if (!digits())
                fail("неверное число");
        }
        return std::string(m_s.substr(start, m_i - start));
    }

    unsigned hex4()
    {
        if (m_s.size() - m_i < 4)
            fail("неполная последовательность \\u");
        unsigned v = 0;
        for (int k = 0; k < 4; ++k) {
            const char h = m_s[m_i++];
            v <<= 4;
            if (h >= '0' && h <= '9')
                v |= unsigned(h - '0');
            else if (h >= 'a' && h <= 'f')
                v |= unsigned(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
                v |= unsigned(h - 'A' + 10);
            else
                fail("неверная последовательность \\u");
        }
        return v;
    }

    // One UTF-8 character copied through, checked for well-formedness.
    void utf8Char(std::string &out)
    {
        const auto b = static_cast<unsigned char>(m_s[m_i]);
        unsigned len = 0;
        char32_t cp = 0, min = 0;
        if ((b & 0xE0) == 0xC0)
            len = 2, cp = b & 0x1F, min = 0x80;
        else if ((b & 0xF0) == 0xE0)
            len = 3, cp = b & 0x0F, min = 0x800;
        else if ((b & 0xF8) == 0xF0)
            len = 4, cp = b & 0x07, min = 0x10000;
        else
            fail("текст не в кодировке UTF-8");
        if (m_s.size() - m_i < len)
            fail("текст не в кодировке UTF-8");
        for (unsigned k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(m_s[m_i + k]);
            if ((c & 0xC0) != 0x80)
                fail("текст не в кодировке UTF-8");
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            fail("текст не в кодировке UTF-8");
        out.append(m_s.substr(m_i, len));
        m_i += len;
    }

    std::string string()
    {
        ++m_i; // opening quote
        std::string out;
        for (;;) {
            if (atEnd())
                fail("строка JSON не закрыта");
            const char c = m_s[m_i];
            if (c == '"') {
                ++m_i;
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20)
                fail("управляющий символ внутри строки JSON (нужна запись \\n, \\u0000 и т. п.)");
            if (static_cast<unsigned char>(c) >= 0x80) {
                utf8Char(out);
                continue;
            }
            ++m_i;
            if (c != '\\') {
                out.push_back(c);
                continue;
            }
            if (atEnd())
                fail("строка JSON не закрыта");
            const char e = m_s[m_i++];
            switch (e) {
            case '"':
            case '\\':
            case '/':
                out.push_back(e);
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                char32_t cp = hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (m_s.substr(m_i, 2) != "\\u")
                        fail("непарный суррогат в \\u");
                    m_i += 2;
                    const unsigned lo = hex4();
                    if (lo < 0xDC00 || lo > 0xDFFF)
                        fail("непарный суррогат в \\u");
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (lo - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    fail("непарный суррогат в \\u");
                }
                books::appendUtf8(out, cp);
                break;
            }
            default:
                fail("неизвестная последовательность «\\" + std::string(1, e) + "»");
            }
        }
    }

    std::string_view m_s;
    std::size_t m_i = 0;
    int m_line = 1;
};

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

} // namespace

const JsonValue *JsonValue::member(std::string_view key) const
{
    for (const auto &m : members) {
        if (m.key == key)
            return &m.value;
    }
    return nullptr;
}

JsonValue parseJson(std::string_view text)
{
    return Parser(text).document();
}

std::string encodeBase64(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = (unsigned(static_cast<unsigned char>(bytes[i])) << 16) |
                           (unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8) |
                           unsigned(static_cast<unsigned char>(bytes[i + 2]));
        out.push_back(kBase64[v >> 18]);
        out.push_back(kBase64[(v >> 12) & 63]);
        out.push_back(kBase64[(v >> 6) & 63]);
        out.push_back(kBase64[v & 63]);
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = unsigned(static_cast<unsigned char>(bytes[i])) << 16;
        if (rest == 2)
            v |= unsigned(static_cast<unsigned char>(bytes[i + 1])) << 8;
        out.push_back(kBase64[v >> 18]);
        out.push_back(kBase64[(v >> 12) & 63]);
        out.push_back(rest == 2 ? kBase64[(v >> 6) & 63] : '=');
        out.push_back('=');
    }
    return out;
}

bool decodeBase64(std::string_view text, std::string &bytes)
{
    bytes.clear();
    if (text.size() % 4 != 0)
        return false;
    bytes.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pad;
                continue;
            }
            if (pad > 0)
                return false; // data after padding
            v[k] = base64Value(c);
            if (v[k] < 0)
                return false;
        }
        const unsigned n = (unsigned(v[0]) << 18) | (unsigned(v[1]) << 12) | (unsigned(v[2]) << 6) |
                           unsigned(v[3]);
        // Canonical form: the bits under the padding are zero.
        if ((pad == 1 && (n & 0xFF)) || (pad == 2 && (n & 0xFFFF)))
            return false;
        bytes.push_back(static_cast<char>(n >> 16));
        if (pad < 2)
            bytes.push_back(static_cast<char>((n >> 8) & 0xFF));
        if (pad < 1)
            bytes.push_back(static_cast<char>(n & 0xFF));
    }
    return true;
}

} // namespace kelmor::tools
