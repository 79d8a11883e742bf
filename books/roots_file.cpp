#include "books/roots_file.h"

#include "books/headword_index.h"

#include <algorithm>
#include <cstdint>

namespace kelmor::books {

namespace {

constexpr std::string_view kMagicLine = "kelmor roots 1\n";
constexpr std::size_t kChecksumDigits = 16;

std::string escaped(std::string_view key)
{
    std::string out;
    out.reserve(key.size());
    for (const char c : key) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view line)
{
    std::string out;
    out.reserve(line.size());
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != '\\') {
            out += line[i];
            continue;
        }
        if (++i == line.size())
            return std::nullopt;
        if (line[i] == '\\')
            out += '\\';
        else if (line[i] == 'n')
            out += '\n';
        else
            return std::nullopt;
    }
    return out;
}

std::string hex(std::uint64_t value)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out(kChecksumDigits, '0');
    for (std::size_t i = kChecksumDigits; i-- > 0; value >>= 4)
        out[i] = digits[value & 0xF];
    return out;
}

// The lines of a text one by one; a line is taken only when its line break follows.
class Lines
{
public:
    explicit Lines(std::string_view text)
        : m_rest(text)
    {
    }
    std::optional<std::string_view> next()
    {
        const std::size_t end = m_rest.find('\n');
        if (end == std::string_view::npos)
            return std::nullopt;
        const std::string_view line = m_rest.substr(0, end);
        m_rest.remove_prefix(end + 1);
        return line;
    }
    std::string_view rest() const { return m_rest; }

private:
    std::string_view m_rest;
};

std::optional<std::size_t> count(std::string_view line, std::size_t atMost)
{
    if (line.empty() || line.size() > 9)
        return std::nullopt;
    std::size_t n = 0;
    for (const char c : line) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + std::size_t(c - '0');
    }
    if (n > atMost)
        return std::nullopt;
    return n;
}

} // namespace

std::string encodeRootsFile(const RootsFile &file)
{
    std::string rest = escaped(file.dictionaryKey) + '\n';
    rest += std::to_string(file.formKeys.size()) + '\n';
    for (const std::string &key : file.formKeys)
        rest += escaped(key) + '\n';
    rest += file.words;
    return std::string(kMagicLine) + hex(headwordIndexChecksum(rest)) + '\n' + rest;
}

std::optional<RootsFile> decodeRootsFile(std::string_view bytes, bool verifyChecksum)
{
    if (bytes.substr(0, kMagicLine.size()) != kMagicLine)
        return std::nullopt;
    Lines lines(bytes.substr(kMagicLine.size()));
    const std::optional<std::string_view> checksum = lines.next();
    if (!checksum || checksum->size() != kChecksumDigits ||
        (verifyChecksum && *checksum != hex(headwordIndexChecksum(lines.rest()))))
        return std::nullopt;
    RootsFile file;
    const std::optional<std::string_view> dictionaryLine = lines.next();
    std::optional<std::string> dictionaryKey;
    if (dictionaryLine)
        dictionaryKey = unescaped(*dictionaryLine);
    const std::optional<std::string_view> countLine = lines.next();
    if (!dictionaryKey || !countLine)
        return std::nullopt;
    file.dictionaryKey = std::move(*dictionaryKey);
    // Each key takes a line of its own: no more keys than the bytes left.
    const std::optional<std::size_t> keys = count(*countLine, lines.rest().size());
    if (!keys)
        return std::nullopt;
    file.formKeys.reserve(*keys);
    for (std::size_t i = 0; i < *keys; ++i) {
        const std::optional<std::string_view> line = lines.next();
        std::optional<std::string> key;
        if (line)
            key = unescaped(*line);
        if (!key || (!file.formKeys.empty() && !(file.formKeys.back() < *key)))
            return std::nullopt;
        file.formKeys.push_back(std::move(*key));
    }
    // A word list starts with its count.
    Lines words(lines.rest());
    const std::optional<std::string_view> wordCount = words.next();
    if (!wordCount || !count(*wordCount, lines.rest().size()))
        return std::nullopt;
    file.words = std::string(lines.rest());
    return file;
}

} // namespace kelmor::books
