#include "books/engine/textcodec.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace kelmor::books {

namespace {

// Unicode of the Windows-1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F, 0x00..0x7F are
// ASCII. 0x98 is undefined in the code page and maps to U+0098 so that every byte round-trips.
constexpr std::array<char16_t, 64> kHigh = {
    u'\u0402', u'\u0403', u'\u201A', u'\u0453', u'\u201E', u'\u2026', u'\u2020', u'\u2021',
    u'\u20AC', u'\u2030', u'\u0409', u'\u2039', u'\u040A', u'\u040C', u'\u040B', u'\u040F',
    u'\u0452', u'\u2018', u'\u2019', u'\u201C', u'\u201D', u'\u2022', u'\u2013', u'\u2014',
    u'\u0098', u'\u2122', u'\u0459', u'\u203A', u'\u045A', u'\u045C', u'\u045B', u'\u045F',
    u'\u00A0', u'\u040E', u'\u045E', u'\u0408', u'\u00A4', u'\u0490', u'\u00A6', u'\u00A7',
    u'\u0401', u'\u00A9', u'\u0404', u'\u00AB', u'\u00AC', u'\u00AD', u'\u00AE', u'\u0407',
    u'\u00B0', u'\u00B1', u'\u0406', u'\u0456', u'\u0491', u'\u00B5', u'\u00B6', u'\u00B7',
    u'\u0451', u'\u2116', u'\u0454', u'\u00BB', u'\u0458', u'\u0405', u'\u0455', u'\u0457',
};

struct Cp1251Tables
{
    std::array<char16_t, 256> toUnicode{};
    // Reverse lookup for U+0000..U+217F (every mapped character lies below U+2200); 0xFFFF
    // marks a character without a byte.
    std::vector<std::uint16_t> toByte;

    Cp1251Tables()
        : toByte(0x2200, 0xFFFF)
    {
        for (int b = 0; b < 256; ++b) {
            char16_t u;
            if (b < 0x80)
                u = static_cast<char16_t>(b);
            else if (b < 0xC0)
                u = kHigh[b - 0x80];
            else
                u = static_cast<char16_t>(0x0410 + (b - 0xC0));
            toUnicode[b] = u;
            toByte[u] = static_cast<std::uint16_t>(b);
        }
    }

    // The byte of a character, or -1.
    int byteOf(char16_t c) const
    {
        return c < toByte.size() && toByte[c] != 0xFFFF ? toByte[c] : -1;
    }
};

const Cp1251Tables &tables()
{
    static const Cp1251Tables t;
    return t;
}

constexpr unsigned kClearCode = 256;
constexpr unsigned kEndCode = 257;
constexpr unsigned kFirstFree = 258;
constexpr unsigned kTableSize = 512;

// Byte that a stored character stands for in a code stream. A character outside Windows-1251
// cannot come from a stream we or the original authoring tool wrote; it becomes '?', the byte
// the platform's own Unicode→ANSI conversion gives for such a character, so decoding stays a
// total function of the stored text.
inline std::uint8_t streamByte(const Cp1251Tables &t, char16_t c)
{
    const int b = t.byteOf(c);
    return b < 0 ? std::uint8_t('?') : static_cast<std::uint8_t>(b);
}

} // namespace

std::u16string fromCp1251(std::string_view bytes)
{
    const auto &t = tables();
    std::u16string out;
    out.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = t.toUnicode[static_cast<std::uint8_t>(bytes[i])];
    return out;
}

std::optional<std::string> toCp1251(std::u16string_view text)
{
    const auto &t = tables();
    std::string out;
    out.resize(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int b = t.byteOf(text[i]);
        if (b < 0)
            return std::nullopt;
        out[i] = static_cast<char>(b);
    }
    return out;
}

std::u16string DecompressText(std::u16string_view stored)
{
    const auto &t = tables();
    // Scratch buffers kept per thread, so decoding an article allocates only its result.
    struct Scratch
    {
        std::vector<std::uint8_t> z;
        std::vector<std::uint8_t> arena;
        std::vector<std::uint8_t> out;
    };
    thread_local Scratch scratch;
    std::vector<std::uint8_t> &z = scratch.z;
    std::vector<std::uint8_t> &arena = scratch.arena;
    std::vector<std::uint8_t> &out = scratch.out;

    // Z: a zero byte, then the byte of each stored character.
    z.resize(stored.size() + 1);
    z[0] = 0;
    for (std::size_t i = 0; i < stored.size(); ++i)
        z[i + 1] = streamByte(t, stored[i]);
    const std::size_t codeCount = z.size() * 8 / 9;
    auto code = [&z](std::size_t j) -> unsigned {
        const std::size_t bit = 9 * j;
        const std::size_t b = bit / 8; // b + 1 < z.size() for every whole code
        const unsigned pair = z[b] | (unsigned(z[b + 1]) << 8);
        return (pair >> (bit % 8)) & 0x1FF;
    };
    if (codeCount < 2 || code(0) != kClearCode)
        return {};

    // The table's texts live in an arena: entries 0..255 are its first 256 bytes, each
    // further entry an (offset, length) slice after them. Entries 256, 257 and the free ones
    // are empty (length 0). An entry is at most 255 bytes long: each one adds a single
    // character to an entry of the same generation.
    struct Entry
    {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    std::array<Entry, kTableSize> table;
    if (arena.size() < 256 + 256 * 256)
        arena.resize(256 + 256 * 256);
    for (unsigned c = 0; c < 256; ++c) {
        arena[c] = static_cast<std::uint8_t>(c);
        table[c] = {c, 1};
    }
    std::uint32_t used = 256;
    unsigned nextFree = kFirstFree;
    auto reset = [&] {
        for (unsigned i = 256; i < kTableSize; ++i)
            table[i] = {};
        used = 256;
        nextFree = kFirstFree;
    };
    // Adds (entry text at offset/length) + last; a full table resets first, so the text is
    // copied aside before the reset can reuse its bytes.
    auto add = [&](Entry prefix, std::uint8_t last) {
        std::array<std::uint8_t, 256> copy;
        const std::uint8_t *from = arena.data() + prefix.offset;
        if (nextFree == kTableSize) {
            std::copy(from, from + prefix.length, copy.begin());
            from = copy.data();
            reset();
        }
        if (used + prefix.length + 1 > arena.size()) // cannot happen; kept for safety
            return;
        // Entries are a few bytes long: a plain loop beats a call to memmove.
        std::uint8_t *to = arena.data() + used;
        for (std::uint32_t k = 0; k < prefix.length; ++k)
            to[k] = from[k];
        to[prefix.length] = last;
        table[nextFree++] = {used, prefix.length + 1};
        used += prefix.length + 1;
    };
    std::size_t outLength = 0;
    auto emit = [&](Entry e) {
        if (outLength + e.length + 1 > out.size())
            out.resize(std::max(out.size() * 2, outLength + e.length + 1 + 4096));
        const std::uint8_t *from = arena.data() + e.offset;
        std::uint8_t *to = out.data() + outLength;
        for (std::uint32_t k = 0; k < e.length; ++k)
            to[k] = from[k];
        outLength += e.length;
    };

    unsigned p = code(1);
    emit(table[p]);
    for (std::size_t j = 2; j < codeCount; ++j) {
        const unsigned x = code(j);
        if (x == kClearCode) {
            reset();
            p = kClearCode;
            continue;
        }
        if (x == kEndCode)
            break;
        const Entry w = table[p];
        if (table[x].length != 0) {
            const Entry e = table[x];
            emit(e);
            add(w, arena[e.offset]);
        } else if (w.length != 0) {
            // The code being defined right now: previous text plus its own first character.
            const std::uint8_t first = arena[w.offset];
            emit(w);
            out[outLength++] = first; // emit leaves room for one more byte
            add(w, first);
        } else {
            // Nothing to repeat (a code that was never defined right after a clear): the
            // entry it adds is empty as well, so it stays undefined.
            if (nextFree == kTableSize)
                reset();
            table[nextFree++] = {};
        }
        p = x;
    }
    std::u16string result(outLength, u'\0');
    for (std::size_t i = 0; i < outLength; ++i)
        result[i] = t.toUnicode[out[i]];
    return result;
}

std::u16string CompressText(std::u16string_view text)
{
    const std::optional<std::string> cp = toCp1251(text);
    if (!cp)
        throw std::invalid_argument("CompressText: символ вне кодировки Windows-1251");
    const std::string &bytes = *cp;

    // Bit writer: 9-bit codes, lowest bits first.
    std::string stream;
    stream.reserve(bytes.size() + 16);
    std::uint32_t acc = 0;
    unsigned accBits = 0;
    auto emit = [&](unsigned c) {
        acc |= c << accBits;
        accBits += 9;
        while (accBits >= 8) {
            stream.push_back(static_cast<char>(acc & 0xFF));
            acc >>= 8;
            accBits -= 8;
        }
    };

    // Dictionary trie: child[(code << 8) | byte] holds (generation << 9) | child code; entries of
    // older generations count as absent, so a reset costs nothing.
    thread_local std::vector<std::uint32_t> child(kTableSize * 256, 0);
    thread_local std::uint32_t generation = 0;
    auto newGeneration = [&] {
        if (++generation >= (1u << 23)) {
            std::fill(child.begin(), child.end(), 0);
            generation = 1;
        }
    };
    auto lookup = [&](unsigned w, std::uint8_t c) -> int {
        const std::uint32_t v = child[(w << 8) | c];
        return (v >> 9) == generation ? int(v & 0x1FF) : -1;
    };

    emit(kClearCode);
    if (!bytes.empty()) {
        newGeneration();
        unsigned nextFree = kFirstFree;
        unsigned w = static_cast<std::uint8_t>(bytes[0]);
        // The decoder adds an entry when it reads a code, one step behind us, and when its table
        // is full it first decodes that code with the full table and only then resets. So when
        // our table is full, the next code is sent as a single character: the decoder resets
        // on it and stores (previous text + that character) at 258, which we never match, and
        // both sides go on from 259.
        bool forceLiteral = false;
        for (std::size_t i = 1; i < bytes.size(); ++i) {
            const auto c = static_cast<std::uint8_t>(bytes[i]);
            if (!forceLiteral) {
                const int next = lookup(w, c);
                if (next >= 0) {
                    w = unsigned(next);
                    continue;
                }
            }
            emit(w);
            if (forceLiteral) {
                newGeneration();
                nextFree = kFirstFree + 1;
                forceLiteral = false;
            }
            if (nextFree == kTableSize) {
                forceLiteral = true;
            } else {
                child[(w << 8) | c] = (generation << 9) | nextFree;
                ++nextFree;
            }
            w = c;
        }
        emit(w);
    }
    emit(kEndCode);
    if (accBits > 0)
        stream.push_back(static_cast<char>(acc & 0xFF));
    // The stream's first byte is always zero (it holds the low bits of the clear code); the
    // stored value leaves it out.
    return fromCp1251(std::string_view(stream).substr(1));
}

std::u16string utf8ToUtf16(std::string_view utf8)
{
    std::u16string out;
    out.reserve(utf8.size());
    const std::size_t n = utf8.size();
    std::size_t i = 0;
    auto at = [&](std::size_t k) { return static_cast<std::uint8_t>(utf8[k]); };
    while (i < n) {
        const std::uint8_t b = at(i);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
            continue;
        }
        unsigned len = 0;
        char32_t cp = 0;
        char32_t min = 0;
        if ((b & 0xE0) == 0xC0) {
            len = 2, cp = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3, cp = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4, cp = b & 0x07, min = 0x10000;
        } else {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        std::size_t k = 1;
        for (; k < len && i + k < n && (at(i + k) & 0xC0) == 0x80; ++k)
            cp = (cp << 6) | (at(i + k) & 0x3F);
        if (k < len || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(u'\uFFFD');
            i += k; // skip the lead byte and the continuation bytes that were read
            continue;
        }
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

void appendUtf8(std::string &out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string utf16ToUtf8(std::u16string_view utf16)
{
    std::string out;
    out.reserve(utf16.size() * 2);
    for (std::size_t i = 0; i < utf16.size(); ++i) {
        char32_t cp = utf16[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
            utf16[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        appendUtf8(out, cp);
    }
    return out;
}

} // namespace kelmor::books
