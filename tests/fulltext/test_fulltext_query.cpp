// Reading the user's query: words, phrases in any quotes, hyphenated words, the limits, and text
// that would be FTS5 syntax read as the words it holds.
#include "fulltext/fulltext_query.h"

#include <gtest/gtest.h>

namespace {

using kelmor::fulltext::FulltextQuery;
using kelmor::fulltext::parseFulltextQuery;

QStringList termsOf(const FulltextQuery &query)
{
    QStringList out;
    for (const auto &term : query.terms)
        out << term.words.join(u' ');
    return out;
}

struct QueryCase
{
    const char *text;
    QStringList terms; // each term's words joined by a space
};

class QueryTerms : public ::testing::TestWithParam<QueryCase>
{
};

TEST_P(QueryTerms, TextGivesItsWordsAndPhrases)
{
    const QueryCase &c = GetParam();
    const FulltextQuery query = parseFulltextQuery(QString::fromUtf8(c.text));
    EXPECT_EQ(termsOf(query), c.terms) << c.text;
    // Every term is one quoted FTS5 string of letters and spaces, nothing else.
    QStringList strings;
    for (const QString &term : c.terms)
        strings << u'"' + term + u'"';
    EXPECT_EQ(query.matchExpression(), strings.join(u' ')) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Queries, QueryTerms,
    ::testing::Values(
        QueryCase{"змея", {"змея"}}, QueryCase{"  деньги   дорога ", {"деньги", "дорога"}},
        QueryCase{"змея, вода!", {"змея", "вода"}},
        QueryCase{"\"чистая вода\" змея", {"чистая вода", "змея"}},
        QueryCase{"«чистая вода»", {"чистая вода"}}, QueryCase{"„чистая вода“", {"чистая вода"}},
        QueryCase{"“чистая, вода”", {"чистая вода"}},
        // An unclosed quote runs to the end; a quoted single word is a word.
        QueryCase{"змея \"чистая вода", {"змея", "чистая вода"}}, QueryCase{"\"змея\"", {"змея"}},
        // Words joined by hyphens stand together.
        QueryCase{"кто-то пришёл", {"кто то", "пришёл"}},
        QueryCase{"Иван-да-марья", {"Иван да марья"}},
        // FTS5 syntax is punctuation here: operators are words, the rest goes.
        QueryCase{"NEAR(змея вода, 2)", {"NEAR", "змея", "вода"}},
        QueryCase{"змея AND NOT вода OR", {"змея", "AND", "NOT", "вода", "OR"}},
        QueryCase{"змея* -вода +луна ^сон", {"змея", "вода", "луна", "сон"}},
        QueryCase{"body:змея {headword}:вода", {"body", "змея", "headword", "вода"}},
        QueryCase{"'; DROP TABLE books; --", {"DROP", "TABLE", "books"}},
        QueryCase{"змея\"\"вода", {"змея", "вода"}}, QueryCase{"\"", {}}, QueryCase{"\"\"", {}},
        QueryCase{"*** : - ( )", {}}, QueryCase{"", {}}, QueryCase{"2024 12", {}}));

TEST(FulltextQuery, LongQueriesAreShortenedAndSaySo)
{
    QString many;
    for (int i = 0; i < FulltextQuery::kMaxTerms + 8; ++i)
        many += QStringLiteral("слово%1 ").arg(QChar(u'а' + i % 32));
    FulltextQuery query = parseFulltextQuery(many);
    EXPECT_EQ(int(query.terms.size()), FulltextQuery::kMaxTerms);
    EXPECT_TRUE(query.shortened);

    query = parseFulltextQuery(u'"' + QStringLiteral("дом ").repeated(40) + u'"');
    ASSERT_EQ(query.terms.size(), 1u);
    EXPECT_EQ(query.terms[0].words.size(), FulltextQuery::kMaxPhraseWords);
    EXPECT_TRUE(query.shortened);

    EXPECT_FALSE(parseFulltextQuery(QStringLiteral("чистая вода")).shortened);
}

TEST(FulltextQuery, ARunOfLettersTooLongForAWordSplitsItsPhrase)
{
    const QString tooLong(200, QChar(u'я'));
    const FulltextQuery query =
        parseFulltextQuery(QStringLiteral("\"чистая ") + tooLong + QStringLiteral(" вода\""));
    EXPECT_EQ(termsOf(query), (QStringList{"чистая", "вода"}));
}

TEST(FulltextQuery, DescriptionPutsPhrasesInQuotes)
{
    EXPECT_EQ(parseFulltextQuery(QStringLiteral("\"чистая вода\" змея")).describe(),
              QStringLiteral("«чистая вода» змея"));
}

} // namespace
