#include "books/headword_index.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelmor::books {

namespace {

// Header field offsets.
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kKeyBytesAt = 12;
constexpr std::size_t kRecordCountAt = 16;
constexpr std::size_t kSeekCountAt = 24;
constexpr std::size_t kBlockCountAt = 28;
constexpr std::size_t kWordCountAt = 32;
constexpr std::size_t kDirectoryBytesAt = 40;
constexpr std::size_t kBlocksBytesAt = 48;
constexpr std::size_t kWordsBytesAt = 56;
constexpr std::size_t kDirectoryChecksumAt = 64;
constexpr std::size_t kWordsChecksumAt = 72;
constexpr std::size_t kHeaderChecksumAt = 80;

constexpr std::uint32_t kMaxKeyBytes = 1 << 16;
constexpr std::size_t kMinDirectoryEntry = 8 + 4 + 4 + 8 + 2;
constexpr std::size_t kMinSeekEntry = 2 + 4 + 2;
constexpr std::size_t kMinWordEntry = 2 + 2;

[[noreturn]] void damaged(const std::string &what)
{
    throw HeadwordIndexError("индекс слов повреждён: " + what);
}

void put16(std::string &out, std::uint32_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char((v >> 8) & 0xFF));
}
void put32(std::string &out, std::uint32_t v)
{
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
void put64(std::string &out, std::uint64_t v)
{
    put32(out, std::uint32_t(v & 0xFFFFFFFFu));
    put32(out, std::uint32_t(v >> 32));
}
void set64(std::string &out, std::size_t at, std::uint64_t v)
{
    for (int i = 0; i < 8; ++i)
        out[at + std::size_t(i)] = char((v >> (8 * i)) & 0xFF);
}
void putUnits(std::string &out, std::u16string_view text)
{
    put16(out, std::uint32_t(text.size()));
    const std::size_t at = out.size();
    out.resize(at + 2 * text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[at + 2 * i] = char(text[i] & 0xFF);
        out[at + 2 * i + 1] = char(text[i] >> 8);
    }
}

// Reads little-endian values from bytes, failing on any read past their end.
class Cursor
{
public:
    explicit Cursor(std::string_view bytes)
        : m_bytes(bytes)
    {
    }
    bool atEnd() const { return m_pos == m_bytes.size(); }
    std::size_t position() const { return m_pos; }
    std::uint64_t number(int width)
    {
        need(std::size_t(width));
        std::uint64_t v = 0;
        for (int i = 0; i < width; ++i)
            v |= std::uint64_t(std::uint8_t(m_bytes[m_pos + std::size_t(i)])) << (8 * i);
        m_pos += std::size_t(width);
        return v;
    }
    std::u16string units()
    {
        const std::size_t n = number(2);
        need(2 * n);
        std::u16string out(n, u'\0');
        for (std::size_t i = 0; i < n; ++i)
            out[i] = char16_t(std::uint8_t(m_bytes[m_pos + 2 * i]) |
                              (std::uint8_t(m_bytes[m_pos + 2 * i + 1]) << 8));
        m_pos += 2 * n;
        return out;
    }
    // n UTF-16 units appended to out.
    void appendUnits(std::size_t n, std::u16string &out)
    {
        need(2 * n);
        const std::size_t at = out.size();
        out.resize(at + n);
        for (std::size_t i = 0; i < n; ++i)
            out[at + i] = char16_t(std::uint8_t(m_bytes[m_pos + 2 * i]) |
                                   (std::uint8_t(m_bytes[m_pos + 2 * i + 1]) << 8));
        m_pos += 2 * n;
    }
    std::string bytes() { return std::string(bytesView()); }
    std::string_view bytesView()
    {
        const std::size_t n = number(2);
        need(n);
        const std::string_view out = m_bytes.substr(m_pos, n);
        m_pos += n;
        return out;
    }

private:
    void need(std::size_t n) const
    {
        if (n > m_bytes.size() - m_pos)
            damaged("запись обрывается");
    }
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

bool wordBefore(const IndexedHeadword &a, const IndexedHeadword &b)
{
    return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.text < b.text;
}

} // namespace

// The bytes of the file: read with pread() from an open file, or from memory.
class IndexFileBytes
{
public:
    explicit IndexFileBytes(std::string bytes)
        : m_memory(std::move(bytes))
        , m_size(m_memory.size())
    {
    }
    IndexFileBytes(int fd, std::uint64_t size)
        : m_fd(fd)
        , m_size(size)
    {
    }
    ~IndexFileBytes()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    IndexFileBytes(const IndexFileBytes &) = delete;
    IndexFileBytes &operator=(const IndexFileBytes &) = delete;

    std::uint64_t size() const { return m_size; }
    // length bytes at offset, which the caller checked against size().
    std::string read(std::uint64_t offset, std::size_t length) const
    {
        if (m_fd < 0)
            return m_memory.substr(std::size_t(offset), length);
        std::string out(length, '\0');
        std::size_t done = 0;
        while (done < length) {
            const ssize_t n = ::pread(m_fd, out.data() + done, length - done, off_t(offset + done));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                throw HeadwordIndexError("индекс слов не читается");
            done += std::size_t(n);
        }
        return out;
    }

private:
    int m_fd = -1;
    std::string m_memory;
    std::uint64_t m_size = 0;
};

namespace {

// A regular file opened for reading; nullptr when there is none to read.
std::unique_ptr<IndexFileBytes> openIndexFile(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<IndexFileBytes>(fd, std::uint64_t(st.st_size));
}

// One directory entry: the block's place in the blocks' section, its size, its number of
// entries, its checksum and its first key.
void putDirectoryEntry(std::string &directory, std::size_t offset, std::string_view block,
                       std::size_t entries, std::u16string_view firstKey)
{
    put64(directory, offset);
    put32(directory, std::uint32_t(block.size()));
    put32(directory, std::uint32_t(entries));
    put64(directory, headwordIndexChecksum(block));
    putUnits(directory, firstKey);
}

// The directory of blockCount blocks, each checked to follow the one before without a gap, to
// lie within the blocks' section and to hold 1 to kBlockEntries entries in rising first keys;
// together they fill the section and hold every entry.
} // namespace

BlockDirectory::BlockDirectory(std::string_view directory, std::uint64_t blockCount,
                               std::uint64_t blocksBytes, std::uint64_t entryCount)
{
    Cursor dir(directory);
    // The header's checks bound the count by the directory's size.
    m_blocks.reserve(std::size_t(blockCount));
    m_keyStarts.reserve(std::size_t(blockCount) + 1);
    m_keyStarts.push_back(0);
    std::uint64_t expectedOffset = 0;
    std::uint64_t entries = 0;
    for (std::uint64_t b = 0; b < blockCount; ++b) {
        IndexBlock block;
        block.offset = dir.number(8);
        block.length = std::uint32_t(dir.number(4));
        block.entries = std::uint32_t(dir.number(4));
        block.checksum = dir.number(8);
        dir.appendUnits(dir.number(2), m_keys);
        if (m_keys.size() > std::numeric_limits<std::uint32_t>::max())
            damaged("каталог блоков");
        m_keyStarts.push_back(std::uint32_t(m_keys.size()));
        if (block.offset != expectedOffset || block.length > blocksBytes - block.offset ||
            block.entries == 0 || block.entries > kBlockEntries ||
            (b > 0 && !(firstKey(std::size_t(b) - 1) < firstKey(std::size_t(b)))))
            damaged("каталог блоков");
        expectedOffset += block.length;
        entries += block.entries;
        m_blocks.push_back(block);
    }
    if (!dir.atEnd() || expectedOffset != blocksBytes || entries != entryCount)
        damaged("каталог блоков");
}

std::optional<std::size_t> BlockDirectory::blockFor(std::u16string_view key) const
{
    std::size_t low = 0, high = m_blocks.size(); // the first block whose first key is after key
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (key < firstKey(mid))
            high = mid;
        else
            low = mid + 1;
    }
    if (low == 0)
        return std::nullopt;
    return low - 1;
}

std::uint64_t headwordIndexChecksum(std::string_view bytes, std::uint64_t seed)
{
    // FNV-1a over 64-bit little-endian words (the tail padded with zeros), with a final mix.
    constexpr std::uint64_t kPrime = 0x100000001b3ull;
    std::uint64_t h = 0xcbf29ce484222325ull ^ seed ^ bytes.size();
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word = 0;
        for (int k = 0; k < 8; ++k)
            word |= std::uint64_t(std::uint8_t(bytes[i + std::size_t(k)])) << (8 * k);
        h = (h ^ word) * kPrime;
        h ^= h >> 32;
    }
    std::uint64_t tail = 0;
    for (int k = 0; i + std::size_t(k) < bytes.size(); ++k)
        tail |= std::uint64_t(std::uint8_t(bytes[i + std::size_t(k)])) << (8 * k);
    h = (h ^ tail) * kPrime;
    return h ^ (h >> 29);
}

std::optional<std::string> encodeHeadwordIndex(const HeadwordIndexContent &content)
{
    if (content.bookKey.size() > kMaxKeyBytes || content.recordCount < 0 ||
        content.seeks.size() > 0xFFFFFFFFu || content.words.size() > 0xFFFFFFFFu)
        return std::nullopt;
    for (std::size_t i = 0; i < content.seeks.size(); ++i) {
        if (content.seeks[i].folded.size() > 0xFFFF ||
            (i > 0 && !(content.seeks[i - 1].folded < content.seeks[i].folded)))
            return std::nullopt;
    }
    for (std::size_t i = 0; i < content.words.size(); ++i) {
        const IndexedHeadword &w = content.words[i];
        if (w.text.size() > 0xFFFF || w.sortKey.size() > 0xFFFF ||
            (i > 0 && !wordBefore(content.words[i - 1], w)))
            return std::nullopt;
    }

    std::string directory, blocks, words;
    std::uint32_t blockCount = 0;
    for (std::size_t first = 0; first < content.seeks.size(); first += kBlockEntries) {
        const std::size_t end = std::min(content.seeks.size(), first + kBlockEntries);
        std::string block;
        for (std::size_t i = first; i < end; ++i) {
            putUnits(block, content.seeks[i].folded);
            put32(block, content.seeks[i].location.page);
            put16(block, content.seeks[i].location.slot);
        }
        putDirectoryEntry(directory, blocks.size(), block, end - first,
                          content.seeks[first].folded);
        blocks += block;
        ++blockCount;
    }
    for (const IndexedHeadword &w : content.words) {
        putUnits(words, w.text);
        put16(words, std::uint32_t(w.sortKey.size()));
        words += w.sortKey;
    }

    std::string out(kHeadwordIndexMagic);
    put32(out, kHeadwordIndexVersion);
    put32(out, std::uint32_t(content.bookKey.size()));
    put64(out, std::uint64_t(content.recordCount));
    put32(out, std::uint32_t(content.seeks.size()));
    put32(out, blockCount);
    put32(out, std::uint32_t(content.words.size()));
    put32(out, 0);
    put64(out, directory.size());
    put64(out, blocks.size());
    put64(out, words.size());
    put64(out, headwordIndexChecksum(directory, headwordIndexChecksum(content.bookKey)));
    put64(out, headwordIndexChecksum(words));
    put64(out, 0);
    set64(out, kHeaderChecksumAt,
          headwordIndexChecksum(std::string_view(out).substr(0, kHeaderChecksumAt)));
    out += content.bookKey;
    out += directory;
    out += blocks;
    out += words;
    return out;
}

std::unique_ptr<HeadwordIndex> HeadwordIndex::open(const std::string &path,
                                                   std::string_view expectedKey)
{
    auto source = openIndexFile(path);
    if (!source)
        return nullptr;
    return std::unique_ptr<HeadwordIndex>(new HeadwordIndex(std::move(source), expectedKey, true));
}

std::unique_ptr<HeadwordIndex>
HeadwordIndex::fromBytes(std::string bytes, std::string_view expectedKey, bool verifyChecksums)
{
    return std::unique_ptr<HeadwordIndex>(new HeadwordIndex(
        std::make_unique<IndexFileBytes>(std::move(bytes)), expectedKey, verifyChecksums));
}

void HeadwordIndex::verify(std::uint64_t expected, std::uint64_t actual, const char *what) const
{
    if (m_verifyChecksums && expected != actual)
        damaged(std::string(what) + " (контрольная сумма)");
}

HeadwordIndex::~HeadwordIndex() = default;

std::string HeadwordIndex::section(std::uint64_t offset, std::uint64_t length) const
{
    if (offset > m_source->size() || length > m_source->size() - offset)
        damaged("раздел за концом файла");
    return m_source->read(offset, std::size_t(length));
}

HeadwordIndex::HeadwordIndex(std::unique_ptr<IndexFileBytes> source, std::string_view expectedKey,
                             bool verifyChecksums)
    : m_source(std::move(source))
    , m_verifyChecksums(verifyChecksums)
{
    if (m_source->size() < kHeaderSize)
        damaged("файл короче заголовка");
    const std::string header = m_source->read(0, kHeaderSize);
    if (std::string_view(header).substr(0, kHeadwordIndexMagic.size()) != kHeadwordIndexMagic)
        throw HeadwordIndexError("это не индекс слов Kelmor");
    Cursor at(std::string_view(header).substr(kVersionAt));
    if (at.number(4) != kHeadwordIndexVersion)
        throw HeadwordIndexError("индекс слов другой версии");
    Cursor check(std::string_view(header).substr(kHeaderChecksumAt));
    verify(check.number(8),
           headwordIndexChecksum(std::string_view(header).substr(0, kHeaderChecksumAt)),
           "заголовок");

    const auto field = [&](std::size_t offset, int width) {
        Cursor c(std::string_view(header).substr(offset));
        return c.number(width);
    };
    const std::uint64_t keyBytes = field(kKeyBytesAt, 4);
    const std::uint64_t records = field(kRecordCountAt, 8);
    const std::uint64_t seekCount = field(kSeekCountAt, 4);
    const std::uint64_t blockCount = field(kBlockCountAt, 4);
    const std::uint64_t wordCount = field(kWordCountAt, 4);
    const std::uint64_t directoryBytes = field(kDirectoryBytesAt, 8);
    const std::uint64_t blocksBytes = field(kBlocksBytesAt, 8);
    const std::uint64_t wordsBytes = field(kWordsBytesAt, 8);
    const std::uint64_t directoryChecksum = field(kDirectoryChecksumAt, 8);
    m_wordsChecksum = field(kWordsChecksumAt, 8);

    // The sections fill the file exactly; counts fit the sizes, so nothing is allocated beyond
    // what the file holds.
    const std::uint64_t size = m_source->size() - kHeaderSize;
    if (keyBytes > kMaxKeyBytes || directoryBytes > size || blocksBytes > size ||
        wordsBytes > size || keyBytes + directoryBytes + blocksBytes + wordsBytes != size)
        damaged("размеры разделов не сходятся с размером файла");
    if (records > std::uint64_t(INT64_MAX) || blockCount * kMinDirectoryEntry > directoryBytes ||
        seekCount * kMinSeekEntry > blocksBytes || wordCount * kMinWordEntry > wordsBytes ||
        seekCount > blockCount * kBlockEntries || blockCount > seekCount)
        damaged("число записей не сходится с размерами разделов");

    const std::string key = section(kHeaderSize, keyBytes);
    if (key != expectedKey)
        throw HeadwordIndexError("индекс слов другого файла сонника");
    const std::string directory = section(kHeaderSize + keyBytes, directoryBytes);
    verify(directoryChecksum, headwordIndexChecksum(directory, headwordIndexChecksum(key)),
           "каталог блоков");

    m_recordCount = std::int64_t(records);
    m_seekCount = std::size_t(seekCount);
    m_wordCount = std::size_t(wordCount);
    m_blocksStart = kHeaderSize + keyBytes + directoryBytes;
    m_wordsStart = m_blocksStart + blocksBytes;
    m_wordsLength = wordsBytes;

    m_blocks = BlockDirectory(directory, blockCount, blocksBytes, seekCount);
}

std::optional<RowLocation> HeadwordIndex::seek(std::u16string_view folded) const
{
    const std::optional<std::size_t> found = m_blocks.blockFor(folded);
    if (!found)
        return std::nullopt;
    const IndexBlock &block = m_blocks.block(*found);
    const std::u16string_view firstKey = m_blocks.firstKey(*found);
    // The next block's first key, which every entry of this one must come before.
    const bool last = *found + 1 == m_blocks.size();
    const std::u16string_view nextKey =
        last ? std::u16string_view() : m_blocks.firstKey(*found + 1);
    const std::string bytes = section(m_blocksStart + block.offset, block.length);
    verify(block.checksum, headwordIndexChecksum(bytes), "блок слов");
    // The entries in order up to the word's place, each checked to follow the one before.
    Cursor c(bytes);
    std::u16string key, previous;
    for (std::uint32_t i = 0; i < block.entries; ++i) {
        key.clear();
        c.appendUnits(c.number(2), key);
        RowLocation where;
        where.page = std::uint32_t(c.number(4));
        where.slot = std::uint16_t(c.number(2));
        if (i == 0 ? key != firstKey : !(previous < key))
            damaged("порядок слов в блоке");
        if (!last && !(key < nextKey))
            damaged("порядок блоков");
        if (key == folded)
            return where;
        if (folded < key)
            return std::nullopt;
        key.swap(previous);
    }
    if (!c.atEnd())
        damaged("блок слов длиннее записей");
    return std::nullopt;
}

std::vector<IndexedHeadword> HeadwordIndex::words() const
{
    std::vector<IndexedHeadword> out;
    out.reserve(m_wordCount);
    HeadwordReader reader = wordReader();
    while (reader.next())
        out.push_back({std::u16string(reader.text()), std::string(reader.sortKey())});
    return out;
}

HeadwordReader HeadwordIndex::wordReader() const
{
    std::string bytes = section(m_wordsStart, m_wordsLength);
    verify(m_wordsChecksum, headwordIndexChecksum(bytes), "список слов");
    return HeadwordReader(std::move(bytes), m_wordCount);
}

HeadwordReader::HeadwordReader(std::string section, std::size_t count)
    : m_bytes(std::move(section))
    , m_count(count)
{
}

bool HeadwordReader::next()
{
    Cursor c(std::string_view(m_bytes).substr(m_pos));
    if (m_read == m_count) {
        if (!c.atEnd())
            damaged("список слов длиннее записей");
        return false;
    }
    const std::string_view previousKey = m_sortKey;
    m_previousText.swap(m_text);
    m_text.clear();
    c.appendUnits(std::size_t(c.number(2)), m_text);
    m_sortKey = c.bytesView();
    if (m_read > 0 &&
        !(previousKey != m_sortKey ? previousKey < m_sortKey : m_previousText < m_text))
        damaged("порядок списка слов");
    m_pos += c.position();
    ++m_read;
    return true;
}

// ---------------------------------------------------------------------------------------------

namespace {

// Form header field offsets.
constexpr std::size_t kFormKeyBytesAt = 12;
constexpr std::size_t kFormEntryCountAt = 16;
constexpr std::size_t kFormBlockCountAt = 20;
constexpr std::size_t kFormDirectoryBytesAt = 24;
constexpr std::size_t kFormBlocksBytesAt = 32;
constexpr std::size_t kFormDirectoryChecksumAt = 40;
constexpr std::size_t kFormHeaderChecksumAt = 48;
constexpr std::size_t kMinFormEntry = 2 + 1 + 2 + 2 + 2;

constexpr std::uint8_t kHasExact = 1;
constexpr std::uint8_t kHasForm = 2;

bool fitsFormat(const std::optional<IndexedHeadword> &w)
{
    return !w || (!w->text.empty() && w->text.size() <= 0xFFFF && w->sortKey.size() <= 0xFFFF);
}

void putHeadword(std::string &out, const IndexedHeadword &w)
{
    putUnits(out, w.text);
    put16(out, std::uint32_t(w.sortKey.size()));
    out += w.sortKey;
}

IndexedHeadword headwordAt(Cursor &c)
{
    IndexedHeadword w;
    w.text = c.units();
    if (w.text.empty())
        damaged("пустое слово в индексе форм");
    w.sortKey = c.bytes();
    return w;
}

} // namespace

std::optional<std::string> encodeFormIndex(const FormIndexContent &content)
{
    if (content.key.size() > kMaxKeyBytes || content.entries.size() > 0xFFFFFFFFu)
        return std::nullopt;
    for (std::size_t i = 0; i < content.entries.size(); ++i) {
        const IndexedForm &e = content.entries[i];
        if (e.key.size() > 0xFFFF || (!e.exact && !e.form) || !fitsFormat(e.exact) ||
            !fitsFormat(e.form) || (i > 0 && !(content.entries[i - 1].key < e.key)))
            return std::nullopt;
    }
    std::string directory, blocks;
    std::uint32_t blockCount = 0;
    for (std::size_t first = 0; first < content.entries.size(); first += kBlockEntries) {
        const std::size_t end = std::min(content.entries.size(), first + kBlockEntries);
        std::string block;
        for (std::size_t i = first; i < end; ++i) {
            const IndexedForm &e = content.entries[i];
            putUnits(block, e.key);
            block.push_back(char((e.exact ? kHasExact : 0) | (e.form ? kHasForm : 0)));
            if (e.exact)
                putHeadword(block, *e.exact);
            if (e.form)
                putHeadword(block, *e.form);
        }
        putDirectoryEntry(directory, blocks.size(), block, end - first, content.entries[first].key);
        blocks += block;
        ++blockCount;
    }
    std::string out(kFormIndexMagic);
    put32(out, kFormIndexVersion);
    put32(out, std::uint32_t(content.key.size()));
    put32(out, std::uint32_t(content.entries.size()));
    put32(out, blockCount);
    put64(out, directory.size());
    put64(out, blocks.size());
    put64(out, headwordIndexChecksum(directory, headwordIndexChecksum(content.key)));
    put64(out, 0);
    set64(out, kFormHeaderChecksumAt,
          headwordIndexChecksum(std::string_view(out).substr(0, kFormHeaderChecksumAt)));
    out += content.key;
    out += directory;
    out += blocks;
    return out;
}

std::unique_ptr<FormIndex> FormIndex::open(const std::string &path, std::string_view expectedKey)
{
    auto source = openIndexFile(path);
    if (!source)
        return nullptr;
    return std::unique_ptr<FormIndex>(new FormIndex(std::move(source), expectedKey, true));
}

std::unique_ptr<FormIndex> FormIndex::fromBytes(std::string bytes, std::string_view expectedKey,
                                                bool verifyChecksums)
{
    return std::unique_ptr<FormIndex>(new FormIndex(
        std::make_unique<IndexFileBytes>(std::move(bytes)), expectedKey, verifyChecksums));
}

FormIndex::~FormIndex() = default;

FormIndex::FormIndex(std::unique_ptr<IndexFileBytes> source, std::string_view expectedKey,
                     bool verifyChecksums)
    : m_source(std::move(source))
    , m_verifyChecksums(verifyChecksums)
{
    const auto verify = [this](std::uint64_t expected, std::uint64_t actual, const char *what) {
        if (m_verifyChecksums && expected != actual)
            damaged(std::string(what) + " (контрольная сумма)");
    };
    if (m_source->size() < kFormHeaderSize)
        damaged("файл короче заголовка");
    const std::string header = m_source->read(0, kFormHeaderSize);
    if (std::string_view(header).substr(0, kFormIndexMagic.size()) != kFormIndexMagic)
        throw HeadwordIndexError("это не индекс форм слов Kelmor");
    const auto field = [&](std::size_t offset, int width) {
        Cursor c(std::string_view(header).substr(offset));
        return c.number(width);
    };
    if (field(kVersionAt, 4) != kFormIndexVersion)
        throw HeadwordIndexError("индекс форм слов другой версии");
    verify(field(kFormHeaderChecksumAt, 8),
           headwordIndexChecksum(std::string_view(header).substr(0, kFormHeaderChecksumAt)),
           "заголовок");
    const std::uint64_t keyBytes = field(kFormKeyBytesAt, 4);
    const std::uint64_t entryCount = field(kFormEntryCountAt, 4);
    const std::uint64_t blockCount = field(kFormBlockCountAt, 4);
    const std::uint64_t directoryBytes = field(kFormDirectoryBytesAt, 8);
    const std::uint64_t blocksBytes = field(kFormBlocksBytesAt, 8);
    const std::uint64_t directoryChecksum = field(kFormDirectoryChecksumAt, 8);

    const std::uint64_t size = m_source->size() - kFormHeaderSize;
    if (keyBytes > kMaxKeyBytes || directoryBytes > size || blocksBytes > size ||
        keyBytes + directoryBytes + blocksBytes != size)
        damaged("размеры разделов не сходятся с размером файла");
    if (blockCount * kMinDirectoryEntry > directoryBytes ||
        entryCount * kMinFormEntry > blocksBytes || entryCount > blockCount * kBlockEntries ||
        blockCount > entryCount)
        damaged("число записей не сходится с размерами разделов");

    const std::string key = m_source->read(kFormHeaderSize, std::size_t(keyBytes));
    if (key != expectedKey)
        throw HeadwordIndexError("индекс форм слов другого сонника или словаря");
    const std::string directory =
        m_source->read(kFormHeaderSize + keyBytes, std::size_t(directoryBytes));
    verify(directoryChecksum, headwordIndexChecksum(directory, headwordIndexChecksum(key)),
           "каталог блоков");
    m_entryCount = std::size_t(entryCount);
    m_blocksStart = kFormHeaderSize + keyBytes + directoryBytes;

    m_blocks = BlockDirectory(directory, blockCount, blocksBytes, entryCount);
}

// Reads a block's entries in order, checking each, and hands them to visit until it returns
// false; then the block must have ended where its entries do.
template <class Visit> void FormIndex::scanBlock(std::size_t b, Visit &&visit) const
{
    const IndexBlock &block = m_blocks.block(b);
    const std::u16string_view firstKey = m_blocks.firstKey(b);
    // The next block's first key, which every entry of this one must come before.
    const bool last = b + 1 == m_blocks.size();
    const std::u16string_view nextKey = last ? std::u16string_view() : m_blocks.firstKey(b + 1);
    // The directory's offsets and lengths were checked against the blocks' section.
    const std::string bytes = m_source->read(m_blocksStart + block.offset, block.length);
    if (m_verifyChecksums && block.checksum != headwordIndexChecksum(bytes))
        damaged("блок форм (контрольная сумма)");
    Cursor c(bytes);
    std::u16string previous;
    for (std::uint32_t i = 0; i < block.entries; ++i) {
        IndexedForm entry;
        entry.key = c.units();
        const auto flags = std::uint8_t(c.number(1));
        if (flags == 0 || (flags & ~(kHasExact | kHasForm)) != 0)
            damaged("запись формы без слова");
        if (flags & kHasExact)
            entry.exact = headwordAt(c);
        if (flags & kHasForm)
            entry.form = headwordAt(c);
        if (i == 0 ? entry.key != firstKey : !(previous < entry.key))
            damaged("порядок форм в блоке");
        if (!last && !(entry.key < nextKey))
            damaged("порядок блоков");
        if (!visit(entry))
            return;
        previous = std::move(entry.key);
    }
    if (!c.atEnd())
        damaged("блок форм длиннее записей");
}

std::optional<IndexedForm> FormIndex::find(std::u16string_view key) const
{
    const std::optional<std::size_t> found = m_blocks.blockFor(key);
    if (!found)
        return std::nullopt;
    std::optional<IndexedForm> result;
    scanBlock(*found, [&](IndexedForm &entry) {
        if (entry.key == key)
            result = std::move(entry);
        return !result && !(key < entry.key);
    });
    return result;
}

void FormIndex::forEachKey(const std::function<void(std::u16string_view)> &visit) const
{
    for (std::size_t b = 0; b < m_blocks.size(); ++b)
        scanBlock(b, [&](const IndexedForm &entry) {
            visit(entry.key);
            return true;
        });
}

} // namespace kelmor::books
