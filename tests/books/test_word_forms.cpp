// Words in any form: the typed word → headword table on the sample books, the order rules, and
// dictionaries that are missing, unreadable or in a single-byte encoding.
#include "books/catalogue.h"
#include "books/word_forms.h"
#include "books/word_list_forms.h"
#include "books/wordlist.h"
#include "support/scratch_dir.h"

#include <QFile>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <fstream>

namespace {

using kelmor::books::Catalogue;
using kelmor::books::FormResolver;
using kelmor::books::HunspellDictionary;
using kelmor::books::WordForms;
using kelmor::books::WordList;

// The headwords of the bundled sample books, in word-list order.
QStringList sampleHeadwords()
{
    static const QStringList words = [] {
        Catalogue catalogue;
        catalogue.load(QStringLiteral(KELMOR_BUILD_SHARE "/ZEL Programming/ZEL Kelmor/3.1/Books"));
        WordList list(catalogue);
        list.rebuild();
        return kelmor::books::headwordsOf(list);
    }();
    return words;
}

std::shared_ptr<const WordForms> russian()
{
    static const std::shared_ptr<const WordForms> forms = WordForms::systemDictionary();
    return forms;
}

QString resolved(const FormResolver &resolver, const QString &typed)
{
    const auto match = resolver.resolve(typed);
    return match ? match->headword : QString();
}

struct FormCase
{
    const char16_t *typed;
    const char16_t *headword; // empty: none
    const char16_t *form;     // the dictionary form reported; empty: the headword as written
};

class SampleBookForms : public ::testing::TestWithParam<FormCase>
{
};

TEST_P(SampleBookForms, TypedWordFindsItsHeadword)
{
    ASSERT_TRUE(russian()->isAvailable())
        << "the Russian Hunspell dictionary (hunspell-ru) is needed: "
        << russian()->unavailableReason().toStdString();
    static const FormResolver resolver(sampleHeadwords(), russian());
    ASSERT_GT(resolver.count(), 300);
    const FormCase &c = GetParam();
    const auto match = resolver.resolve(QString::fromUtf16(c.typed));
    if (QString::fromUtf16(c.headword).isEmpty()) {
        EXPECT_FALSE(match) << match->headword.toStdString();
        return;
    }
    ASSERT_TRUE(match);
    EXPECT_EQ(match->headword, QString::fromUtf16(c.headword));
    EXPECT_EQ(match->form, QString::fromUtf16(c.form));
    EXPECT_EQ(resolver.headword(match->row), match->headword);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SampleBookForms,
    ::testing::Values(
        // The headword as typed, letter case aside, before any form.
        FormCase{u"Змея", u"Змея", u""}, FormCase{u"вода", u"Вода", u""},
        FormCase{u"  луна ", u"Луна", u""}, FormCase{u"зубы", u"Зубы", u""},
        // Plural and oblique cases, in any letter case.
        FormCase{u"змеи", u"Змея", u"змея"}, FormCase{u"ЗМЕИ", u"Змея", u"змея"},
        FormCase{u"собаками", u"Собака", u"собака"}, FormCase{u"реке", u"Река", u"река"},
        FormCase{u"кошек", u"Кошка", u"кошка"}, FormCase{u"лошадей", u"Лошадь", u"лошадь"},
        // Headwords in a form of their own: both sides go through their dictionary forms.
        FormCase{u"зубов", u"Зубы", u"зуб"}, FormCase{u"зуб", u"Зубы", u"зуб"},
        FormCase{u"волосами", u"Волосы", u"волос"}, FormCase{u"деньгами", u"Деньги", u"деньги"},
        // Verb forms.
        FormCase{u"летала", u"Летать", u"летать"}, FormCase{u"падал", u"Падать", u"падать"},
        FormCase{u"бежал", u"Бежать", u"бежать"},
        // "ё": the dictionary gives "мотылёк" for "мотыльки"; a word written with "ё" whose
        // spelling the dictionary keeps only with "е" finds its forms through that spelling
        // ("пчёлы" → "пчела"). The headwords keep "ё" and "е" apart, as in the word list:
        // "ребенка" is not "Ребёнок".
        FormCase{u"мотыльки", u"Мотылёк", u"мотылёк"}, FormCase{u"ребёнка", u"Ребёнок", u"ребёнок"},
        FormCase{u"пчёлы", u"Пчела", u"пчела"}, FormCase{u"пчелы", u"Пчела", u"пчела"},
        FormCase{u"ребенка", u"", u""},
        // Oblique case of a noun that is also a verb form: the noun the book has.
        FormCase{u"берегу", u"Берег", u"берег"},
        // Words the dictionary does not know.
        FormCase{u"шмяк", u"", u""}, FormCase{u"", u"", u""}, FormCase{u"!!!", u"", u""}));

TEST(WordForms, WithoutDictionaryOnlyTheHeadwordAsTyped)
{
    const auto none = std::make_shared<const WordForms>();
    EXPECT_FALSE(none->isAvailable());
    EXPECT_TRUE(none->stems(QStringLiteral("змеи")).isEmpty());
    const FormResolver resolver(
        {QStringLiteral("Вода"), QStringLiteral("Змея"), QStringLiteral("Стоячая вода")}, none);
    EXPECT_EQ(resolved(resolver, QStringLiteral("змея")), QStringLiteral("Змея"));
    EXPECT_EQ(resolved(resolver, QStringLiteral("змея!")), QStringLiteral("Змея"));
    EXPECT_EQ(resolved(resolver, QStringLiteral("СТОЯЧАЯ   вода")), QStringLiteral("Стоячая вода"));
    EXPECT_EQ(resolved(resolver, QStringLiteral("змеи")), QString());
    EXPECT_EQ(resolved(resolver, QStringLiteral("стоячей воде")), QString());
}

TEST(WordForms, UnusableDictionaryGivesNoFormsAndNoError)
{
    const kelmor::testing::ScratchDir dir("kelmor-forms-");
    const auto write = [&](const std::string &name, const std::string &bytes) {
        std::ofstream(dir.path(name), std::ios::binary) << bytes;
        return QString::fromStdString(dir.path(name));
    };
    std::filesystem::create_directories(dir / "folder.aff");
    const struct
    {
        const char *what;
        HunspellDictionary files;
    } cases[] = {
        {"missing files",
         {QString::fromStdString(dir.path("none.aff")),
          QString::fromStdString(dir.path("none.dic"))}},
        {"a folder in place of a file",
         {QString::fromStdString(dir.path("folder.aff")), write("folder.dic", "1\nзмея\n")}},
        {"garbage",
         {write("junk.aff", std::string("\xff\xfe\0SET\nSFX", 11) + "\n\n\x01"),
          write("junk.dic", "99999999999\n\xff\xfe/\\/\n")}},
        {"empty files", {write("empty.aff", ""), write("empty.dic", "")}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        const auto forms = std::make_shared<const WordForms>(c.files);
        EXPECT_TRUE(forms->stems(QStringLiteral("змеи")).isEmpty());
        const FormResolver resolver({QStringLiteral("Змея")}, forms);
        EXPECT_EQ(resolved(resolver, QStringLiteral("Змея")), QStringLiteral("Змея"));
        EXPECT_FALSE(resolver.resolve(QStringLiteral("змеи")));
    }
    EXPECT_FALSE(WordForms(HunspellDictionary{QString::fromStdString(dir.path("none.aff")),
                                              QString::fromStdString(dir.path("none.dic"))})
                     .isAvailable());
    EXPECT_FALSE(kelmor::books::findRussianDictionary({QString::fromStdString(dir.path("x"))}));
}

// A tiny dictionary written in a single-byte encoding, as its SET line names it.
TEST(WordForms, SingleByteDictionaryIsReadInItsOwnEncoding)
{
    const kelmor::testing::ScratchDir dir("kelmor-forms-");
    for (const char *encoding : {"KOI8-R", "microsoft-cp1251", "ISO8859-5"}) {
        SCOPED_TRACE(encoding);
        const QByteArray converter = QByteArray(encoding) == "microsoft-cp1251"
                                         ? QByteArray("windows-1251")
                                         : QByteArray(encoding);
        QStringEncoder encode(converter.constData());
        const QByteArray aff = "SET " + QByteArray(encoding) + "\n" +
                               encode(QStringLiteral("SFX A Y 2\nSFX A я и я\nSFX A а ой а\n"));
        const QByteArray dic = encode(QStringLiteral("2\nзмея/A\nрека/A\n"));
        const std::string base = dir.path(converter.toStdString());
        std::ofstream(base + ".aff", std::ios::binary) << aff.toStdString();
        std::ofstream(base + ".dic", std::ios::binary) << dic.toStdString();
        const WordForms forms(HunspellDictionary{QString::fromStdString(base + ".aff"),
                                                 QString::fromStdString(base + ".dic")});
        ASSERT_TRUE(forms.isAvailable()) << forms.unavailableReason().toStdString();
        EXPECT_EQ(forms.stems(QStringLiteral("змеи")), QStringList{QStringLiteral("змея")});
        EXPECT_EQ(forms.stems(QStringLiteral("рекой")), QStringList{QStringLiteral("река")});
        // A character the encoding lacks: no forms, and no false match through a "?".
        EXPECT_TRUE(forms.stems(QStringLiteral("зме\u4e00")).isEmpty());
    }
}

TEST(FormResolver, FirstFormInDictionaryOrderThenFirstHeadwordInListOrder)
{
    ASSERT_TRUE(russian()->isAvailable());
    // "змеи": the dictionary gives "змея" before "змей".
    const FormResolver snakes({QStringLiteral("Змей"), QStringLiteral("Змея")}, russian());
    EXPECT_EQ(resolved(snakes, QStringLiteral("змеи")), QStringLiteral("Змея"));
    // Two headwords share "зуб": the first in the list wins.
    const FormResolver teeth({QStringLiteral("Зубом"), QStringLiteral("Зубы")}, russian());
    EXPECT_EQ(resolved(teeth, QStringLiteral("зубов")), QStringLiteral("Зубом"));
    const FormResolver reversed({QStringLiteral("Зубы"), QStringLiteral("Зубом")}, russian());
    EXPECT_EQ(resolved(reversed, QStringLiteral("зубов")), QStringLiteral("Зубы"));
    // As typed beats any form, even a later headword's.
    const FormResolver typed({QStringLiteral("Зубы"), QStringLiteral("Зубов")}, russian());
    EXPECT_EQ(resolved(typed, QStringLiteral("зубов")), QStringLiteral("Зубов"));
}

TEST(FormResolver, PhrasesMatchWordByWord)
{
    ASSERT_TRUE(russian()->isAvailable());
    const FormResolver resolver(
        {QStringLiteral("Вода"), QStringLiteral("Жар-птица"), QStringLiteral("Стоячая вода")},
        russian());
    const auto phrase = resolver.resolve(QStringLiteral("стоячей воде"));
    ASSERT_TRUE(phrase);
    EXPECT_EQ(phrase->headword, QStringLiteral("Стоячая вода"));
    EXPECT_EQ(phrase->form, QStringLiteral("стоячий вода"));
    EXPECT_EQ(resolved(resolver, QStringLiteral("Стоячая вода")), QStringLiteral("Стоячая вода"));
    EXPECT_EQ(resolved(resolver, QStringLiteral("жар птица")), QStringLiteral("Жар-птица"));
    EXPECT_EQ(resolved(resolver, QStringLiteral("воды")), QStringLiteral("Вода"));
    // Not joinable across punctuation, and no phrase of other length.
    EXPECT_EQ(resolved(resolver, QStringLiteral("стоячая, вода")), QString());
    EXPECT_EQ(resolved(resolver, QStringLiteral("стоячая вода вода")), QString());
}

TEST(FormResolver, SplitWords)
{
    const QString text = QStringLiteral("Жар-птица, за\u0301мок 42 (вода)!");
    QStringList words;
    for (const auto &w : kelmor::books::splitWords(text))
        words << text.mid(w.start, w.length);
    EXPECT_EQ(words, (QStringList{QStringLiteral("Жар"), QStringLiteral("птица"),
                                  QStringLiteral("за\u0301мок"), QStringLiteral("вода")}));
    EXPECT_EQ(kelmor::books::foldWord(QStringLiteral("За\u0301мок")),
              QStringLiteral("замок").toStdU16String());
    EXPECT_TRUE(kelmor::books::joinable(QStringLiteral(" \n ")));
    EXPECT_TRUE(kelmor::books::joinable(QStringLiteral("-")));
    EXPECT_FALSE(kelmor::books::joinable(QStringLiteral(", ")));
    EXPECT_FALSE(kelmor::books::joinable(QStringLiteral(" – ")));
    EXPECT_FALSE(kelmor::books::joinable(QString()));
}

} // namespace
