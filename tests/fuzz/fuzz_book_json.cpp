// Fuzz target of the book source reader: any input either parses into a book or raises
// BookSourceError; a parsed document's strings survive the writer's quoting.

#include "tools/book_json.h"
#include "tools/book_tool.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace kelmor::tools;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    try {
        (void)parseBookSource(text);
    } catch (const BookSourceError &) {
    }
    try {
        const JsonValue v = parseJson(text);
        if (v.kind == JsonValue::Kind::String && parseJson(jsonQuote(v.text)).text != v.text)
            std::abort();
    } catch (const JsonError &) {
    }
    return 0;
}
