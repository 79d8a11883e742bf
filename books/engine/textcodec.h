#pragma once

// Windows-1251 conversion and the compression of stored article texts. Standard library only.

#include <optional>
#include <string>
#include <string_view>

namespace kelmor::books {

// Windows-1251 ↔ Unicode. 0x98 (undefined in that code page) maps to U+0098 and back, so
// every byte round-trips.
std::u16string fromCp1251(std::string_view bytes);
// std::nullopt when a character has no Windows-1251 byte.
std::optional<std::string> toCp1251(std::u16string_view text);

// Decodes a stored value: each character, taken as its Windows-1251 byte after a leading zero
// byte, forms a stream of 9-bit LZW codes (clear 256, end 257). Malformed input never crashes;
// a stream that does not start with the clear code gives the empty text.
std::u16string DecompressText(std::u16string_view stored);
// The inverse: a stored value that DecompressText reads back exactly. Throws
// std::invalid_argument when a character has no Windows-1251 byte.
std::u16string CompressText(std::u16string_view text);

// UTF-8 ↔ UTF-16 helpers for tools and tests (invalid UTF-8 bytes become U+FFFD).
std::u16string utf8ToUtf16(std::string_view utf8);
std::string utf16ToUtf8(std::u16string_view utf16);
// Appends one code point (at most U+10FFFF) as UTF-8.
void appendUtf8(std::string &out, char32_t codePoint);

} // namespace kelmor::books
