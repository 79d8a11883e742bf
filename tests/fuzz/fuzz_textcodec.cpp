// Fuzz target of the text codec. The first byte picks the mode:
//   0: the rest, byte by byte as Windows-1251 characters, is a stored value to decode;
//   1: the rest, as UTF-16LE, is a stored value to decode (characters outside Windows-1251);
//   2: the rest, as Windows-1251 text, must come back unchanged from CompressText →
//      DecompressText.

#include "books/engine/textcodec.h"

#include <cstdint>
#include <cstdlib>
#include <string>

using namespace kelmor::books;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char *>(data + 1), size - 1);
    switch (data[0] % 3) {
    case 0:
        (void)DecompressText(fromCp1251(rest));
        break;
    case 1: {
        std::u16string stored;
        for (std::size_t i = 0; i + 1 < rest.size(); i += 2)
            stored.push_back(static_cast<char16_t>(static_cast<std::uint8_t>(rest[i]) |
                                                   (static_cast<std::uint8_t>(rest[i + 1]) << 8)));
        (void)DecompressText(stored);
        break;
    }
    default: {
        const std::u16string text = fromCp1251(rest);
        if (DecompressText(CompressText(text)) != text)
            std::abort();
        break;
    }
    }
    return 0;
}
