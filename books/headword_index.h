#pragma once

// The headword index of one book as kept in the cache folder: the book's distinct headwords
// (letter case folded) with the location of the first record of each, and its distinct headwords
// as written, in the word list's order with their collation sort keys. With it a word is found
// in a book without its table being listed, and the word list merges the books' words instead
// of sorting them. Standard library only.
//
// The file is outside data: every length, offset and count is checked, every section is read
// with its checksum verified, and whatever does not fit raises HeadwordIndexError. A caller
// treats that as no index at all.
//
// Layout (little-endian): a header of kHeaderSize bytes (magic, version, the book's key length,
// the record count, counts and section sizes, checksums of the sections and of the header), the
// book's key (UTF-8), the block directory, the seek blocks, the word section.
//   directory: per block its offset and length within the blocks, entry count, checksum and
//              first folded key (u16 length, UTF-16 units)
//   block:     up to kBlockEntries entries of folded key (u16 length, units), data page (u32),
//              slot (u16), strictly increasing by key
//   words:     per word its text (u16 length, units) and sort key (u16 length, bytes), ordered
//              by sort key, then by text

#include "books/engine/jet.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::books {

class HeadwordIndexError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The first bytes of a headword index file; a file with other ones is someone else's.
inline constexpr std::string_view kHeadwordIndexMagic = "KLMRHWI\n";
inline constexpr std::uint32_t kHeadwordIndexVersion = 1;

// A distinct headword of a book as the word list uses it.
struct IndexedHeadword
{
    std::u16string text;
    std::string sortKey; // collation sort key: byte order is the word list's order
};

// A distinct folded headword with the record the book's seek finds for it.
struct IndexedSeek
{
    std::u16string folded;
    RowLocation location;
};

struct HeadwordIndexContent
{
    std::string bookKey; // the book file's identity (path, size, modification time)
    std::int64_t recordCount = 0;
    std::vector<IndexedSeek> seeks;     // strictly increasing by folded (code units)
    std::vector<IndexedHeadword> words; // by sort key, then text; each text once
};

// The file's bytes; std::nullopt when a text or a key is too long for the format or the orders
// are not as described.
std::optional<std::string> encodeHeadwordIndex(const HeadwordIndexContent &content);

// An index file opened for reading. Only its header, key and directory are read when opening;
// each seek reads one block.
class HeadwordIndex
{
public:
    // Opens the file; std::nullopt when it is missing or unreadable. Throws HeadwordIndexError
    // when it is not an index of this format and version, is damaged, or is the index of
    // another book key.
    static std::unique_ptr<HeadwordIndex> open(const std::string &path,
                                               std::string_view expectedKey);
    // The same over bytes in memory (tests, fuzzing). Without verifyChecksums the checksums
    // are not compared, so that a fuzzer reaches the checks behind them.
    static std::unique_ptr<HeadwordIndex> fromBytes(std::string bytes, std::string_view expectedKey,
                                                    bool verifyChecksums = true);
    ~HeadwordIndex();
    HeadwordIndex(const HeadwordIndex &) = delete;
    HeadwordIndex &operator=(const HeadwordIndex &) = delete;

    std::int64_t recordCount() const { return m_recordCount; }
    std::size_t wordCount() const { return m_wordCount; }
    // The location of the record that a seek of this folded headword finds; std::nullopt when
    // the book has no such headword. Throws HeadwordIndexError when its block is damaged.
    std::optional<RowLocation> seek(std::u16string_view folded) const;
    // The distinct headwords in the word list's order. Throws HeadwordIndexError when the
    // section is damaged.
    std::vector<IndexedHeadword> words() const;

private:
    struct Block
    {
        std::uint64_t offset = 0;
        std::uint32_t length = 0;
        std::uint32_t entries = 0;
        std::uint64_t checksum = 0;
        std::u16string firstKey;
    };
    class Source;

    HeadwordIndex(std::unique_ptr<Source> source, std::string_view expectedKey,
                  bool verifyChecksums);
    std::string section(std::uint64_t offset, std::uint64_t length) const;
    void verify(std::uint64_t expected, std::uint64_t actual, const char *what) const;

    std::unique_ptr<Source> m_source;
    bool m_verifyChecksums = true;
    std::int64_t m_recordCount = 0;
    std::size_t m_seekCount = 0;
    std::size_t m_wordCount = 0;
    std::uint64_t m_blocksStart = 0;
    std::uint64_t m_wordsStart = 0;
    std::uint64_t m_wordsLength = 0;
    std::uint64_t m_wordsChecksum = 0;
    std::vector<Block> m_blocks;
};

// Entries per seek block.
inline constexpr std::size_t kBlockEntries = 64;
inline constexpr std::size_t kHeaderSize = 88;

// The checksum of the format (FNV-1a over 64-bit words).
std::uint64_t headwordIndexChecksum(std::string_view bytes, std::uint64_t seed = 0);

} // namespace kelmor::books
