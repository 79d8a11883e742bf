// The books' forms indexes in the cache folder: the file format against every damage, and a
// single typed word resolved through them exactly as FormResolver::resolve() resolves it on the
// word list of the enabled books, with a missing, warm, stale (book or dictionary), damaged,
// foreign or unwritable cache, and without a dictionary.

#include "books/catalogue.h"
#include "books/form_cache.h"
#include "books/headword_cache.h"
#include "books/headword_index.h"
#include "books/roots_dictionary.h"
#include "books/word_forms.h"
#include "books/word_list_forms.h"
#include "books/wordlist.h"
#include "platform/cache_folder.h"
#include "support/book_fixture.h"
#include "support/cache_home.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace kelmor::books;
using namespace kelmor::testing;

namespace {

std::shared_ptr<const WordForms> russian()
{
    static const std::shared_ptr<const WordForms> forms = WordForms::systemDictionary();
    return forms;
}

IndexedHeadword headword(const QString &text)
{
    return {text.toStdU16String(), "s" + text.toStdString()};
}

FormIndexContent sampleContent(int entries)
{
    FormIndexContent c;
    c.key = "/books/a.book\n1\n2\n\nno dictionary";
    for (int i = 0; i < entries; ++i) {
        IndexedForm e;
        e.key = QStringLiteral("форма%1").arg(i, 4, 10, QLatin1Char('0')).toStdU16String();
        if (i % 3 != 1)
            e.exact = headword(QStringLiteral("Слово%1").arg(i));
        if (i % 3 != 0)
            e.form = headword(QStringLiteral("Другое%1").arg(i));
        c.entries.push_back(std::move(e));
    }
    return c;
}

bool sameHeadword(const std::optional<IndexedHeadword> &a, const std::optional<IndexedHeadword> &b)
{
    return a.has_value() == b.has_value() &&
           (!a || (a->text == b->text && a->sortKey == b->sortKey));
}

// Every entry read back as written, and nothing else; false on any error.
bool readsWhole(const std::string &bytes, const FormIndexContent &content)
{
    try {
        const auto index = FormIndex::fromBytes(bytes, content.key);
        if (index->entryCount() != content.entries.size())
            return false;
        for (const IndexedForm &e : content.entries) {
            const std::optional<IndexedForm> found = index->find(e.key);
            if (!found || found->key != e.key || !sameHeadword(found->exact, e.exact) ||
                !sameHeadword(found->form, e.form))
                return false;
        }
        return !index->find(u"нет такой") && !index->find(u"") && !index->find(u"яяя");
    } catch (const HeadwordIndexError &) {
        return false;
    }
}

// A resolver's answer: the headword and the form it was found through.
struct Outcome
{
    QString headword;
    QString form;
    bool operator==(const Outcome &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Outcome &o)
{
    return out << o.headword.toStdString() << " / " << o.form.toStdString();
}

Outcome outcomeOf(const std::optional<FormResolver::Match> &match)
{
    return match ? Outcome{match->headword, match->form} : Outcome{};
}

// The answers of the full resolver on the catalogue's word list.
std::vector<Outcome> byResolver(const Catalogue &catalogue,
                                const std::shared_ptr<const WordForms> &forms,
                                const QStringList &typed)
{
    WordList list(catalogue);
    EXPECT_TRUE(list.rebuild().ok);
    const FormResolver resolver(headwordsOf(list), forms);
    std::vector<Outcome> out;
    for (const QString &t : typed)
        out.push_back(outcomeOf(resolver.resolve(t)));
    return out;
}

// The answers through the forms indexes; every single word must be answered there (a phrase
// that is no headword as written is left to the resolver: std::nullopt).
std::vector<std::optional<Outcome>> byIndexes(const Catalogue &catalogue, const WordForms &forms,
                                              const QStringList &typed)
{
    std::vector<std::optional<Outcome>> out;
    for (const QString &t : typed) {
        const FormIndexAnswer answer = resolveThroughFormIndexes(catalogue, forms, t);
        if (!answer.answered) {
            EXPECT_GT(splitWords(t).size(), 1u) << t.toStdString();
        }
        out.push_back(answer.answered ? std::optional(outcomeOf(answer.match)) : std::nullopt);
    }
    return out;
}

// The answers through the forms indexes with the stored roots for a dictionary; with
// mustAnswer, every single word must be answered so (else it may be left to the whole
// dictionary: std::nullopt). The roots are opened once for the table, as resolveThroughRoots()
// opens them for one lookup, and that function answers the first word the same.
std::vector<std::optional<Outcome>> byRoots(const Catalogue &catalogue, const WordForms &whole,
                                            const QStringList &typed, bool mustAnswer = true)
{
    std::unique_ptr<RootsDictionary> roots;
    if (const auto books = enabledFormKeys(catalogue, whole)) {
        std::vector<QString> keys;
        for (const auto &[n, key] : *books)
            keys.push_back(key);
        roots = RootsDictionary::open(keys, whole);
    }
    std::optional<FormIndexes> indexes;
    if (roots)
        indexes.emplace(catalogue, roots->forms(), false);
    std::vector<std::optional<Outcome>> out;
    for (const QString &t : typed) {
        const FormIndexAnswer answer = indexes ? indexes->resolve(t) : FormIndexAnswer{};
        if (mustAnswer && !answer.answered) {
            EXPECT_GT(splitWords(t).size(), 1u) << t.toStdString();
        }
        out.push_back(answer.answered ? std::optional(outcomeOf(answer.match)) : std::nullopt);
    }
    if (!typed.isEmpty()) {
        const FormIndexAnswer first = resolveThroughRoots(catalogue, whole, typed.front());
        EXPECT_EQ(first.answered, out.front().has_value()) << typed.front().toStdString();
        if (first.answered && out.front()) {
            EXPECT_EQ(outcomeOf(first.match), *out.front());
        }
    }
    return out;
}

// How many words the stored roots hold (the count their word list starts with), or -1.
long storedRootCount()
{
    QFile f(rootsCachePath());
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray bytes = f.readAll();
    const std::optional<RootsFile> file = decodeRootsFile(std::string_view(bytes));
    return file ? std::stol(file->words) : -1;
}

void expectSame(const std::vector<Outcome> &expected,
                const std::vector<std::optional<Outcome>> &actual, const QStringList &typed,
                const char *state)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (actual[i]) {
            EXPECT_EQ(*actual[i], expected[i])
                << state << ": " << typed.at(qsizetype(i)).toStdString();
        }
}

// Loads the books with their headword indexes (in the current cache home).
void load(Catalogue &catalogue, const QString &books)
{
    ASSERT_EQ(catalogue.load(books).status, Catalogue::Status::Ok);
    for (int n = 0; n < catalogue.count(); ++n)
        ASSERT_TRUE(catalogue.isIndexed(n)) << n;
}

void overwrite(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A copy of the Russian dictionary in a folder of its own, to be changed under a warm cache.
struct DictionaryCopy
{
    DictionaryCopy()
    {
        EXPECT_TRUE(QFile::copy(russian()->dictionary()->affixPath, affix));
        EXPECT_TRUE(QFile::copy(russian()->dictionary()->wordsPath, words));
    }
    std::shared_ptr<const WordForms> forms() const
    {
        return std::make_shared<const WordForms>(HunspellDictionary{affix, words});
    }
    QTemporaryDir folder;
    const QString affix = folder.filePath("ru_RU.aff");
    const QString words = folder.filePath("ru_RU.dic");
};

const QString kSampleBooks =
    QStringLiteral(KELMOR_BUILD_SHARE "/ZEL Programming/ZEL Kelmor/3.1/Books");

// Typed words on the sample books: as written, through forms, "ё", unknown, not a word.
const QStringList kSampleTyped = {
    "змеи",    "ЗМЕИ",     "Змея",     "  луна ", "зубов",    "зуб",   "собаками", "реке",
    "кошек",   "волосами", "деньгами", "летала",  "мотыльки", "пчёлы", "пчелы",    "ребёнка",
    "ребенка", "берегу",   "шмяк",     "",        "!!!",      "змеи!", "-воды-",   "qwerty",
};

} // namespace

TEST(FormIndexFile, ReadsBackWhatWasWrittenAndRejectsEveryDamagedByte)
{
    const FormIndexContent content = sampleContent(150); // three blocks
    const std::optional<std::string> bytes = encodeFormIndex(content);
    ASSERT_TRUE(bytes);
    ASSERT_TRUE(readsWhole(*bytes, content));

    for (std::size_t i = 0; i < bytes->size(); ++i) {
        std::string damaged = *bytes;
        damaged[i] = char(damaged[i] ^ 0x20);
        EXPECT_FALSE(readsWhole(damaged, content)) << "byte " << i;
    }
    for (std::size_t n = 0; n < bytes->size(); n += 7)
        EXPECT_THROW(FormIndex::fromBytes(bytes->substr(0, n), content.key), HeadwordIndexError)
            << "length " << n;
    EXPECT_THROW(FormIndex::fromBytes(*bytes + "x", content.key), HeadwordIndexError);
    // Another book's or dictionary's index, another format (a headword index), another version.
    EXPECT_THROW(FormIndex::fromBytes(*bytes, "/books/a.book\n1\n2\n\n/d.aff"), HeadwordIndexError);
    HeadwordIndexContent headwords;
    headwords.bookKey = content.key;
    EXPECT_THROW(FormIndex::fromBytes(*encodeHeadwordIndex(headwords), content.key),
                 HeadwordIndexError);
    std::string newer = *bytes;
    newer[8] = char(kFormIndexVersion + 1);
    EXPECT_THROW(FormIndex::fromBytes(newer, content.key), HeadwordIndexError);

    FormIndexContent empty;
    empty.key = "k";
    EXPECT_FALSE(FormIndex::fromBytes(*encodeFormIndex(empty), "k")->find(u"а"));

    // Contents the format cannot say are not written.
    FormIndexContent unordered = content;
    std::swap(unordered.entries[3], unordered.entries[4]);
    EXPECT_FALSE(encodeFormIndex(unordered));
    FormIndexContent bare = content;
    bare.entries[5].exact.reset();
    bare.entries[5].form.reset();
    EXPECT_FALSE(encodeFormIndex(bare));
    FormIndexContent blank = content;
    blank.entries[0].exact = IndexedHeadword{};
    EXPECT_FALSE(encodeFormIndex(blank));
}

TEST(FormCache, SampleBooksAnswerAsTheResolverCachedAndNot)
{
    ASSERT_TRUE(russian()->isAvailable()) << "the Russian Hunspell dictionary (hunspell-ru)";
    const auto none = std::make_shared<const WordForms>();
    const CacheHome home;
    for (const auto &forms : {russian(), none}) {
        SCOPED_TRACE(forms->dictionary() ? "Russian dictionary" : "no dictionary");
        Catalogue catalogue;
        load(catalogue, kSampleBooks);
        const std::vector<Outcome> expected = byResolver(catalogue, forms, kSampleTyped);
        expectSame(expected, byIndexes(catalogue, *forms, kSampleTyped), kSampleTyped, "cold");
        expectSame(expected, byIndexes(catalogue, *forms, kSampleTyped), kSampleTyped, "warm");
        if (forms->dictionary()) {
            ASSERT_TRUE(FormIndexes(catalogue, *forms).storeRoots());
            expectSame(expected, byRoots(catalogue, *forms, kSampleTyped), kSampleTyped, "roots");
        }
        catalogue.setEnabled(0, false);
        expectSame(byResolver(catalogue, forms, kSampleTyped),
                   byIndexes(catalogue, *forms, kSampleTyped), kSampleTyped, "first book off");
    }
    // The table the word-forms tests give, through the cache.
    Catalogue catalogue;
    load(catalogue, kSampleBooks);
    const QStringList typed = {"змеи", "зубов", "собаками", "пчёлы", "ребенка", "шмяк"};
    const std::vector<Outcome> wanted = {
        {"Змея", "змея"}, {"Зубы", "зуб"}, {"Собака", "собака"}, {"Пчела", "пчела"}, {}, {}};
    expectSame(wanted, byIndexes(catalogue, *russian(), typed), typed, "table");
    expectSame({{}, {}, {}, {}, {}, {}}, byIndexes(catalogue, *none, typed), typed,
               "no dictionary");
    // A phrase is left to the resolver.
    EXPECT_FALSE(
        resolveThroughFormIndexes(catalogue, *russian(), QStringLiteral("стоячей воде")).answered);
}

TEST(FormCache, GeneratedLibraryAnswersAsTheResolverForManyWords)
{
    ASSERT_TRUE(russian()->isAvailable());
    // Books sharing headwords, in different letter cases and with "ё" and "е", over the sample
    // books' headwords (real words, so that they have forms).
    QStringList base;
    {
        const CacheHome home;
        Catalogue samples;
        load(samples, kSampleBooks);
        WordList list(samples);
        list.rebuild();
        base = headwordsOf(list);
    }
    std::mt19937 rng(5);
    const auto pick = [&](const QStringList &from) {
        return from.at(std::uniform_int_distribution<int>(0, int(from.size()) - 1)(rng));
    };
    BookFolder folder;
    QStringList all;
    for (int b = 0; b < 4; ++b) {
        QStringList words;
        for (int i = 0; i < 150; ++i) {
            QString w = pick(base);
            switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
            case 0:
                w = w.toLower();
                break;
            case 1:
                w.replace(QChar(0x0435), QChar(0x0451));
                break;
            case 2:
                w.replace(QChar(0x0451), QChar(0x0435));
                break;
            default:
                break;
            }
            words << w;
        }
        all << words;
        folder.write({QStringLiteral("g%1.book").arg(b), QStringLiteral("Г%1").arg(b), words});
    }
    // Typed: every headword, its dictionary forms, endings changed, and random words.
    QStringList typed;
    const QStringList endings = {"и", "ы", "ами", "ов", "у", "ой", "е", "ает", "ал", "ёт"};
    for (const QString &w : all) {
        typed << w << w.toUpper();
        typed << russian()->stems(w.toLower());
        typed << w.left(w.size() - 1) + pick(endings) << w + pick(endings);
    }
    const QString letters = QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщыьэюя");
    for (int i = 0; i < 200; ++i) {
        QString w;
        for (int k = std::uniform_int_distribution<int>(2, 7)(rng); k > 0; --k)
            w += letters.at(std::uniform_int_distribution<int>(0, int(letters.size()) - 1)(rng));
        typed << w;
    }

    const CacheHome home;
    Catalogue catalogue;
    load(catalogue, folder.path());
    const std::vector<Outcome> expected = byResolver(catalogue, russian(), typed);
    expectSame(expected, byIndexes(catalogue, *russian(), typed), typed, "cold");
    expectSame(expected, byIndexes(catalogue, *russian(), typed), typed, "warm");
    // The roots of these books: a small part of the dictionary, answering alike.
    ASSERT_TRUE(FormIndexes(catalogue, *russian()).storeRoots());
    const long roots = storedRootCount();
    EXPECT_GT(roots, 50);
    EXPECT_LT(roots, 146269 / 20);
    expectSame(expected, byRoots(catalogue, *russian(), typed), typed, "roots");
    catalogue.setEnabled(2, false);
    const std::vector<Outcome> threeBooks = byResolver(catalogue, russian(), typed);
    expectSame(threeBooks, byIndexes(catalogue, *russian(), typed), typed, "a book off");
    // Roots taken for more books than are enabled answer for the fewer.
    expectSame(threeBooks, byRoots(catalogue, *russian(), typed), typed, "roots, a book off");
}

TEST(RootsFile, ReadsBackWhatWasWrittenAndRejectsEveryDamagedByte)
{
    RootsFile file;
    file.dictionaryKey = "/usr/share/hunspell/ru_RU.aff\\n1\n2\n/x.dic";
    file.formKeys = {"/b/a.book\n1\n2\n\nkey", "/b/b\\ook\n3", "/b/c.book"};
    file.words = "3\nзмея/I\nвода/I\nзуб/L\n";
    const std::string bytes = encodeRootsFile(file);
    const std::optional<RootsFile> back = decodeRootsFile(bytes);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->dictionaryKey, file.dictionaryKey);
    EXPECT_EQ(back->formKeys, file.formKeys);
    EXPECT_EQ(back->words, file.words);
    RootsFile none;
    none.dictionaryKey = "k";
    none.words = "0\n";
    ASSERT_TRUE(decodeRootsFile(encodeRootsFile(none)));
    EXPECT_TRUE(decodeRootsFile(encodeRootsFile(none))->formKeys.empty());

    for (std::size_t at = 0; at < bytes.size(); ++at) {
        std::string flipped = bytes;
        flipped[at] = char(flipped[at] ^ 0x01);
        EXPECT_FALSE(decodeRootsFile(flipped)) << "byte " << at;
        EXPECT_FALSE(decodeRootsFile(std::string_view(bytes).substr(0, at))) << "cut at " << at;
    }
    // Keys out of order, and a word list without its count, are not a roots file even with a
    // checksum that matches.
    RootsFile unordered = file;
    std::swap(unordered.formKeys[0], unordered.formKeys[1]);
    EXPECT_FALSE(decodeRootsFile(encodeRootsFile(unordered)));
    RootsFile uncounted = file;
    uncounted.words = "змея/I\n";
    EXPECT_FALSE(decodeRootsFile(encodeRootsFile(uncounted)));
    EXPECT_FALSE(decodeRootsFile("kelmor roots 1\n"));
    EXPECT_FALSE(decodeRootsFile(""));
}

TEST(RootsDictionary, RootsOfOtherBooksOrDictionariesOrDamagedAreNotUsed)
{
    ASSERT_TRUE(russian()->isAvailable());
    const DictionaryCopy dictionary;
    const auto copy = dictionary.forms();

    BookFolder folder;
    folder.write({"a.book", "А", {"Змея", "Вода", "Зубы", "Собака"}});
    folder.write({"b.book", "Б", {"Змей", "Лошадь", "Вода", "Пчела"}});
    const QStringList typed = {"змеи", "змея", "воды", "зубов", "лошадей", "пчёлы", "шмяк"};
    const CacheHome home;
    // In every state: the answers the resolver gives, through the roots where they are used,
    // else through the whole dictionary; and whether the roots were used.
    const auto expectAnswers = [&](const std::shared_ptr<const WordForms> &forms, bool throughRoots,
                                   const char *state, bool secondOff = false) {
        SCOPED_TRACE(state);
        Catalogue catalogue;
        load(catalogue, folder.path());
        catalogue.setEnabled(1, !secondOff);
        const std::vector<Outcome> expected = byResolver(catalogue, forms, typed);
        const std::vector<std::optional<Outcome>> roots =
            byRoots(catalogue, *forms, typed, throughRoots);
        for (std::size_t i = 0; i < roots.size(); ++i)
            EXPECT_EQ(roots[i].has_value(), throughRoots) << typed.at(qsizetype(i)).toStdString();
        expectSame(expected, roots, typed, state);
        expectSame(expected, byIndexes(catalogue, *forms, typed), typed, state);
    };
    expectAnswers(russian(), false, "none stored");
    {
        // Taken for the first book alone: not for both.
        Catalogue catalogue;
        load(catalogue, folder.path());
        catalogue.setEnabled(1, false);
        ASSERT_TRUE(FormIndexes(catalogue, *russian()).storeRoots());
    }
    expectAnswers(russian(), true, "first book's roots, first book on", true);
    expectAnswers(russian(), false, "first book's roots, both on");
    // Taken for both by the forms indexes' writer (as the main window does after its start).
    {
        Catalogue catalogue;
        load(catalogue, folder.path());
        std::vector<std::pair<QString, QString>> books;
        for (int n = 0; n < catalogue.count(); ++n)
            books.emplace_back(catalogue.book(n).path,
                               kelmor::platform::bookCacheKey(catalogue.book(n).path));
        writeFormIndexes(books, *russian());
    }
    expectAnswers(russian(), true, "both books' roots");
    expectAnswers(copy, false, "another dictionary");
    expectAnswers(std::make_shared<const WordForms>(), false, "no dictionary");

    const QByteArray whole = readAll(rootsCachePath());
    for (int at = 0; at < whole.size(); at += 23) {
        QByteArray flipped = whole;
        flipped[at] = char(flipped[at] ^ 0x10);
        overwrite(rootsCachePath(), flipped);
        expectAnswers(russian(), false, "damaged");
    }
    for (const QByteArray &bad : {whole.left(whole.size() - 1), QByteArray("garbage"),
                                  readAll(formCachePath(folder.filePath("a.book")))}) {
        overwrite(rootsCachePath(), bad);
        expectAnswers(russian(), false, "cut short or foreign");
    }
    overwrite(rootsCachePath(), whole);
    expectAnswers(russian(), true, "whole again");
    // A book changed under the roots: its forms index is built anew, the roots are not used.
    folder.write({"b.book", "Б", {"Змей", "Лошадь", "Вода"}});
    expectAnswers(russian(), false, "changed book");

    // A dictionary that compounds words is not reduced.
    overwrite(dictionary.affix, readAll(dictionary.affix) + "\nCOMPOUNDFLAG X\n");
    const auto compounding = dictionary.forms();
    {
        Catalogue catalogue;
        load(catalogue, folder.path());
        FormIndexes indexes(catalogue, *compounding);
        ASSERT_TRUE(indexes.isUsable());
        EXPECT_FALSE(indexes.storeRoots());
    }
    // The cache home is a file: nothing is stored, the whole dictionary answers.
    const QString blocker = dictionary.folder.filePath("not-a-folder");
    overwrite(blocker, "x");
    const CacheHome unwritable(blocker);
    {
        Catalogue catalogue;
        ASSERT_EQ(catalogue.load(folder.path()).status, Catalogue::Status::Ok);
        EXPECT_FALSE(FormIndexes(catalogue, *russian()).storeRoots());
    }
}

TEST(FormCache, StaleDamagedForeignAndUnwritableCachesAnswerAsNone)
{
    ASSERT_TRUE(russian()->isAvailable());
    const DictionaryCopy dictionary;

    BookFolder folder;
    folder.write({"a.book", "А", {"Змея", "Вода", "Зубы", "Собака"}});
    folder.write({"b.book", "Б", {"Змей", "Лошадь", "Вода", "Пчела"}});
    const QStringList typed = {"змеи", "змея", "воды", "зубов", "лошадей", "пчёлы", "шмяк"};
    const CacheHome home;
    const auto expectAsResolver = [&](const std::shared_ptr<const WordForms> &forms,
                                      const char *state) {
        Catalogue catalogue;
        load(catalogue, folder.path());
        expectSame(byResolver(catalogue, forms, typed), byIndexes(catalogue, *forms, typed), typed,
                   state);
    };
    {
        const auto copy = dictionary.forms();
        expectAsResolver(copy, "cold");
        expectAsResolver(copy, "warm");
    }
    // The dictionary changed: its words now only "змея" (the cache said more).
    overwrite(dictionary.words, "1\nзмея\n");
    expectAsResolver(dictionary.forms(), "changed dictionary");
    // Another dictionary, and none.
    expectAsResolver(russian(), "another dictionary");
    expectAsResolver(std::make_shared<const WordForms>(), "no dictionary");

    // A book changed under its cache.
    folder.write({"a.book", "А", {"Змей", "Вода", "Зубы"}});
    expectAsResolver(russian(), "changed book");

    const QString a = formCachePath(folder.filePath("a.book"));
    const QString b = formCachePath(folder.filePath("b.book"));
    ASSERT_TRUE(QFile::exists(a) && QFile::exists(b));
    const QByteArray whole = readAll(b);
    // Damaged in a block (found only when a word is sought there), cut short, garbage; another
    // book's; a headword index. Each is built again and stored whole.
    for (int at = int(whole.size()) - 3; at > whole.size() / 2; at -= 97) {
        QByteArray flipped = whole;
        flipped[at] = char(flipped[at] ^ 0x10);
        overwrite(b, flipped);
        expectAsResolver(russian(), "a damaged block");
    }
    for (const QByteArray &bad : {whole.left(whole.size() / 2), QByteArray("garbage"), readAll(a),
                                  readAll(headwordCachePath(folder.filePath("b.book")))}) {
        overwrite(b, bad);
        expectAsResolver(russian(), "damaged or foreign");
    }
    expectAsResolver(russian(), "rebuilt");
    EXPECT_EQ(readAll(b), whole);
    // The cache home is a file: nothing can be written, the answers are built in memory.
    const QString blocker = dictionary.folder.filePath("not-a-folder");
    overwrite(blocker, "x");
    const CacheHome unwritable(blocker);
    expectAsResolver(russian(), "unwritable");
    EXPECT_FALSE(QFile::exists(formCachePath(folder.filePath("a.book"))));
}
