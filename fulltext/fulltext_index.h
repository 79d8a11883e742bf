#pragma once

// The full-text index of the books' articles: SQLite FTS5 in a cache file
// ($XDG_CACHE_HOME/kelmor/fulltext.sqlite), one FTS5 table per book file, keyed by the file's
// identity (path, size and modification time, platform::bookCacheKey). Its tokens are the words
// of the articles and their dictionary forms (word_tokens.h).
//
// The cache is only an accelerator and is never trusted: a file that is not our database, is
// damaged (garbage, truncated), or was written by another schema or another dictionary is
// deleted and made anew; a cache folder that cannot be written, or a file another program keeps
// locked, gives an index in memory with the same results. Every write is a transaction (a whole
// book at a time, so a stopped indexing keeps the books finished before it), the file is in WAL
// mode, and instances of the program that share it wait for each other's writes.
//
// One connection serves every thread of the process: each call holds the index's lock only for
// one statement or one article, so a search runs while a book is being indexed and sees the
// articles indexed so far.

#include "fulltext/fulltext_query.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace kelmor::books {
class WordForms;
}

namespace kelmor::fulltext {

class SqliteConnection;
class WordTokens;

// The marks around matched words in a snippet.
inline constexpr char16_t kMatchStart = u'\u0002';
inline constexpr char16_t kMatchEnd = u'\u0003';

// A book to search, as the caller knows it.
struct BookRef
{
    QString key;   // platform::bookCacheKey of the file now
    QString title; // what a result row names it by
};

struct FulltextHit
{
    QString headword;
    int book = -1;    // index into the books searched
    QString snippet;  // a short piece of the article, one line, matched words between
                      // kMatchStart and kMatchEnd, "…" where the article goes on
    double score = 0; // bm25: lower is better

    // The snippet with the marks replaced.
    QString snippetWith(QStringView before, QStringView after) const;
    // The snippet as HTML, matched words in bold.
    QString snippetHtml() const;
};

struct FulltextResult
{
    std::vector<FulltextHit> hits; // best first
    int total = 0;                 // matching articles in the books searched
    int booksNotIndexed = 0;       // books searched that have no index yet
};

class FulltextIndex
{
public:
    // How long a write waits for another instance's write before the cache counts as locked.
    static constexpr int kDefaultLockWaitMs = 15000;
    // The schema of the cache file; a file of another one is made anew.
    static constexpr int kSchemaVersion = 1;
    // Our mark in the file header (PRAGMA application_id): "KLMF".
    static constexpr int kApplicationId = 0x4B4C4D46;

    struct Options
    {
        // The cache file; empty for an index in memory.
        QString file;
        std::shared_ptr<const books::WordForms> forms;
        int lockWaitMs = kDefaultLockWaitMs;
        // Delete the file and start anew (it was found damaged while in use).
        bool rebuild = false;
        // Once set, no wait for another instance's lock goes on (the program is ending).
        const std::atomic<bool> *stop = nullptr;
    };

    // Opens the index, never failing: where the file cannot serve, the index is in memory.
    static std::shared_ptr<FulltextIndex> open(const Options &options);
    ~FulltextIndex();
    FulltextIndex(const FulltextIndex &) = delete;
    FulltextIndex &operator=(const FulltextIndex &) = delete;

    bool inMemory() const { return m_file.isEmpty(); }
    QString file() const { return m_file; }
    // Why the index is in memory, or why the file was made anew (Russian, names the file);
    // empty when the cache file opened as it was.
    QString note() const { return m_note; }

    // Books indexed, by key.
    QStringList indexedKeys() const;
    bool isIndexed(const QString &key) const;

    // Drops the books whose key is not among keys (books removed, or changed since), each in
    // its own transaction. Throws SqliteError.
    void dropBooksExcept(const QStringList &keys);

    enum class Outcome {
        Indexed,
        AlreadyIndexed, // by this or another instance
        Stopped,        // the progress callback or the stop flag said so: nothing of it kept
        Locked,         // another instance kept the cache locked for longer than lockWaitMs
        Failed,         // the book could not be read; see error
    };
    struct IndexReport
    {
        Outcome outcome = Outcome::Indexed;
        int articles = 0;
        QString error; // Russian, for Failed
    };
    // Called with articles done and the book's article count; false stops the indexing.
    using Progress = std::function<bool(qint64 done, qint64 total)>;
    // Indexes the book file at path, whose current key is key, in one transaction that also
    // drops the earlier index of the same path. The book is only read. Throws SqliteError for
    // failures of the cache.
    IndexReport indexBook(const QString &path, const QString &key, const QString &title,
                          const Progress &progress = {});

    // The articles of the books (those indexed under their key) that contain every term of the
    // query, best first, at most limit of them. Throws SqliteError (isDamage(): the cache file
    // went bad while in use; open it again with rebuild).
    FulltextResult search(const FulltextQuery &query, std::span<const BookRef> books,
                          int limit) const;

private:
    FulltextIndex(QString file, std::shared_ptr<const books::WordForms> forms,
                  const Options &options);
    bool stopping() const { return m_stop && m_stop->load(); }
    void connect(const QString &name, const QString &formsIdentity);
    // Begins a write transaction, waiting for other instances' writes without holding the lock;
    // false when the wait timed out or shouldStop said so.
    bool beginWrite(const std::function<bool()> &shouldStop = {});
    void finishWrite(bool commit);
    static int onBusy(void *index, int count);

    QString m_file;
    QString m_note;
    int m_lockWaitMs;
    const std::atomic<bool> *m_stop;
    std::unique_ptr<WordTokens> m_tokens;
    std::unique_ptr<SqliteConnection> m_db;
    mutable std::mutex m_mutex;
    mutable int m_busyLimitMs = 0;
};

// The dictionary's identity for the cache: the index keeps the tokens of one dictionary.
QString formsIdentity(const books::WordForms &forms);

} // namespace kelmor::fulltext
