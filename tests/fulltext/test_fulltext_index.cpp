// The full-text index over fixture books: what a query finds (words in any form, several words,
// phrases, no match, text that would be FTS5 syntax), the ranking, books changed or removed, the
// cache damaged, of another version, unwritable or locked, an indexing stopped half-way, two
// instances on one cache, and the tokens with their places in the text.
#include "books/word_forms.h"
#include "fulltext/fulltext_index.h"
#include "fulltext/sqlite_connection.h"
#include "fulltext/word_tokens.h"
#include "platform/cache_folder.h"
#include "support/book_fixture.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <utime.h>

namespace {

using namespace kelmor;
using namespace kelmor::fulltext;
using kelmor::testing::BookFolder;
using kelmor::testing::FixtureBook;
using kelmor::testing::FixtureRecord;

std::shared_ptr<const books::WordForms> russian()
{
    static const std::shared_ptr<const books::WordForms> forms =
        books::WordForms::systemDictionary();
    return forms;
}

QByteArray fileHash(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Moves a file's modification time, so that its key changes even when rewritten within the same
// clock tick.
void touchLater(const QString &path, int seconds)
{
    const QByteArray native = QFile::encodeName(path);
    const std::time_t when = std::time(nullptr) + seconds;
    utimbuf times{when, when};
    ::utime(native.constData(), &times);
}

FixtureBook dreamBook()
{
    return {QStringLiteral("a.book"),
            QStringLiteral("Первый сонник"),
            {},
            {},
            {},
            {{"Змея", "Змея во сне – к коварной женщине.\r\nУбить змею – одолеть врага."},
             {"Вода", "Стоячая вода – к застою. Чистая вода – к здоровью."},
             {"Дорога", "Дальняя дорога – к переменам; деньги на дороге – к прибыли."},
             {"Кошелёк", "Найти кошелёк с деньгами – к заботам в пути."},
             {"Болото", "Идти по воде, стоячей и тёмной, – к тоске."},
             {"Ёлка", "Наряжать ёлку – к празднику."},
             {"Кракозябра", "Кракозябра во сне – к путанице."},
             {"Пустое", ""}}};
}

class FulltextIndexTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(russian()->isAvailable()) << russian()->unavailableReason().toStdString();
        ASSERT_TRUE(cacheDir.isValid());
    }

    QString cacheFile() const
    {
        return cacheDir.filePath(QStringLiteral("kelmor/fulltext.sqlite"));
    }

    std::shared_ptr<FulltextIndex> open(const QString &file, int lockWaitMs = 2000)
    {
        FulltextIndex::Options options;
        options.file = file;
        options.forms = russian();
        options.lockWaitMs = lockWaitMs;
        return FulltextIndex::open(options);
    }

    BookRef refOf(const QString &name) const
    {
        return {platform::bookCacheKey(books.filePath(name)), name};
    }

    FulltextIndex::Outcome index(FulltextIndex &in, const QString &name)
    {
        const BookRef ref = refOf(name);
        return in.indexBook(books.filePath(name), ref.key, name).outcome;
    }

    // "headword" for each hit, best first.
    QStringList find(const FulltextIndex &in, const QString &text, const QStringList &names,
                     FulltextResult *result = nullptr)
    {
        std::vector<BookRef> refs;
        for (const QString &name : names)
            refs.push_back(refOf(name));
        const FulltextResult r = in.search(parseFulltextQuery(text), refs, 50);
        QStringList out;
        for (const FulltextHit &hit : r.hits)
            out << hit.headword;
        if (result)
            *result = r;
        return out;
    }

    BookFolder books;
    QTemporaryDir cacheDir;
};

struct FindCase
{
    const char *query;
    QStringList headwords; // in any order
};

class FulltextQueries : public FulltextIndexTest, public ::testing::WithParamInterface<FindCase>
{
};

TEST_P(FulltextQueries, FindTheArticlesWhoseTextHoldsEveryTermInAnyForm)
{
    books.write(dreamBook());
    const auto in = open(cacheFile());
    ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
    const FindCase &c = GetParam();
    QStringList found = find(*in, QString::fromUtf8(c.query), {"a.book"});
    found.sort();
    QStringList expected = c.headwords;
    expected.sort();
    EXPECT_EQ(found, expected) << c.query;
}

INSTANTIATE_TEST_SUITE_P(
    Queries, FulltextQueries,
    ::testing::Values(
        // One word, in the text's form or another one.
        FindCase{"змея", {"Змея"}}, FindCase{"змеи", {"Змея"}}, FindCase{"ЗМЕЁЙ", {"Змея"}},
        FindCase{"деньги", {"Дорога", "Кошелёк"}},
        // Several words: all of them.
        FindCase{"деньги дорога", {"Дорога"}}, FindCase{"женщины враг", {"Змея"}},
        FindCase{"змея дорога", {}},
        // A phrase: its words together, in order, each in any form.
        FindCase{"\"стоячей воде\"", {"Вода"}}, FindCase{"стоячей воде", {"Вода", "Болото"}},
        FindCase{"«чистую воду»", {"Вода"}}, FindCase{"\"воду стоячую\"", {"Болото"}},
        // "ё" and "е" alike; a word the dictionary does not know, as written.
        FindCase{"елку", {"Ёлка"}}, FindCase{"кошелек", {"Кошелёк"}},
        FindCase{"КРАКОЗЯБРА", {"Кракозябра"}}, FindCase{"кракозябрами", {}}, FindCase{"шмяк", {}},
        // What would be FTS5 syntax is read as its words.
        FindCase{"змея*", {"Змея"}}, FindCase{"-змея", {"Змея"}}, FindCase{"NEAR(змея враг)", {}},
        FindCase{"змея OR вода", {}}, FindCase{"body:змея", {}}, FindCase{"\"змея", {"Змея"}},
        FindCase{"'; DROP TABLE books; --", {}}, FindCase{"\" * - : ^ ( ) { }", {}}));

TEST_F(FulltextIndexTest, TheArticleWhereTheWordWeighsMostComesFirst)
{
    books.write({"a.book",
                 "Первый",
                 {"Дом", "Лес", "Река"},
                 {},
                 {},
                 {{"Ночь", "Тёмная ночь над полем, ветер гонит тучи, в траве шуршат мыши, вдали "
                           "лает собака, и только к утру выходит луна."},
                  {"Луна", "Луна – к переменам. Полная луна – к радости."}}});
    books.write(
        {"b.book", "Второй", {"Сад"}, {}, {}, {{"Месяц", "Молодой месяц, луна – к удаче."}}});
    const auto in = open(cacheFile());
    ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
    ASSERT_EQ(index(*in, "b.book"), FulltextIndex::Outcome::Indexed);
    FulltextResult result;
    const QStringList found = find(*in, "луна", {"a.book", "b.book"}, &result);
    ASSERT_EQ(found.size(), 3);
    EXPECT_EQ(found.front(), "Луна");
    EXPECT_EQ(result.total, 3);
    for (std::size_t i = 1; i < result.hits.size(); ++i)
        EXPECT_LE(result.hits[i - 1].score, result.hits[i].score);
    // The snippet marks every matched word.
    EXPECT_EQ(result.hits.front().snippetWith(u"[", u"]"),
              "[Луна] – к переменам. Полная [луна] – к радости.");
    EXPECT_EQ(result.hits.front().snippetHtml(),
              "<b>Луна</b> – к переменам. Полная <b>луна</b> – к радости.");
    // The limit keeps the best.
    const FulltextResult one = in->search(parseFulltextQuery(QStringLiteral("луна")),
                                          std::vector{refOf("a.book"), refOf("b.book")}, 1);
    ASSERT_EQ(one.hits.size(), 1u);
    EXPECT_EQ(one.hits[0].headword, "Луна");
    EXPECT_EQ(one.total, 3);
}

TEST_F(FulltextIndexTest, AChangedBookIsIndexedAgainAndARemovedOneIsDropped)
{
    books.write({"a.book", "Первый", {}, {}, {}, {{"Змея", "Старый текст про змею."}}});
    books.write({"b.book", "Второй", {}, {}, {}, {{"Вода", "Вода и змея."}}});
    const QByteArray aBefore = fileHash(books.filePath("a.book"));
    auto in = open(cacheFile());
    ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
    ASSERT_EQ(index(*in, "b.book"), FulltextIndex::Outcome::Indexed);
    EXPECT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::AlreadyIndexed);
    EXPECT_EQ(fileHash(books.filePath("a.book")), aBefore) << "a book is only read";

    books.write({"a.book", "Первый", {}, {}, {}, {{"Змея", "Новый текст про ужа."}}});
    touchLater(books.filePath("a.book"), 5);
    // The index of the book as it was is not trusted any more.
    FulltextResult result;
    EXPECT_EQ(find(*in, "змея", {"a.book", "b.book"}, &result), QStringList{"Вода"});
    EXPECT_EQ(result.booksNotIndexed, 1);
    ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
    EXPECT_EQ(find(*in, "уж", {"a.book"}), QStringList{"Змея"});
    EXPECT_EQ(find(*in, "старый", {"a.book"}), QStringList());
    EXPECT_EQ(in->indexedKeys().size(), 2) << "the earlier index of the file went with it";

    // b.book removed from the folder: its index goes at the next use, with its table.
    QFile::remove(books.filePath("b.book"));
    in->dropBooksExcept({refOf("a.book").key});
    EXPECT_EQ(in->indexedKeys(), QStringList{refOf("a.book").key});
    in.reset();
    // Nothing of b.book's is left in the file: every object of a book's is named after it.
    SqliteConnection db(cacheFile());
    SqliteStatement objects =
        db.prepare("SELECT name FROM sqlite_schema WHERE name LIKE 'book\\_%' ESCAPE '\\'");
    QSet<QString> books;
    while (objects.step())
        books.insert(objects.text(0).section(u'_', 0, 1));
    EXPECT_EQ(books.size(), 1) << QStringList(books.values()).join(' ').toStdString();
}

// Ways a cache file goes bad.
enum class Damage { Garbage, Truncated, GarbageAfterHeader, Empty };

class DamagedCache : public FulltextIndexTest, public ::testing::WithParamInterface<Damage>
{
};

TEST_P(DamagedCache, IsMadeAnewAndServesAgain)
{
    books.write(dreamBook());
    {
        const auto in = open(cacheFile());
        ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
        ASSERT_FALSE(in->inMemory());
    } // closed: the log is written back into the file
    QFile file(cacheFile());
    const qint64 size = file.size();
    ASSERT_GT(size, 8192);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray garbage(int(size), '\0');
    for (int i = 0; i < garbage.size(); ++i)
        garbage[i] = char((i * 7919 + 13) & 0xFF);
    switch (GetParam()) {
    case Damage::Garbage:
        file.write(garbage);
        break;
    case Damage::Truncated:
        file.resize(size / 2);
        break;
    case Damage::GarbageAfterHeader:
        file.seek(100);
        file.write(garbage.mid(100));
        break;
    case Damage::Empty:
        file.resize(0);
        break;
    }
    file.close();

    auto in = open(cacheFile());
    ASSERT_FALSE(in->inMemory()) << in->note().toStdString();
    if (GetParam() != Damage::Empty) {
        EXPECT_TRUE(in->note().contains("построен заново")) << in->note().toStdString();
    }
    EXPECT_TRUE(in->indexedKeys().isEmpty());
    ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
    EXPECT_EQ(find(*in, "змеи", {"a.book"}), QStringList{"Змея"});
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedCache,
                         ::testing::Values(Damage::Garbage, Damage::Truncated,
                                           Damage::GarbageAfterHeader, Damage::Empty));

TEST_F(FulltextIndexTest, ACacheOfAnotherVersionDictionaryOrProgramIsMadeAnew)
{
    books.write(dreamBook());
    const auto prepare = [this](const char *change) {
        {
            const auto in = open(cacheFile());
            ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
        }
        SqliteConnection db(cacheFile());
        db.exec(change);
    };
    const struct
    {
        const char *change;
        const char *note;
    } cases[] = {
        {"PRAGMA user_version=0", "другой версией программы"},
        {"UPDATE meta SET value = 'other' WHERE key = 'forms'", "другим словарём"},
        {"PRAGMA application_id=7", "не является кэшем поиска"},
    };
    for (const auto &c : cases) {
        prepare(c.change);
        const auto in = open(cacheFile());
        EXPECT_TRUE(in->note().contains(QString::fromUtf8(c.note))) << in->note().toStdString();
        EXPECT_TRUE(in->indexedKeys().isEmpty()) << c.change;
        EXPECT_FALSE(in->inMemory());
    }
    // A cache made without the dictionary is not one made with it.
    {
        FulltextIndex::Options options;
        options.file = cacheFile();
        const auto plain = FulltextIndex::open(options);
        EXPECT_TRUE(plain->note().contains("другим словарём"));
    }
}

TEST_F(FulltextIndexTest, AnUnwritableCacheFolderGivesAnIndexInMemoryWithTheSameResults)
{
    books.write(dreamBook());
    // The folder cannot be made: a file stands where it would be (root may write anywhere).
    QFile blocker(cacheDir.filePath("blocked"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto memory = open(cacheDir.filePath("blocked/kelmor/fulltext.sqlite"));
    ASSERT_TRUE(memory->inMemory());
    EXPECT_TRUE(memory->note().contains("недоступна для записи")) << memory->note().toStdString();
    const auto disk = open(cacheFile());
    ASSERT_FALSE(disk->inMemory());
    for (FulltextIndex *in : {memory.get(), disk.get()})
        ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
    for (const char *query : {"змеи", "деньги", "\"стоячей воде\""})
        EXPECT_EQ(find(*memory, query, {"a.book"}), find(*disk, query, {"a.book"})) << query;
}

TEST_F(FulltextIndexTest, ALockedCacheDoesNotHang)
{
    books.write(dreamBook());
    {
        open(cacheFile());
    } // made
    {
        // Another program holds the whole file: an index in memory.
        SqliteConnection other(cacheFile());
        other.exec("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; "
                   "UPDATE meta SET value = value WHERE key = 'forms'");
        const auto in = open(cacheFile(), 300);
        EXPECT_TRUE(in->inMemory());
        EXPECT_TRUE(in->note().contains("занят другой программой")) << in->note().toStdString();
        ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
        EXPECT_EQ(find(*in, "змеи", {"a.book"}), QStringList{"Змея"});
        other.exec("ROLLBACK");
    }
    {
        // Another instance writes for longer than a write waits: the book waits for next time.
        SqliteConnection other(cacheFile());
        other.exec("BEGIN IMMEDIATE");
        const auto in = open(cacheFile(), 300);
        ASSERT_FALSE(in->inMemory());
        EXPECT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Locked);
        // The end of the program ends the wait at once.
        std::atomic<bool> stop = true;
        FulltextIndex::Options options;
        options.file = cacheFile();
        options.forms = russian();
        options.lockWaitMs = 5000;
        options.stop = &stop;
        const auto ending = FulltextIndex::open(options);
        EXPECT_EQ(index(*ending, "a.book"), FulltextIndex::Outcome::Stopped);
        other.exec("ROLLBACK");
        EXPECT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);
    }
}

TEST_F(FulltextIndexTest, AStoppedIndexingKeepsTheBooksDoneAndSearchesWhatIsIndexedSoFar)
{
    QStringList many;
    for (int i = 0; i < 300; ++i)
        many << QStringLiteral("Слово%1").arg(QChar(u'а' + i % 32)).repeated(1 + i / 32);
    books.write(dreamBook());
    books.write({"b.book", "Второй", many, {}, {}, {}});
    const auto in = open(cacheFile());
    ASSERT_EQ(index(*in, "a.book"), FulltextIndex::Outcome::Indexed);

    // Half-way through b.book: the articles so far are found, then the program ends.
    int foundMidway = -1;
    const BookRef b = refOf("b.book");
    const FulltextIndex::IndexReport stopped =
        in->indexBook(books.filePath("b.book"), b.key, "b.book", [&](qint64 done, qint64 total) {
            EXPECT_EQ(total, 300);
            if (done < 128)
                return true;
            foundMidway = find(*in, "толкование", {"b.book"}).size();
            return false;
        });
    EXPECT_EQ(stopped.outcome, FulltextIndex::Outcome::Stopped);
    EXPECT_GE(foundMidway, 50);
    EXPECT_LT(foundMidway, 300);
    EXPECT_EQ(in->indexedKeys(), QStringList{refOf("a.book").key});
    EXPECT_TRUE(find(*in, "толкование", {"b.book"}).isEmpty());
    EXPECT_EQ(find(*in, "змеи", {"a.book"}), QStringList{"Змея"});

    // The next start completes it.
    const auto again = open(cacheFile());
    EXPECT_EQ(index(*again, "b.book"), FulltextIndex::Outcome::Indexed);
    FulltextResult result;
    find(*again, "толкование", {"b.book"}, &result);
    EXPECT_EQ(result.total, 300);
}

TEST_F(FulltextIndexTest, TwoInstancesShareOneCacheWithoutDuplicatesOrWaitingToRead)
{
    FixtureBook a = dreamBook();
    for (int i = 0; i < 100; ++i) // enough articles for the writer to report progress midway
        a.words << QStringLiteral("Слово%1").arg(QChar(u'а' + i % 32)).repeated(1 + i / 32);
    books.write(a);
    books.write({"b.book", "Второй", {}, {}, {}, {{"Змей", "Змей Горыныч – к испытанию."}}});
    const auto first = open(cacheFile());
    const auto second = open(cacheFile());
    ASSERT_EQ(index(*first, "b.book"), FulltextIndex::Outcome::Indexed);

    // While the first instance writes a.book, the second reads what is committed.
    std::promise<void> inside;
    std::promise<void> read;
    std::future<void> readDone = read.get_future();
    bool toldInside = false;
    std::future<FulltextIndex::Outcome> writer = std::async(std::launch::async, [&] {
        const BookRef a = refOf("a.book");
        return first
            ->indexBook(books.filePath("a.book"), a.key, "a.book",
                        [&](qint64 done, qint64 total) {
                            if (done < total && !std::exchange(toldInside, true)) {
                                inside.set_value(); // the transaction is open
                                readDone.wait_for(std::chrono::seconds(20));
                            }
                            return true;
                        })
            .outcome;
    });
    ASSERT_EQ(inside.get_future().wait_for(std::chrono::seconds(20)), std::future_status::ready);
    FulltextResult during;
    EXPECT_EQ(find(*second, "змеи", {"a.book", "b.book"}, &during), QStringList{"Змей"});
    EXPECT_EQ(during.booksNotIndexed, 1);
    read.set_value();
    EXPECT_EQ(writer.get(), FulltextIndex::Outcome::Indexed);
    // The second instance sees the book done and does not do it again.
    EXPECT_EQ(index(*second, "a.book"), FulltextIndex::Outcome::AlreadyIndexed);
    QStringList both = find(*second, "змеи", {"a.book", "b.book"});
    both.sort();
    EXPECT_EQ(both, (QStringList{"Змей", "Змея"}));
}

// ---------------------------------------------------------------------------------------------

struct Token
{
    int flags;
    QString text;
    int start;
    int end;
    friend bool operator==(const Token &, const Token &) = default;
    friend std::ostream &operator<<(std::ostream &os, const Token &t)
    {
        return os << t.flags << ' ' << t.text.toStdString() << ' ' << t.start << '-' << t.end;
    }
};

std::vector<Token> tokensOf(WordTokens &tokens, const QByteArray &utf8)
{
    std::vector<Token> out;
    tokens.tokenize(utf8.constData(), int(utf8.size()), &out,
                    [](void *context, int flags, const char *token, int size, int start, int end) {
                        static_cast<std::vector<Token> *>(context)->push_back(
                            {flags, QString::fromUtf8(token, size), start, end});
                        return 0;
                    });
    return out;
}

TEST(WordTokens, EachWordGivesItselfAndItsFormsAtItsPlaceInTheText)
{
    // Without a dictionary: the words alone, with their byte ranges.
    WordTokens plain(std::make_shared<const books::WordForms>());
    EXPECT_EQ(tokensOf(plain, "Ёлка, кот!"),
              (std::vector<Token>{{0, "елка", 0, 8}, {0, "кот", 10, 16}}));
    // Invalid bytes and signs that are not letters separate words; a stress mark stays in the
    // word's range and leaves its token.
    EXPECT_EQ(tokensOf(plain, "ab\xff"
                              "cd a\xF0\x9F\x98\x80"
                              "b \xD0\xB2\xD0\xBE\xCC\x81"),
              (std::vector<Token>{{0, "ab", 0, 2},
                                  {0, "cd", 3, 5},
                                  {0, "a", 6, 7},
                                  {0, "b", 11, 12},
                                  {0, "во", 13, 19}}));
    EXPECT_TRUE(tokensOf(plain, QByteArray(300, 'x')).empty()) << "a run too long for a word";
    EXPECT_TRUE(tokensOf(plain, "\xC0\x80 \xE0\x80\x80 \xED\xA0\x80").empty())
        << "overlong forms and surrogates are no letters";

    // With the dictionary: the forms at the same place.
    ASSERT_TRUE(russian()->isAvailable());
    WordTokens forms(russian());
    const std::vector<Token> snake = tokensOf(forms, "змеёй");
    ASSERT_GE(snake.size(), 2u);
    EXPECT_EQ(snake[0], (Token{0, "змеей", 0, 10}));
    EXPECT_TRUE(std::any_of(snake.begin() + 1, snake.end(), [](const Token &t) {
        return t == Token{1, "змея", 0, 10};
    }));
}

} // namespace
