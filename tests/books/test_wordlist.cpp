// The merged word list: one item per headword of the enabled books, Russian dictionary order,
// the article count, reading failures, and the incremental search (fast index against the plain
// walk through the list).

#include "books/catalogue.h"
#include "books/engine/book_writer.h"
#include "books/engine/jet.h"
#include "books/engine/jet_writer.h"
#include "books/wordlist.h"
#include "support/book_fixture.h"

#include <gtest/gtest.h>

#include <random>

using namespace kelmor::books;
using namespace kelmor::testing;

namespace {

QStringList items(const WordList &list)
{
    QStringList out;
    for (int r = 0; r < list.count(); ++r)
        out << list.word(r);
    return out;
}

} // namespace

TEST(WordList, MergesEnabledBooksOnceEachInDictionaryOrder)
{
    BookFolder folder;
    folder.write({"a.book", "А", {"Яблоко", "Вода", "Ёж", "Есть"}, {}, {}});
    folder.write({"b.book", "Б", {"Вода", "Еда", "Жаба", "Ель"}, {}, {}});
    folder.write({"c.book", "В", {}, {}, {}}); // empty: loaded, contributes nothing
    folder.write({"d.book", "Г", {"Дом", "Вода"}, {}, {}});
    Catalogue c;
    ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
    WordList list(c);

    int between = 0;
    ASSERT_TRUE(list.rebuild([&] { ++between; }).ok);
    EXPECT_EQ(between, 4); // before every book
    // "ё" sorts with "е": Еда, Ёж, Ель, Есть.
    EXPECT_EQ(items(list),
              (QStringList{"Вода", "Дом", "Еда", "Ёж", "Ель", "Есть", "Жаба", "Яблоко"}));
    EXPECT_EQ(list.totalArticles(), 10); // every record counts, shared headwords too

    c.setEnabled(1, false);
    ASSERT_TRUE(list.rebuild().ok);
    EXPECT_EQ(items(list), (QStringList{"Вода", "Дом", "Ёж", "Есть", "Яблоко"}));
    EXPECT_EQ(list.totalArticles(), 6);
    EXPECT_EQ(list.sortsDone(), 1); // no new words, no new sort

    c.setAllEnabled(false);
    ASSERT_TRUE(list.rebuild().ok);
    EXPECT_TRUE(list.isEmpty());
    EXPECT_EQ(list.totalArticles(), 0);
    EXPECT_EQ(list.find("В"), -1);
}

TEST(WordList, BookFirstEnabledLaterIsReadThen)
{
    BookFolder folder;
    folder.write({"a.book", "А", {"Вода"}, {}, {}});
    folder.write({"b.book", "Б", {"Арбуз", "Вода"}, {}, {}});
    Catalogue c;
    ASSERT_EQ(c.load(folder.path(),
                     [](const QString &p) {
                         return p.endsWith("b.book") ? std::optional(0) : std::nullopt;
                     })
                  .status,
              Catalogue::Status::Ok);
    WordList list(c);
    ASSERT_TRUE(list.rebuild().ok);
    EXPECT_EQ(items(list), (QStringList{"Вода"}));
    c.setEnabled(1, true);
    ASSERT_TRUE(list.rebuild().ok);
    EXPECT_EQ(items(list), (QStringList{"Арбуз", "Вода"}));
    EXPECT_EQ(list.find("ар"), 0);
    EXPECT_EQ(list.find("вод"), 1);
}

TEST(WordList, NullHeadwordStopsTheRebuildKeepingWhatWasRead)
{
    BookFolder folder;
    folder.write({"a.book", "А", {"Вода", "Дом"}, {}, {}});
    // A book whose third record has a Null headword, written with the plain database writer.
    JetTableSpec book{u"Book",
                      {{u"List", ColumnType::Text, 255},
                       {u"Text", ColumnType::Memo},
                       {u"Links", ColumnType::Memo}},
                      {}};
    for (const JetCell &headword :
         std::vector<JetCell>{std::u16string(u"Жаба"), std::u16string(u"Арбуз"), JetCell{},
                              std::u16string(u"Яблоко")})
        book.rows.push_back({headword, JetCell{}, JetCell{}});
    JetTableSpec config{u"Config",
                        {{u"Icon", ColumnType::Memo},
                         {u"ToolName", ColumnType::Text, 255},
                         {u"TolkName", ColumnType::Text, 255},
                         {u"Color", ColumnType::Text, 255}},
                        {{JetCell{}, std::u16string(u"Б"), std::u16string(u"Б"), JetCell{}}}};
    std::vector<std::uint8_t> bytes = buildJetDatabase({book, config});
    std::copy(kBookMarker.begin(), kBookMarker.end(), bytes.begin());
    folder.writeRaw("b.book", QByteArray(reinterpret_cast<const char *>(bytes.data()),
                                         qsizetype(bytes.size())));
    folder.write({"c.book", "В", {"Утка"}, {}, {}});

    Catalogue c;
    ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
    ASSERT_EQ(c.count(), 3);
    WordList list(c);
    const WordList::Outcome outcome = list.rebuild();
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.error.startsWith("b.book"));
    EXPECT_EQ(outcome.error, "b.book: у записи не заполнено слово (поле List)");
    // Book a whole, book b up to the Null headword, book c not reached.
    EXPECT_EQ(items(list), (QStringList{"Арбуз", "Вода", "Дом", "Жаба"}));
    EXPECT_EQ(list.find("жа"), 3);

    // The next rebuild starts from scratch and meets the same failure.
    c.setEnabled(0, false);
    EXPECT_FALSE(list.rebuild().ok);
    EXPECT_EQ(items(list), (QStringList{"Арбуз", "Жаба"}));
}

TEST(WordList, IncrementalSearchCases)
{
    BookFolder folder;
    folder.write(
        {"a.book",
         "А",
         {"вода", "Водолей", "Ворона", "Ёлка", "Еда", "ель", "Дом", "Дом отдыха", "Москва", "Яма"},
         {},
         {}});
    Catalogue c;
    ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
    WordList list(c);
    ASSERT_TRUE(list.rebuild().ok);
    ASSERT_EQ(items(list), (QStringList{"вода", "Водолей", "Ворона", "Дом", "Дом отдыха", "Еда",
                                        "Ёлка", "ель", "Москва", "Яма"}));
    const struct
    {
        const char *typed;
        int row;
    } cases[] = {
        {"во", 0},  {"ВО", 0}, {"Вод", 0},   {"водол", 1}, {"вор", 2},    {"ДОМ ", 4}, {"дом", 3},
        {"ё", 6},   {"е", 5},  {"Ел", 7},    {"ёл", 6},    {"   ", -1},   {"", -1},    {" в", -1},
        {"Вв", -1}, {"я", 9},  {"ямак", -1}, {"z", -1},    {"москва", 8},
    };
    for (const auto &tc : cases) {
        const QString typed = QString::fromUtf8(tc.typed);
        EXPECT_EQ(list.find(typed), tc.row) << tc.typed;
        EXPECT_EQ(list.findByScan(typed), tc.row) << tc.typed;
    }
    EXPECT_EQ(list.rowOf("Ёлка"), 6);
    EXPECT_EQ(list.rowOf("ёлка"), -1);
}

// In dictionary order the words that share a prefix (ignoring case) need not stand together:
// "ё" sorts among "е", capitals among small letters. The search index must still give exactly
// the first match of the plain walk.
TEST(WordList, FastSearchEqualsThePlainWalkOnRandomPrefixes)
{
    std::mt19937 rng(20261209);
    const QString alphabet = QStringLiteral("аАбеЕёЁжзЯя -eEёz");
    const auto randomWord = [&](int minLen, int maxLen) {
        const int len = std::uniform_int_distribution<int>(minLen, maxLen)(rng);
        QString w;
        for (int i = 0; i < len; ++i)
            w += alphabet.at(std::uniform_int_distribution<int>(0, int(alphabet.size()) - 1)(rng));
        return w;
    };
    BookFolder folder;
    for (int b = 0; b < 3; ++b) {
        QStringList words;
        for (int i = 0; i < 700; ++i)
            words << randomWord(1, 6);
        folder.write({QStringLiteral("b%1.book").arg(b), QString::number(b), words, {}, {}});
    }
    Catalogue c;
    ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
    WordList list(c);
    for (int round = 0; round < 3; ++round) {
        if (round == 1)
            c.setEnabled(0, false);
        if (round == 2)
            c.keepOnly(2);
        ASSERT_TRUE(list.rebuild().ok);
        ASSERT_GT(list.count(), 100);
        int found = 0;
        for (int i = 0; i < 3000; ++i) {
            const QString typed = randomWord(0, 4);
            const int expected = list.findByScan(typed);
            ASSERT_EQ(list.find(typed), expected) << typed.toStdString();
            found += expected >= 0;
        }
        EXPECT_GT(found, 1000); // the prefixes hit often enough to mean something
    }
}
