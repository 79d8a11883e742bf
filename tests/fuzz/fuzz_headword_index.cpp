// libFuzzer entry for a book's headword index file (the cache folder's outside data). The first
// byte picks whether checksums are compared (odd) or not (even: the fuzzer's changes then reach
// the structural checks behind them); the rest is the file. It is opened with the key it
// names, every headword is read and a few keys are sought. A damaged input may raise
// HeadwordIndexError; anything else (a crash, a sanitizer report, a hang, a runaway
// allocation) is a finding.

#include "books/headword_index.h"

#include <cstddef>
#include <cstdint>
#include <string>

using namespace kelmor::books;

namespace {

// The key the file names (its length at offset 12, the key after the header), or empty.
std::string namedKey(const std::string &file)
{
    if (file.size() < kHeaderSize)
        return {};
    std::size_t length = 0;
    for (int i = 0; i < 4; ++i)
        length |= std::size_t(std::uint8_t(file[12 + std::size_t(i)])) << (8 * i);
    if (length > file.size() - kHeaderSize)
        return {};
    return file.substr(kHeaderSize, length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return 0;
    std::string file(reinterpret_cast<const char *>(data + 1), size - 1);
    const std::string key = namedKey(file);
    try {
        const auto index = HeadwordIndex::fromBytes(std::move(file), key, (data[0] & 1) != 0);
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
