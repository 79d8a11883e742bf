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
#include <functional>
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

// The bytes of an index file: read with pread() from an open file, or from memory.
class IndexFileBytes;

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

// One block of an index file's entries as its directory lists it: where its bytes lie in the
// blocks' section, how many entries it holds and their checksum.
struct IndexBlock
{
    std::uint64_t offset = 0;
    std::uint32_t length = 0;
    std::uint32_t entries = 0;
    std::uint64_t checksum = 0;
};

// An index file's block directory, read and checked once: the blocks in key order, with their
// first keys kept in one buffer (a seek opens twenty indexes and asks each one key).
class BlockDirectory
{
public:
    BlockDirectory() = default;
    // Throws HeadwordIndexError when the directory does not describe blockCount blocks that
    // follow one another through the blocks' section and hold entryCount entries in key order.
    BlockDirectory(std::string_view directory, std::uint64_t blockCount, std::uint64_t blocksBytes,
                   std::uint64_t entryCount);

    std::size_t size() const { return m_blocks.size(); }
    const IndexBlock &block(std::size_t b) const { return m_blocks[b]; }
    std::u16string_view firstKey(std::size_t b) const
    {
        return std::u16string_view(m_keys).substr(m_keyStarts[b],
                                                  m_keyStarts[b + 1] - m_keyStarts[b]);
    }
    // The block that holds key if any block does: the last one whose first key is not after it.
    std::optional<std::size_t> blockFor(std::u16string_view key) const;

private:
    std::vector<IndexBlock> m_blocks;
    std::u16string m_keys;
    std::vector<std::uint32_t> m_keyStarts; // one more than the blocks: the end of the last key
};

// The distinct headwords of an index read one at a time, in the word list's order, from a copy
// of the words section whose checksum was compared. next() throws HeadwordIndexError when the
// section turns out damaged (a record cut short, words out of order, bytes left over).
class HeadwordReader
{
public:
    HeadwordReader(std::string section, std::size_t count);
    // Moves to the next word; false after the last.
    bool next();
    std::u16string_view text() const { return m_text; }
    std::string_view sortKey() const { return m_sortKey; }

private:
    std::string m_bytes;
    std::size_t m_count = 0;
    std::size_t m_read = 0;
    std::size_t m_pos = 0;
    std::u16string m_text;
    std::u16string m_previousText;
    std::string_view m_sortKey;
};

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
    // A reader of the same words one by one, without keeping them (the section's checksum is
    // compared first). Throws HeadwordIndexError when the section is damaged.
    HeadwordReader wordReader() const;

private:
    HeadwordIndex(std::unique_ptr<IndexFileBytes> source, std::string_view expectedKey,
                  bool verifyChecksums);
    std::string section(std::uint64_t offset, std::uint64_t length) const;
    void verify(std::uint64_t expected, std::uint64_t actual, const char *what) const;

    std::unique_ptr<IndexFileBytes> m_source;
    bool m_verifyChecksums = true;
    std::int64_t m_recordCount = 0;
    std::size_t m_seekCount = 0;
    std::size_t m_wordCount = 0;
    std::uint64_t m_blocksStart = 0;
    std::uint64_t m_wordsStart = 0;
    std::uint64_t m_wordsLength = 0;
    std::uint64_t m_wordsChecksum = 0;
    BlockDirectory m_blocks;
};

// Entries per seek block.
inline constexpr std::size_t kBlockEntries = 64;
inline constexpr std::size_t kHeaderSize = 88;

// The checksum of the format (FNV-1a over 64-bit words).
std::uint64_t headwordIndexChecksum(std::string_view bytes, std::uint64_t seed = 0);

// ---------------------------------------------------------------------------------------------
// The forms index of one book beside its headword index: what finding a headword through the
// dictionary forms of a typed word needs, so that only the typed word is looked up in the
// dictionary. Per folded key (a headword as the resolver folds it, or a folded dictionary form of
// a single-word headword) the first headword of the book, in the word list's order, written so,
// and the first single-word headword that has that key among its own keys.
//
// Layout (little-endian): a header of kFormHeaderSize bytes (magic, version, key length, entry
// and block counts, section sizes, the directory's checksum, the header's checksum), the key
// (UTF-8: the book's key and the dictionary's), the block directory, the blocks.
//   directory: as the headword index's (offset, length, entry count, checksum, first key)
//   block:     up to kBlockEntries entries of folded key (u16 length, units), a flags byte (1: a
//              headword written so follows, 2: a headword with this form follows, at least
//              one), then each headword given as text (u16 length, units, not empty) and sort
//              key (u16 length, bytes); strictly increasing by key

inline constexpr std::string_view kFormIndexMagic = "KLMRHWF\n";
inline constexpr std::uint32_t kFormIndexVersion = 1;
inline constexpr std::size_t kFormHeaderSize = 56;

struct IndexedForm
{
    std::u16string key;
    std::optional<IndexedHeadword> exact; // the book's first headword written so
    std::optional<IndexedHeadword> form;  // its first single-word headword with this key
};

struct FormIndexContent
{
    std::string key;                  // the book's key and the dictionary's
    std::vector<IndexedForm> entries; // strictly increasing by key, each with a headword
};

// The file's bytes; std::nullopt when a text or a key is too long for the format, an entry has
// no headword (or an empty one) or the entries are not in order.
std::optional<std::string> encodeFormIndex(const FormIndexContent &content);

class FormIndex
{
public:
    // As HeadwordIndex::open: std::nullopt when missing or unreadable; HeadwordIndexError when
    // foreign, of another version, damaged or of another key.
    static std::unique_ptr<FormIndex> open(const std::string &path, std::string_view expectedKey);
    static std::unique_ptr<FormIndex> fromBytes(std::string bytes, std::string_view expectedKey,
                                                bool verifyChecksums = true);
    ~FormIndex();
    FormIndex(const FormIndex &) = delete;
    FormIndex &operator=(const FormIndex &) = delete;

    std::size_t entryCount() const { return m_entryCount; }
    // The entry of a folded key; std::nullopt when the book has none. Throws HeadwordIndexError
    // when its block is damaged.
    std::optional<IndexedForm> find(std::u16string_view key) const;
    // Every key in order (the folded words and dictionary forms the book answers for). Throws
    // HeadwordIndexError at a damaged block.
    void forEachKey(const std::function<void(std::u16string_view)> &visit) const;

private:
    template <class Visit> void scanBlock(std::size_t b, Visit &&visit) const;
    FormIndex(std::unique_ptr<IndexFileBytes> source, std::string_view expectedKey,
              bool verifyChecksums);

    std::unique_ptr<IndexFileBytes> m_source;
    bool m_verifyChecksums = true;
    std::size_t m_entryCount = 0;
    std::uint64_t m_blocksStart = 0;
    BlockDirectory m_blocks;
};

} // namespace kelmor::books
