#include "books/headword_cache.h"

#include "books/engine/casefold.h"
#include "books/engine/jet.h"
#include "platform/cache_folder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include <unicode/ucol.h>
#include <unicode/uversion.h>

#include <algorithm>
#include <exception>

namespace kelmor::books {

namespace {

// The collator of the word list (QCollator over ICU for the Russian locale): the same locale
// and attributes, so that sort-key order is the list's order.
class Collator
{
public:
    Collator()
    {
        UErrorCode status = U_ZERO_ERROR;
        const QByteArray name =
            QLocale(QLocale::Russian, QLocale::Russia).bcp47Name().replace('-', '_').toLatin1();
        m_collator = ucol_open(name.constData(), &status);
        if (U_FAILURE(status)) {
            m_collator = nullptr;
            return;
        }
        ucol_setAttribute(m_collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
        ucol_setAttribute(m_collator, UCOL_STRENGTH, UCOL_DEFAULT_STRENGTH, &status);
        ucol_setAttribute(m_collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
        ucol_setAttribute(m_collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
        if (U_FAILURE(status)) {
            ucol_close(m_collator);
            m_collator = nullptr;
        }
    }
    ~Collator()
    {
        if (m_collator)
            ucol_close(m_collator);
    }
    Collator(const Collator &) = delete;
    Collator &operator=(const Collator &) = delete;

    bool isValid() const { return m_collator != nullptr; }

    std::string sortKey(std::u16string_view text) const
    {
        std::string key(16 + text.size() * 3, '\0');
        const auto length = std::int32_t(text.size());
        const auto *units = reinterpret_cast<const UChar *>(text.data());
        std::int32_t size =
            ucol_getSortKey(m_collator, units, length, reinterpret_cast<uint8_t *>(key.data()),
                            std::int32_t(key.size()));
        if (size > std::int32_t(key.size())) {
            key.resize(std::size_t(size));
            size =
                ucol_getSortKey(m_collator, units, length, reinterpret_cast<uint8_t *>(key.data()),
                                std::int32_t(key.size()));
        }
        // The key's last byte is its terminating zero.
        key.resize(size > 0 ? std::size_t(size) - 1 : 0);
        return key;
    }

private:
    UCollator *m_collator = nullptr;
};

const Collator &collator()
{
    static const Collator instance;
    return instance;
}

} // namespace

QString headwordCacheFolder()
{
    return platform::cacheFolder() + QStringLiteral("/headwords");
}

QString headwordCachePath(const QString &bookPath)
{
    const QByteArray name =
        QCryptographicHash::hash(QFile::encodeName(bookPath), QCryptographicHash::Sha1).toHex();
    return headwordCacheFolder() + QLatin1Char('/') + QString::fromLatin1(name) +
           QStringLiteral(".idx");
}

// The key an index file carries: the book's key and the collation its sort keys are of. The
// collation is ICU's (its code and its data, one release), so the release names it: opening the
// collator for its own version would cost a terminal lookup, which compares no sort keys, more
// than a millisecond.
std::string storedIndexKey(const QString &bookKey)
{
    UVersionInfo release{};
    u_getVersion(release);
    std::string version;
    for (int i = 0; i < U_MAX_VERSION_LENGTH; ++i)
        version += (i ? "." : "") + std::to_string(int(release[i]));
    return bookKey.toStdString() + "\ncollation icu " + version;
}

std::string collationSortKey(std::u16string_view text)
{
    return collator().sortKey(text);
}

std::optional<HeadwordIndexContent> buildHeadwordIndex(Table &book, const QString &bookKey)
{
    if (!collator().isValid())
        return std::nullopt;
    HeadwordIndexContent content;
    content.bookKey = storedIndexKey(bookKey);
    content.recordCount = book.recordCount();
    // The records in table order: headword, folded headword, location.
    struct Record
    {
        std::u16string headword;
        std::u16string folded;
        RowLocation location;
    };
    std::vector<Record> records;
    records.reserve(std::size_t(std::max<std::int64_t>(content.recordCount, 0)));
    for (book.moveFirst(); !book.eof(); book.moveNext()) {
        std::optional<std::u16string> headword = book.text("List");
        if (!headword)
            return std::nullopt;
        std::u16string folded = foldCase(*headword);
        records.push_back({std::move(*headword), std::move(folded), book.location()});
    }
    std::vector<std::uint32_t> order(records.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = std::uint32_t(i);

    // Each folded headword once, with its first record in table order (what the seek finds).
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = records[a].folded.compare(records[b].folded);
        return c != 0 ? c < 0 : a < b;
    });
    content.seeks.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Record &r = records[order[i]];
        if (i == 0 || records[order[i - 1]].folded != r.folded)
            content.seeks.push_back({r.folded, r.location});
    }

    // Each headword once, in the word list's order.
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return records[a].headword < records[b].headword;
    });
    order.erase(std::unique(order.begin(), order.end(),
                            [&](std::uint32_t a, std::uint32_t b) {
                                return records[a].headword == records[b].headword;
                            }),
                order.end());
    content.words.reserve(order.size());
    for (std::uint32_t r : order) {
        std::string key = collator().sortKey(records[r].headword);
        content.words.push_back({std::move(records[r].headword), std::move(key)});
    }
    std::sort(content.words.begin(), content.words.end(),
              [](const IndexedHeadword &a, const IndexedHeadword &b) {
                  return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.text < b.text;
              });
    return content;
}

bool writeCacheFile(const QString &path, const std::string &bytes)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    // QSaveFile writes a temporary file of its own beside the target and renames it over the
    // target when committed: readers and other writers see the old file or the new one whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::unique_ptr<HeadwordIndex> openCachedHeadwordIndex(const QString &bookPath,
                                                       const QString &bookKey)
{
    if (bookKey.isEmpty())
        return nullptr;
    try {
        return HeadwordIndex::open(QFile::encodeName(headwordCachePath(bookPath)).toStdString(),
                                   storedIndexKey(bookKey));
    } catch (const HeadwordIndexError &) {
        return nullptr; // another format, another book's key, or damaged
    }
}

std::unique_ptr<HeadwordIndex> indexAndStore(const QString &bookPath, const QString &bookKey,
                                             Table &listedBook)
{
    if (bookKey.isEmpty())
        return nullptr;
    try {
        const std::optional<HeadwordIndexContent> content = buildHeadwordIndex(listedBook, bookKey);
        if (!content)
            return nullptr;
        std::optional<std::string> bytes = encodeHeadwordIndex(*content);
        if (!bytes)
            return nullptr;
        writeCacheFile(headwordCachePath(bookPath), *bytes);
        return HeadwordIndex::fromBytes(std::move(*bytes), content->bookKey);
    } catch (const std::exception &) {
        // A record that does not read: the book is read without an index, which reports it.
        return nullptr;
    }
}

} // namespace kelmor::books
