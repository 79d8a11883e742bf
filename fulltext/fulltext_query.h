#pragma once

// What the user asks the full-text search for: words that must all occur in an article, in any
// of their forms, and phrases in quotes whose words must stand together in that order.
//
// The user's text is never handed to FTS5 as query syntax: only its words (runs of letters) are
// kept, and each word or phrase becomes one quoted FTS5 string, so operators (AND, OR, NOT,
// NEAR), column filters (":"), prefixes ("*"), exclusions ("-"), brackets and stray quotes are
// read as the punctuation they are.

#include <QString>
#include <QStringList>

#include <vector>

namespace kelmor::fulltext {

// One thing to find: a single word, or the words of a phrase in their order.
struct QueryTerm
{
    QStringList words;
    bool isPhrase() const { return words.size() > 1; }
    friend bool operator==(const QueryTerm &, const QueryTerm &) = default;
};

struct FulltextQuery
{
    // More terms than this are left out (a query is a few words, not a text).
    static constexpr int kMaxTerms = 32;
    // Words of one phrase beyond this are left out.
    static constexpr int kMaxPhraseWords = 16;

    std::vector<QueryTerm> terms;
    // Some words were left out for the limits above.
    bool shortened = false;

    bool isEmpty() const { return terms.empty(); }
    // The FTS5 MATCH expression: every term one quoted string, all of them required.
    QString matchExpression() const;
    // The terms for people: words as typed, phrases in quotes («чистая вода» змея).
    QString describe() const;
};

// Reads a query: words are runs of letters; text in quotes (", «», „“, “”) is one phrase, and
// words joined only by hyphens ("кто-то") are one too. An unclosed quote runs to the end. Words
// longer than WordTokens::kMaxWordLength are not words and are left out.
FulltextQuery parseFulltextQuery(QStringView text);

} // namespace kelmor::fulltext
