// The books' headword indexes in the cache folder: the file format against every damage, and the
// catalogue and word list giving the same answers with a missing, warm, stale, damaged, foreign,
// lying or unwritable index as without any, the books never written.

#include "books/catalogue.h"
#include "books/engine/jet.h"
#include "books/headword_cache.h"
#include "books/headword_index.h"
#include "books/wordlist.h"
#include "platform/cache_folder.h"
#include "support/book_fixture.h"
#include "support/cache_home.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

using namespace kelmor::books;
using namespace kelmor::testing;

namespace {

HeadwordIndexContent sampleContent(int seeks, int words)
{
    HeadwordIndexContent c;
    c.bookKey = "/books/a.book\n123\n456";
    c.recordCount = seeks + 3;
    for (int i = 0; i < seeks; ++i)
        c.seeks.push_back(
            {QStringLiteral("слово%1").arg(i, 4, 10, QLatin1Char('0')).toStdU16String(),
             RowLocation{std::uint32_t(10 + i / 7), std::uint16_t(i % 7)}});
    for (int i = 0; i < words; ++i)
        c.words.push_back(
            {QStringLiteral("Слово%1").arg(i).toStdU16String(), "k" + std::to_string(1000 + i)});
    return c;
}

// Everything an index answers, or the error it raises on the way.
bool readsWhole(const std::string &bytes, const HeadwordIndexContent &content)
{
    try {
        const auto index = HeadwordIndex::fromBytes(bytes, content.bookKey);
        for (const IndexedSeek &s : content.seeks)
            if (index->seek(s.folded) != std::optional(s.location))
                return false;
        if (index->seek(u"нет такого") || index->seek(u""))
            return false;
        const std::vector<IndexedHeadword> words = index->words();
        if (words.size() != content.words.size())
            return false;
        for (std::size_t i = 0; i < words.size(); ++i)
            if (words[i].text != content.words[i].text ||
                words[i].sortKey != content.words[i].sortKey)
                return false;
        return index->recordCount() == content.recordCount;
    } catch (const HeadwordIndexError &) {
        return false;
    }
}

} // namespace

TEST(HeadwordIndexFile, ReadsBackWhatWasWrittenAndRejectsEveryDamagedByte)
{
    const HeadwordIndexContent content = sampleContent(150, 40); // three seek blocks
    const std::optional<std::string> bytes = encodeHeadwordIndex(content);
    ASSERT_TRUE(bytes);
    ASSERT_TRUE(readsWhole(*bytes, content));

    // Any byte changed is caught (a checksum, the key, a size), never answered differently.
    for (std::size_t i = 0; i < bytes->size(); ++i) {
        std::string damaged = *bytes;
        damaged[i] = char(damaged[i] ^ 0x20);
        EXPECT_FALSE(readsWhole(damaged, content)) << "byte " << i;
    }
    // Cut anywhere, or lengthened: the sections no longer fill the file.
    for (std::size_t n = 0; n < bytes->size(); n += 7)
        EXPECT_THROW(HeadwordIndex::fromBytes(bytes->substr(0, n), content.bookKey),
                     HeadwordIndexError)
            << "length " << n;
    EXPECT_THROW(HeadwordIndex::fromBytes(*bytes + "x", content.bookKey), HeadwordIndexError);
    // Another book's index, another format, another version.
    EXPECT_THROW(HeadwordIndex::fromBytes(*bytes, "/books/b.book\n123\n456"), HeadwordIndexError);
    std::string foreign = *bytes;
    foreign.replace(0, 8, "SQLite f");
    EXPECT_THROW(HeadwordIndex::fromBytes(foreign, content.bookKey), HeadwordIndexError);
    std::string newer = *bytes;
    newer[8] = char(kHeadwordIndexVersion + 1);
    EXPECT_THROW(HeadwordIndex::fromBytes(newer, content.bookKey), HeadwordIndexError);

    // An empty book has an empty index.
    HeadwordIndexContent empty;
    empty.bookKey = "k";
    const auto emptyIndex = HeadwordIndex::fromBytes(*encodeHeadwordIndex(empty), "k");
    EXPECT_FALSE(emptyIndex->seek(u"а"));
    EXPECT_TRUE(emptyIndex->words().empty());

    // Contents out of the order the format promises are not written.
    HeadwordIndexContent unordered = content;
    std::swap(unordered.seeks[3], unordered.seeks[4]);
    EXPECT_FALSE(encodeHeadwordIndex(unordered));
}

namespace {

struct Answers
{
    QStringList items;
    std::int64_t total = 0;
    std::vector<int> found;                             // WordList::find of each probe
    std::vector<std::optional<StoredArticle>> articles; // Catalogue::find in every book
    QStringList itemsWithFirstOff;
    std::int64_t totalWithFirstOff = 0;
    bool operator==(const Answers &o) const
    {
        const auto same = [](const std::optional<StoredArticle> &a,
                             const std::optional<StoredArticle> &b) {
            return a.has_value() == b.has_value() &&
                   (!a || (a->text == b->text && a->links == b->links));
        };
        if (articles.size() != o.articles.size())
            return false;
        for (std::size_t i = 0; i < articles.size(); ++i)
            if (!same(articles[i], o.articles[i]))
                return false;
        return items == o.items && total == o.total && found == o.found &&
               itemsWithFirstOff == o.itemsWithFirstOff && totalWithFirstOff == o.totalWithFirstOff;
    }
};

// What the catalogue and the word list answer over the folder: the list, its search, every
// book's article of every headword (and of words no book has), and the list with book 0 off.
Answers answers(const QString &books, bool indexes, const QStringList &probes,
                bool *allIndexed = nullptr)
{
    Catalogue c;
    c.setHeadwordIndexes(indexes);
    EXPECT_EQ(c.load(books).status, Catalogue::Status::Ok);
    if (allIndexed) {
        *allIndexed = true;
        for (int n = 0; n < c.count(); ++n)
            *allIndexed = *allIndexed && c.isIndexed(n);
    }
    WordList list(c);
    EXPECT_TRUE(list.rebuild().ok);
    Answers a;
    for (int r = 0; r < list.count(); ++r)
        a.items << list.word(r);
    a.total = list.totalArticles();
    for (const QString &p : probes)
        a.found.push_back(list.find(p));
    QStringList sought = a.items;
    sought << QStringLiteral("нет такого слова") << QString() << QStringLiteral("ВОДА");
    for (const QString &w : sought)
        for (int n = 0; n < c.count(); ++n)
            a.articles.push_back(c.find(n, w.toStdU16String()));
    c.setEnabled(0, false);
    EXPECT_TRUE(list.rebuild().ok);
    for (int r = 0; r < list.count(); ++r)
        a.itemsWithFirstOff << list.word(r);
    a.totalWithFirstOff = list.totalArticles();
    return a;
}

void writeSmallLibrary(const BookFolder &folder, const QString &extra = {})
{
    folder.write({"a.book",
                  "А",
                  {"Яблоко", "Вода", "Ёж", "Есть", "вода", "Ель"},
                  {},
                  {},
                  {{"Дом", "Свой дом.", QStringLiteral("Изба")}, {"Вода", "Второе о воде."}}});
    folder.write({"b.book", "Б", {"Вода", "Еда", "Жаба", "Ель", "Дом", "ёж"}, {}, {}});
    folder.write({"c.book", "В", {}, {}, {}});
    QStringList d{"Дом", "Стоячая вода", "Ёлка"};
    if (!extra.isEmpty())
        d << extra;
    folder.write({"d.book", "Г", d, {}, {}});
}

const QStringList kProbes = {"в", "ВО", "е", "ё", "ел", "д", "с", "я", "z", " ", "стоячая в"};

struct BookStamp
{
    QByteArray bytes;
    QDateTime modified;
    bool operator==(const BookStamp &) const = default;
};

std::vector<BookStamp> stamps(const BookFolder &folder)
{
    std::vector<BookStamp> out;
    for (const QString &name : QDir(folder.path()).entryList(QDir::Files, QDir::Name))
        out.push_back({folder.read(name), QFileInfo(folder.filePath(name)).lastModified()});
    return out;
}

void overwrite(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

TEST(HeadwordCache, EveryStateOfTheCacheAnswersAsNoCache)
{
    BookFolder folder;
    writeSmallLibrary(folder);
    const QString bookA = folder.filePath("a.book");
    const Answers expected = answers(folder.path(), false, kProbes);
    const std::vector<BookStamp> before = stamps(folder);

    struct Case
    {
        const char *name;
        // Prepares the cache after a first load wrote it; bookA's index file is given.
        std::function<void(const QString &indexFile)> prepare;
        bool indexedAfter; // every book answered through its index at the second load
    };
    const std::vector<Case> cases = {
        {"warm", [](const QString &) {}, true},
        {"missing", [](const QString &f) { QFile::remove(f); }, true},
        {"truncated",
         [](const QString &f) {
             QFile file(f);
             file.open(QIODevice::ReadOnly);
             const QByteArray bytes = file.readAll();
             file.close();
             overwrite(f, bytes.left(bytes.size() / 2));
         },
         true},
        {"byte changed",
         [](const QString &f) {
             QFile file(f);
             file.open(QIODevice::ReadOnly);
             QByteArray bytes = file.readAll();
             file.close();
             bytes[bytes.size() - 5] = char(bytes[bytes.size() - 5] ^ 1);
             overwrite(f, bytes);
         },
         true},
        {"foreign", [](const QString &f) { overwrite(f, QByteArray("SQLite format 3\0", 16)); },
         true},
        {"empty", [](const QString &f) { overwrite(f, {}); }, true},
        {"a folder in its place",
         [](const QString &f) {
             QFile::remove(f);
             QDir().mkpath(f);
         },
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const CacheHome home;
        bool indexed = false;
        EXPECT_EQ(answers(folder.path(), true, kProbes, &indexed), expected); // cold
        EXPECT_TRUE(indexed);
        const QString indexFile = headwordCachePath(bookA);
        ASSERT_TRUE(QFileInfo::exists(indexFile));
        c.prepare(indexFile);
        EXPECT_EQ(answers(folder.path(), true, kProbes, &indexed), expected);
        EXPECT_TRUE(indexed); // rebuilt in memory when it could not be written again
        // The next start finds a whole index again, unless something else holds its place.
        Catalogue again;
        ASSERT_EQ(again.load(folder.path()).status, Catalogue::Status::Ok);
        EXPECT_EQ(openCachedHeadwordIndex(bookA, kelmor::platform::bookCacheKey(bookA)) != nullptr,
                  c.indexedAfter);
    }
    EXPECT_EQ(stamps(folder), before); // the books were only read
}

TEST(HeadwordCache, WordsOutOfOrderBehindValidChecksumsAnswerAsNoCache)
{
    // An index whose checksums are right but whose words are not in order (a writer of another
    // build, say) is found out while the word list merges the books' words: the list is then
    // built the usual way, with that book read from its table, and its index goes.
    BookFolder folder;
    writeSmallLibrary(folder);
    const QString bookA = folder.filePath("a.book");
    const Answers expected = answers(folder.path(), false, kProbes);
    const CacheHome home;
    bool indexed = false;
    EXPECT_EQ(answers(folder.path(), true, kProbes, &indexed), expected); // written
    ASSERT_TRUE(indexed);

    QFile file(headwordCachePath(bookA));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    file.close();
    const auto get64 = [&](qsizetype at) {
        std::uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = (v << 8) | std::uint8_t(bytes[at + i]);
        return v;
    };
    const auto set64 = [&](qsizetype at, std::uint64_t v) {
        for (int i = 0; i < 8; ++i)
            bytes[at + i] = char((v >> (8 * i)) & 0xFF);
    };
    const auto get16 = [&](qsizetype at) {
        return qsizetype(std::uint8_t(bytes[at]) | (std::uint8_t(bytes[at + 1]) << 8));
    };
    // Header: words bytes at 56, words checksum at 72, header checksum (of bytes 0..79) at 80;
    // the words are the file's last section, each a 16-bit unit count, the units, a 16-bit
    // key length and the key.
    const qsizetype wordsStart = bytes.size() - qsizetype(get64(56));
    const auto entryEnd = [&](qsizetype at) {
        const qsizetype units = at + 2 + 2 * get16(at);
        return units + 2 + get16(units);
    };
    const qsizetype second = entryEnd(wordsStart), third = entryEnd(second);
    const QByteArray swapped =
        bytes.mid(second, third - second) + bytes.mid(wordsStart, second - wordsStart);
    bytes.replace(wordsStart, third - wordsStart, swapped);
    const QByteArray words = bytes.mid(wordsStart);
    set64(72,
          headwordIndexChecksum(std::string_view(words.constData(), std::size_t(words.size()))));
    set64(80, headwordIndexChecksum(std::string_view(bytes.constData(), 80)));
    overwrite(headwordCachePath(bookA), bytes);

    EXPECT_EQ(answers(folder.path(), true, kProbes, &indexed), expected);
    EXPECT_FALSE(QFileInfo::exists(headwordCachePath(bookA))); // made anew at the next start
}

TEST(HeadwordCache, UnwritableCacheFolderAnswersAsNoCache)
{
    BookFolder folder;
    writeSmallLibrary(folder);
    const Answers expected = answers(folder.path(), false, kProbes);
    // The cache home is a file: no folder can be made there.
    const QString blocker = folder.rootPath("not-a-folder");
    overwrite(blocker, "x");
    const CacheHome home(blocker);
    bool indexed = false;
    EXPECT_EQ(answers(folder.path(), true, kProbes, &indexed), expected);
    EXPECT_TRUE(indexed); // from memory
    EXPECT_EQ(answers(folder.path(), true, kProbes), expected);
}

TEST(HeadwordCache, StaleIndexOfAChangedBookIsNotUsed)
{
    BookFolder folder;
    writeSmallLibrary(folder);
    const CacheHome home;
    (void)answers(folder.path(), true, kProbes); // writes the indexes
    const QString bookD = folder.filePath("d.book");
    const QString oldKey = kelmor::platform::bookCacheKey(bookD);
    // The same file name with other headwords (and so another size or time).
    writeSmallLibrary(folder, QStringLiteral("Новое слово"));
    QFile d(bookD);
    ASSERT_TRUE(d.open(QIODevice::ReadWrite));
    ASSERT_TRUE(
        d.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime));
    d.close();
    ASSERT_NE(kelmor::platform::bookCacheKey(bookD), oldKey);
    const Answers expected = answers(folder.path(), false, kProbes);
    const Answers cached = answers(folder.path(), true, kProbes);
    EXPECT_EQ(cached, expected);
    EXPECT_TRUE(cached.items.contains(QStringLiteral("Новое слово")));
}

TEST(HeadwordCache, IndexThatNamesWrongRecordsIsCheckedOnRead)
{
    BookFolder folder;
    writeSmallLibrary(folder);
    const Answers expected = answers(folder.path(), false, kProbes);
    const CacheHome home;
    const QString bookA = folder.filePath("a.book");
    const QString key = kelmor::platform::bookCacheKey(bookA);
    // A whole index of this very book (right key, checksums) whose every location is another
    // record's.
    auto db = Database::open(bookA.toStdString());
    auto table = db->openTable("Book");
    table->setCurrentIndex("List");
    std::optional<HeadwordIndexContent> content = buildHeadwordIndex(*table, key);
    ASSERT_TRUE(content);
    ASSERT_GT(content->seeks.size(), 2u);
    const RowLocation first = content->seeks.front().location;
    for (std::size_t i = 0; i + 1 < content->seeks.size(); ++i)
        content->seeks[i].location = content->seeks[i + 1].location;
    content->seeks.back().location = first;
    ASSERT_TRUE(writeCacheFile(headwordCachePath(bookA), *encodeHeadwordIndex(*content)));
    // The wrong page entirely: no data page of the table.
    EXPECT_EQ(answers(folder.path(), true, kProbes), expected);
    content->seeks.front().location = RowLocation{0, 0};
    ASSERT_TRUE(writeCacheFile(headwordCachePath(bookA), *encodeHeadwordIndex(*content)));
    EXPECT_EQ(answers(folder.path(), true, kProbes), expected);
}

TEST(HeadwordCache, BooksLeftUnindexedAtLoadAreIndexedLater)
{
    BookFolder folder;
    writeSmallLibrary(folder);
    const Answers expected = answers(folder.path(), false, kProbes);
    const CacheHome home;
    Catalogue first;
    first.setIndexingOnLoad(false);
    ASSERT_EQ(first.load(folder.path()).status, Catalogue::Status::Ok);
    ASSERT_EQ(first.unindexedBooks().size(), 4u);
    for (int n = 0; n < first.count(); ++n)
        EXPECT_FALSE(first.isIndexed(n));
    EXPECT_FALSE(QFileInfo::exists(headwordCacheFolder()));
    writeHeadwordIndexes(first.unindexedBooks());
    bool indexed = false;
    EXPECT_EQ(answers(folder.path(), true, kProbes, &indexed), expected);
    EXPECT_TRUE(indexed);
    Catalogue warm;
    warm.setIndexingOnLoad(false);
    ASSERT_EQ(warm.load(folder.path()).status, Catalogue::Status::Ok);
    EXPECT_TRUE(warm.unindexedBooks().empty());
}

TEST(HeadwordCache, GeneratedLibraryListsTheSameCachedAndUncached)
{
    BookFolder folder;
    std::mt19937 rng(3);
    const QString letters = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВЕЁЖЯ- 1");
    QStringList pool;
    for (int i = 0; i < 3000; ++i) {
        QString w;
        const int n = std::uniform_int_distribution<int>(1, 9)(rng);
        for (int k = 0; k < n; ++k)
            w += letters.at(std::uniform_int_distribution<int>(0, int(letters.size()) - 1)(rng));
        pool << w;
    }
    for (int b = 0; b < 5; ++b) {
        QStringList words;
        for (int i = 0; i < 1200; ++i)
            words << pool.at(std::uniform_int_distribution<int>(0, int(pool.size()) - 1)(rng));
        folder.write({QStringLiteral("g%1.book").arg(b), QStringLiteral("Г%1").arg(b), words});
    }
    QStringList probes = kProbes;
    for (int i = 0; i < 200; ++i)
        probes << pool.at(i).left(1 + i % 3);
    const Answers expected = answers(folder.path(), false, probes);
    const CacheHome home;
    bool indexed = false;
    EXPECT_EQ(answers(folder.path(), true, probes, &indexed), expected); // cold: built and written
    EXPECT_TRUE(indexed);
    EXPECT_EQ(answers(folder.path(), true, probes, &indexed), expected); // warm: merged
    EXPECT_TRUE(indexed);
}

TEST(HeadwordCache, ConcurrentWritersLeaveOneWholeFile)
{
    const QTemporaryDir dir;
    const QString path = dir.filePath("headwords/x.idx");
    std::vector<HeadwordIndexContent> contents;
    std::vector<std::string> files;
    for (int i = 0; i < 4; ++i) {
        contents.push_back(sampleContent(100 + 40 * i, 30 * i));
        files.push_back(*encodeHeadwordIndex(contents.back()));
    }
    std::atomic<bool> done = false;
    std::atomic<int> torn = 0;
    std::thread reader([&] {
        while (!done) {
            try {
                if (auto index = HeadwordIndex::open(path.toStdString(), contents[0].bookKey))
                    (void)index->words();
            } catch (const HeadwordIndexError &) {
                ++torn;
            }
        }
    });
    std::vector<std::thread> writers;
    for (int i = 0; i < 4; ++i)
        writers.emplace_back([&, i] {
            for (int k = 0; k < 40; ++k)
                writeCacheFile(path, files[size_t(i)]);
        });
    for (std::thread &t : writers)
        t.join();
    done = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray last = f.readAll();
    EXPECT_NE(std::find(files.begin(), files.end(), last.toStdString()), files.end());
    EXPECT_EQ(QDir(dir.filePath("headwords")).entryList(QDir::Files).size(), 1); // no leftovers
}
