#include "platform/regedit_file.h"

#include "platform/ansi_text.h"

#include <QStringDecoder>

#include <algorithm>
#include <iterator>
#include <optional>

namespace kelmor::platform {

namespace {

constexpr char HexDigits[] = "0123456789abcdef";

void appendHexBytes(QByteArray &out, const QByteArray &data)
{
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (i > 0)
            out += ',';
        const auto b = static_cast<unsigned char>(data[i]);
        out += HexDigits[b >> 4];
        out += HexDigits[b & 0xF];
    }
}

void appendValueLine(QByteArray &out, const RegeditValue &value)
{
    if (value.name.isEmpty())
        out += '@';
    else
        out += '"' + escapeRegeditText(value.name).toUtf8() + '"';
    out += '=';
    if (value.type == REG_SZ) {
        if (const auto text = singleLineText(value.data)) {
            out += '"' + escapeRegeditText(*text).toUtf8() + "\"\n";
            return;
        }
    }
    if (value.type == REG_DWORD && value.data.size() == 4) {
        quint32 number = 0;
        for (int i = 3; i >= 0; --i)
            number = (number << 8) | static_cast<unsigned char>(value.data[i]);
        out += "dword:" + QByteArray::number(number, 16).rightJustified(8, '0') + '\n';
        return;
    }
    if (value.type == REG_BINARY)
        out += "hex:";
    else
        out += "hex(" + QByteArray::number(value.type, 16) + "):";
    appendHexBytes(out, value.data);
    out += '\n';
}

int hexValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// 1 to 8 hexadecimal digits, the whole view.
std::optional<quint32> parseHexNumber(QStringView digits)
{
    if (digits.isEmpty() || digits.size() > 8)
        return std::nullopt;
    quint32 number = 0;
    for (const QChar c : digits) {
        const int v = hexValue(c);
        if (v < 0)
            return std::nullopt;
        number = (number << 4) | quint32(v);
    }
    return number;
}

// "01,2a,FF": byte pairs separated by commas, spaces around them allowed; empty is no bytes.
std::optional<QByteArray> parseHexBytes(QStringView text)
{
    QByteArray bytes;
    bytes.reserve(text.size() / 3 + 1);
    const QStringView trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return bytes;
    qsizetype start = 0;
    while (start <= trimmed.size()) {
        qsizetype comma = trimmed.indexOf(QLatin1Char(','), start);
        if (comma < 0)
            comma = trimmed.size();
        const QStringView item = trimmed.mid(start, comma - start).trimmed();
        // A trailing comma (a continued line that ends the data) leaves one empty item.
        if (item.isEmpty() && comma == trimmed.size() && start > 0)
            break;
        if (item.isEmpty() || item.size() > 2)
            return std::nullopt;
        const auto number = parseHexNumber(item);
        if (!number)
            return std::nullopt;
        bytes += char(*number);
        start = comma + 1;
    }
    return bytes;
}

// A quoted text starting at text[0] == '"': \\ and \" are a backslash and a quote; any other
// backslash stays as it is. Sets *end to the index after the closing quote.
std::optional<QString> parseQuoted(QStringView text, qsizetype *end)
{
    if (text.isEmpty() || text[0] != QLatin1Char('"'))
        return std::nullopt;
    QString out;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 1 < text.size() &&
            (text[i + 1] == QLatin1Char('\\') || text[i + 1] == QLatin1Char('"'))) {
            out += text[++i];
            continue;
        }
        if (c == QLatin1Char('"')) {
            *end = i + 1;
            return out;
        }
        out += c;
    }
    return std::nullopt;
}

// The right-hand side of a value line.
std::optional<RegeditValue> parseData(QStringView data)
{
    RegeditValue value;
    if (data.startsWith(QLatin1Char('"'))) {
        qsizetype end = 0;
        const auto text = parseQuoted(data, &end);
        if (!text || end != data.size())
            return std::nullopt;
        value.type = REG_SZ;
        value.data = textData(*text);
        return value;
    }
    if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
        const auto number = parseHexNumber(data.mid(6).trimmed());
        if (!number)
            return std::nullopt;
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i)
            value.data += char((*number >> (8 * i)) & 0xFF);
        return value;
    }
    if (!data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive))
        return std::nullopt;
    QStringView rest = data.mid(3);
    value.type = REG_BINARY;
    if (rest.startsWith(QLatin1Char('('))) {
        const qsizetype close = rest.indexOf(QLatin1Char(')'));
        if (close < 0)
            return std::nullopt;
        const auto type = parseHexNumber(rest.mid(1, close - 1));
        if (!type)
            return std::nullopt;
        value.type = *type;
        rest = rest.mid(close + 1);
    }
    if (!rest.startsWith(QLatin1Char(':')))
        return std::nullopt;
    const auto bytes = parseHexBytes(rest.mid(1));
    if (!bytes)
        return std::nullopt;
    value.data = *bytes;
    return value;
}

// A value line: @=data or "name"=data.
std::optional<RegeditValue> parseValueLine(QStringView line)
{
    QString name;
    qsizetype at = 0;
    if (line.startsWith(QLatin1Char('@'))) {
        at = 1;
    } else {
        const auto quoted = parseQuoted(line, &at);
        if (!quoted || quoted->isEmpty())
            return std::nullopt;
        name = *quoted;
    }
    if (at >= line.size() || line[at] != QLatin1Char('='))
        return std::nullopt;
    auto value = parseData(line.mid(at + 1));
    if (!value)
        return std::nullopt;
    value->name = name;
    return value;
}

bool isKnownRootName(QStringView name)
{
    return std::any_of(std::begin(RegistryRootNames), std::end(RegistryRootNames),
                       [&](const char *root) {
                           return name.compare(QLatin1String(root), Qt::CaseInsensitive) == 0;
                       });
}

} // namespace

QByteArray textData(const QString &text)
{
    QByteArray data = text.toUtf8();
    data += '\0';
    return data;
}

std::optional<QString> singleLineText(const QByteArray &data)
{
    if (data.isEmpty() || data.back() != '\0')
        return std::nullopt;
    const QByteArrayView body(data.constData(), data.size() - 1);
    if (body.contains('\0') || body.contains('\n') || body.contains('\r'))
        return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString escapeRegeditText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QByteArray regeditHeader()
{
    return QByteArrayLiteral("REGEDIT4\n\n");
}

void appendRegeditKey(QByteArray &out, const RegeditKey &key)
{
    out += '[' + key.name.toUtf8() + "]\n";
    for (const RegeditValue &value : key.values)
        appendValueLine(out, value);
    out += '\n';
}

QByteArray writeRegeditFile(const QList<RegeditKey> &keys)
{
    QByteArray out = regeditHeader();
    for (const RegeditKey &key : keys)
        appendRegeditKey(out, key);
    return out;
}

RegeditContents readRegeditFile(QByteArrayView bytes, RegeditReading mode)
{
    RegeditContents contents;
    const QString text = decodeAnsiText(bytes);
    const QStringView all(text);

    qsizetype pos = 0;
    int lineNumber = 0;
    // The next physical line, without its line end.
    auto nextLine = [&](QStringView *line) {
        if (pos > all.size() || (pos == all.size() && lineNumber > 0))
            return false;
        qsizetype end = all.indexOf(QLatin1Char('\n'), pos);
        if (end < 0)
            end = all.size();
        QStringView l = all.mid(pos, end - pos);
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
        *line = l;
        pos = end + 1;
        ++lineNumber;
        return true;
    };

    QStringView first;
    if (!nextLine(&first) || first != QLatin1String("REGEDIT4")) {
        if (mode == RegeditReading::Strict) {
            contents.errorLine = 1;
            contents.error = QStringLiteral("первая строка не «REGEDIT4»");
        }
        return contents;
    }
    contents.isRegedit = true;

    RegeditKey *current = nullptr;
    bool inUnknownKey = false;
    QStringView physical;
    while (nextLine(&physical)) {
        const int startLine = lineNumber;
        QString logical = physical.trimmed().toString();
        // A line ending in a backslash continues on the next one (long hex data).
        while (logical.endsWith(QLatin1Char('\\'))) {
            logical.chop(1);
            QStringView more;
            if (!nextLine(&more))
                break;
            logical += more.trimmed();
        }
        const QStringView line(logical);
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;

        auto fail = [&](const QString &why) {
            contents.errorLine = startLine;
            contents.error = why;
        };

        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')) &&
            line.size() >= 2) {
            const QStringView name = line.mid(1, line.size() - 2);
            const qsizetype slash = name.indexOf(QLatin1Char('\\'));
            if (!isKnownRootName(slash < 0 ? name : name.left(slash))) {
                if (mode == RegeditReading::Strict) {
                    fail(QStringLiteral("неизвестный корневой раздел"));
                    return contents;
                }
                current = nullptr;
                inUnknownKey = true;
                continue;
            }
            contents.keys.append(RegeditKey{name.toString(), {}});
            current = &contents.keys.back();
            inUnknownKey = false;
            continue;
        }

        if (line.startsWith(QLatin1Char('@')) || line.startsWith(QLatin1Char('"'))) {
            auto value = parseValueLine(line);
            if (!value) {
                if (mode == RegeditReading::Strict) {
                    fail(QStringLiteral("строка значения не читается"));
                    return contents;
                }
                continue;
            }
            if (!current) {
                if (mode == RegeditReading::Strict && !inUnknownKey) {
                    fail(QStringLiteral("значение до первого раздела"));
                    return contents;
                }
                continue;
            }
            current->values.append(std::move(*value));
            continue;
        }

        if (mode == RegeditReading::Strict) {
            fail(QStringLiteral("строка неизвестного вида"));
            return contents;
        }
    }
    return contents;
}

} // namespace kelmor::platform
