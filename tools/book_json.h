#pragma once

// A small JSON reader and writer for the kelmor-book tool: UTF-8 text in, a value tree with
// line numbers out. Standard library only; every read is bounds-checked, nesting is limited.

#include "books/engine/raw_dump.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::tools {

class JsonError : public std::runtime_error
{
public:
    JsonError(int line, const std::string &what)
        : std::runtime_error(what)
        , m_line(line)
    {
    }
    int line() const { return m_line; }

private:
    int m_line;
};

struct JsonMember;

struct JsonValue
{
    enum class Kind { Null, Bool, Number, String, Array, Object };
    Kind kind = Kind::Null;
    bool boolean = false;
    std::string text; // a string's UTF-8 value, or a number's source text
    std::vector<JsonValue> items;
    std::vector<JsonMember> members; // in source order, keys unique
    int line = 1;                    // where the value starts

    const JsonValue *member(std::string_view key) const;
};

struct JsonMember
{
    std::string key;
    JsonValue value;
};

// Parses one JSON document (RFC 8259; UTF-8; no duplicate keys). Throws JsonError with the
// line of the fault.
JsonValue parseJson(std::string_view text);

// A JSON string literal of UTF-8 text, shared with the raw dump.
using books::jsonQuote;

// Base64 (RFC 4648, with padding). decodeBase64 returns false for anything but canonical
// base64.
std::string encodeBase64(std::string_view bytes);
bool decodeBase64(std::string_view text, std::string &bytes);

} // namespace kelmor::tools
