#pragma once

// A plain JSON dump of every user table of a Jet 4 database: each table's columns (name and
// type) and rows, values written as typed JSON (see dumpRawJson).

#include "books/engine/jet.h"

#include <string>
#include <string_view>

namespace kelmor::books {

// {"file": NAME, "tables": {TABLE: {"columns": [{"name", "type"}], "rowCount": N, "rows": [...]}}}
// Text and memo are strings; byte, integer, long, single and double are numbers; boolean is
// true/false; currency and numeric are decimal strings with the stored scale ("3.5000");
// date-time is an ISO-8601 UTC string ("1974-09-21T00:00:00.000Z"); binary and OLE are "hex:"
// and lower-case hex digits; a GUID is its "{...}" text; Null is null. NAME is the file name
// without its folder. Throws JetError for a damaged file.
std::string dumpRawJson(const Database &db);

// The ISO-8601 text of a Jet date-time value (days from 1899-12-30; before that date the
// fraction still counts forward as the time of day: -1.25 is 1899-12-29 06:00).
std::string jetDateTimeIso(double days);

// A JSON string literal (quotes included) of UTF-8 text: '"', '\\' and control characters are
// escaped (\n \r \t \b \f, others as \u00XX), everything else is written as it is.
std::string jsonQuote(std::string_view utf8);

} // namespace kelmor::books
