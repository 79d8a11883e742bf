// libFuzzer entry for a book's headword index file and its forms index (the cache folder's
// outside data). The first byte picks whether checksums are compared (bit 0 set) or not (the
// fuzzer's changes then reach the structural checks behind them), and which format the rest is
// (bit 1: the forms index; bit 2: the library's roots). The file is opened with the key it names;
// of a headword index every headword is read and a few keys are sought, of a forms index a few keys
// are sought and every key is read; a roots file is decoded. A damaged input may raise
// HeadwordIndexError; anything else (a crash, a sanitizer report, a hang, a runaway allocation) is
// a finding.

#include "books/headword_index.h"
#include "books/roots_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace kelmor::books;

namespace {

// The key the file names (its length at offset 12, the key after the header), or empty.
std::string namedKey(const std::string &file, std::size_t headerSize)
{
    if (file.size() < headerSize)
        return {};
    std::size_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= std::size_t(std::uint8_t(file[12 + std::size_t(i)])) << (8 * i);
    if (length > file.size() - headerSize)
        return {};
    return file.substr(headerSize, length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string file(reinterpret_cast<const char *>(data + 1), size - 1);
    const bool checksums = (data[0] & 1) != 0;
    if ((data[0] & 4) != 0) {
        (void)decodeRootsFile(file, checksums);
        return 0;
    }
    if ((data[0] & 2) != 0) {
        const std::string key = namedKey(file, kFormHeaderSize);
        try {
            const auto index = FormIndex::fromBytes(std::move(file), key, checksums);
            for (const std::u16string &k :
                 {std::u16string(u"вода"), std::u16string(), std::u16string(u"\xffff")}) {
                try {
                    (void)index->find(k);
                } catch (const HeadwordIndexError &) {
                }
            }
            std::size_t keys = 0;
            index->forEachKey([&keys](std::u16string_view) { ++keys; });
        } catch (const HeadwordIndexError &) {
        }
        return 0;
    }
    const std::string key = namedKey(file, kHeaderSize);
    try {
        const auto index = HeadwordIndex::fromBytes(std::move(file), key, checksums);
        std::u16string firstText;
        try {
            const std::vector<IndexedHeadword> words = index->words();
            if (!words.empty())
                firstText = words.front().text;
        } catch (const HeadwordIndexError &) {
        }
        for (const std::u16string &k : {firstText, std::u16string(u"вода"), std::u16string()}) {
            try {
                (void)index->seek(k);
            } catch (const HeadwordIndexError &) {
            }
        }
    } catch (const HeadwordIndexError &) {
    }
    return 0;
}
