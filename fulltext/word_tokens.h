#pragma once

// The tokens of the full-text index. Each word of a text stands for itself and for its
// dictionary forms, so that a text and a query meet when any of their forms do ("змею" and
// "змеи" both give "змея"). Tokens are folded as the books' word index folds letters, without
// stress marks, and with "ё" read as "е" (texts and users write either).
//
// registerFormsTokenizer() makes these tokens the tokenizer "kelmor_forms" of SQLite's FTS5:
// the first token of a word at its place, its forms as synonyms at the same place
// (FTS5_TOKEN_COLOCATED), for documents and queries alike.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace kelmor::books {
class FormResolver;
class WordForms;
} // namespace kelmor::books

namespace kelmor::fulltext {

class SqliteConnection;

// The tokenizer's name in table definitions.
inline constexpr char kTokenizerName[] = "kelmor_forms";

class WordTokens
{
public:
    // Words longer than this (in UTF-16 code units) are no words of a text and give no tokens.
    static constexpr int kMaxWordLength = 100;
    // The cache of words seen is emptied when it holds this many.
    static constexpr int kMaxCachedWords = 300000;

    explicit WordTokens(std::shared_ptr<const books::WordForms> forms);
    ~WordTokens();
    WordTokens(const WordTokens &) = delete;
    WordTokens &operator=(const WordTokens &) = delete;

    // The tokens of one word, UTF-8: the word itself first, then its forms, each once. Empty
    // for a word too long. Not thread-safe: one thread at a time.
    std::vector<QByteArray> tokensOf(QStringView word) { return cachedTokens(word); }

    // Receives one token: flags 0 for a word's first token, 1 (FTS5_TOKEN_COLOCATED) for the
    // forms at its place; the byte range of the word in the text. A result other than 0 stops.
    using TokenSink = int (*)(void *context, int flags, const char *token, int size, int start,
                              int end);
    // Gives every token of every word of a UTF-8 text to the sink, in text order; returns 0, or
    // the sink's first other result. An invalid UTF-8 byte reads as one character that is no
    // letter.
    int tokenize(const char *text, int bytes, void *context, TokenSink sink);

private:
    // The same from the cache; valid until the next call.
    const std::vector<QByteArray> &cachedTokens(QStringView word);

    std::unique_ptr<books::FormResolver> m_keys;
    QHash<QString, std::vector<QByteArray>> m_cache;
    std::vector<QByteArray> m_none;
};

// Registers the tokenizer kTokenizerName on the connection; tokens must outlive it.
void registerFormsTokenizer(SqliteConnection &connection, WordTokens *tokens);

} // namespace kelmor::fulltext
