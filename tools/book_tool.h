#pragma once

// The kelmor-book command-line tool: builds dream books from JSON sources, dumps books (and any
// Jet 4 file) as JSON, and turns a book into a plain Jet database and back.

#include "books/engine/book_writer.h"

#include <iosfwd>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::books {
class Database;
}

namespace kelmor::tools {

// A fault in a book source: the message names the line and the JSON path.
class BookSourceError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads a book source: {"Config": {"ToolName", "TolkName", "Color", "Icon" (base64)},
// "Book": [{"List", "Text", "Links"}, ...]}, UTF-8, with Text and Links decompressed. Every
// text must be encodable in Windows-1251. Throws BookSourceError.
books::BookSource parseBookSource(std::string_view json);

// The book's canonical JSON (2-space indent, keys in the order above, Text and Links
// decompressed, a final newline). parseBookSource of it gives the book back.
std::string bookToJson(const books::Database &db);

// Runs the tool; returns the exit status (0 success, 1 failure, 2 wrong usage).
int runBookTool(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

} // namespace kelmor::tools
