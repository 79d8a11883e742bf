#include "books/engine/raw_dump.h"

#include "books/engine/jet_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace kelmor::books {

namespace {

const char *typeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Boolean:
        return "boolean";
    case ColumnType::Byte:
        return "byte";
    case ColumnType::Integer:
        return "integer";
    case ColumnType::Long:
        return "long";
    case ColumnType::Currency:
        return "currency";
    case ColumnType::Single:
        return "float";
    case ColumnType::Double:
        return "double";
    case ColumnType::DateTime:
        return "datetime";
    case ColumnType::Binary:
        return "binary";
    case ColumnType::Text:
        return "text";
    case ColumnType::OLE:
        return "ole";
    case ColumnType::Memo:
        return "memo";
    case ColumnType::Guid:
        return "repid";
    case ColumnType::Numeric:
        return "numeric";
    }
    return "unknown";
}

void appendString(std::string &out, std::string_view utf8)
{
    out += jsonQuote(utf8);
}

template <typename T> void appendNumber(std::string &out, T v)
{
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(v)) {
            out += "null";
            return;
        }
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    out.append(buf, r.ptr);
}

std::string currencyText(std::int64_t scaled)
{
    const bool negative = scaled < 0;
    // Magnitude as unsigned, so the smallest value does not overflow.
    const std::uint64_t mag =
        negative ? ~static_cast<std::uint64_t>(scaled) + 1 : static_cast<std::uint64_t>(scaled);
    char frac[8];
    std::snprintf(frac, sizeof frac, "%04u", static_cast<unsigned>(mag % 10000));
    return (negative ? "-" : "") + std::to_string(mag / 10000) + "." + frac;
}

void appendValue(std::string &out, const Value &v)
{
    if (std::holds_alternative<std::monostate>(v)) {
        out += "null";
    } else if (const auto *b = std::get_if<bool>(&v)) {
        out += *b ? "true" : "false";
    } else if (const auto *i = std::get_if<std::int64_t>(&v)) {
        appendNumber(out, *i);
    } else if (const auto *f = std::get_if<float>(&v)) {
        appendNumber(out, *f);
    } else if (const auto *d = std::get_if<double>(&v)) {
        appendNumber(out, *d);
    } else if (const auto *c = std::get_if<Currency>(&v)) {
        appendString(out, currencyText(c->scaled));
    } else if (const auto *t = std::get_if<DateTime>(&v)) {
        const std::string iso = jetDateTimeIso(t->days);
        if (iso.empty()) {
            out += "null";
        } else {
            appendString(out, iso);
        }
    } else if (const auto *s = std::get_if<std::u16string>(&v)) {
        appendString(out, jet::toUtf8(*s));
    } else if (const auto *bytes = std::get_if<Bytes>(&v)) {
        static const char hex[] = "0123456789abcdef";
        std::string text = "hex:";
        text.reserve(4 + 2 * bytes->size());
        for (const std::uint8_t byte : *bytes) {
            text.push_back(hex[byte >> 4]);
            text.push_back(hex[byte & 15]);
        }
        appendString(out, text);
    } else if (const auto *g = std::get_if<Guid>(&v)) {
        appendString(out, g->text);
    } else if (const auto *n = std::get_if<Numeric>(&v)) {
        appendString(out, n->text);
    }
}

std::string baseName(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Civil date from days since 1970-01-01 (proleptic Gregorian).
void civilFromDays(std::int64_t z, std::int64_t &y, unsigned &m, unsigned &d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

} // namespace

std::string jetDateTimeIso(double days)
{
    // Outside years 1..9999 there is no ISO text worth printing.
    if (!std::isfinite(days) || days < -693593.0 || days > 2958466.0) {
        return {};
    }
    double whole = std::trunc(days);
    auto ms = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * 86400000.0));
    if (ms >= 86400000) {
        ms -= 86400000;
        whole += 1;
    }
    std::int64_t y;
    unsigned m, d;
    civilFromDays(static_cast<std::int64_t>(whole) - 25569, y, m, d);
    char buf[96];
    std::snprintf(buf, sizeof buf, "%04lld-%02u-%02uT%02u:%02u:%02u.%03uZ",
                  static_cast<long long>(y), m, d, static_cast<unsigned>(ms / 3600000),
                  static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60),
                  static_cast<unsigned>(ms % 1000));
    return buf;
}

std::string dumpRawJson(const Database &db)
{
    std::string out = "{\n \"file\": ";
    appendString(out, baseName(db.name()));
    out += ",\n \"tables\": {";
    bool firstTable = true;
    for (const std::string &name : db.tableNames()) {
        const auto table = db.openTable(name);
        out += firstTable ? "\n  " : ",\n  ";
        firstTable = false;
        appendString(out, name);
        out += ": {\n   \"columns\": [";
        const auto &columns = table->columns();
        for (std::size_t i = 0; i < columns.size(); ++i) {
            out += i == 0 ? "\n    {\n     \"name\": " : ",\n    {\n     \"name\": ";
            appendString(out, columns[i].name);
            out += ",\n     \"type\": ";
            appendString(out, typeName(columns[i].type));
            out += "\n    }";
        }
        out += columns.empty() ? "],\n   \"rowCount\": " : "\n   ],\n   \"rowCount\": ";
        appendNumber(out, table->recordCount());
        out += ",\n   \"rows\": [";
        bool firstRow = true;
        for (table->moveFirst(); !table->eof(); table->moveNext()) {
            out += firstRow ? "\n    {" : ",\n    {";
            firstRow = false;
            for (std::size_t i = 0; i < columns.size(); ++i) {
                out += i == 0 ? "\n     " : ",\n     ";
                appendString(out, columns[i].name);
                out += ": ";
                appendValue(out, table->value(columns[i].name));
            }
            out += columns.empty() ? "}" : "\n    }";
        }
        out += firstRow ? "]\n  }" : "\n   ]\n  }";
    }
    out += firstTable ? "}\n}\n" : "\n }\n}\n";
    return out;
}

std::string jsonQuote(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size() + 2);
    out.push_back('"');
    for (const char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
                out += buf;
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
    return out;
}

} // namespace kelmor::books
