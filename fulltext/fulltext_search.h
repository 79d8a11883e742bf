#pragma once

// The full-text search as the program uses it: the index of the catalogue's books, built on a
// worker thread book by book while searches go on over what is indexed so far. Plain code with
// signals; the search window and the main window only drive it.

#include "fulltext/fulltext_index.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <vector>

class QThread;

namespace kelmor::books {
class Catalogue;
class WordForms;
} // namespace kelmor::books

namespace kelmor::fulltext {

// A book of the catalogue.
struct FulltextBook
{
    QString path;
    QString title;       // the book's name (ToolName)
    bool enabled = true; // searched only when enabled
    qint64 articles = 0; // its record count, for the progress
};

// The catalogue's books in catalogue order with their current enabled states.
std::vector<FulltextBook> fulltextBooks(const books::Catalogue &catalogue);

class FulltextSearch : public QObject
{
    Q_OBJECT
public:
    // Rows a search gives at most unless asked for another limit.
    static constexpr int kDefaultLimit = 200;

    struct Options
    {
        QString cacheFile = defaultCacheFile(); // empty: an index in memory
        std::shared_ptr<const books::WordForms> forms;
        int lockWaitMs = FulltextIndex::kDefaultLockWaitMs;
    };
    // $XDG_CACHE_HOME/kelmor/fulltext.sqlite
    static QString defaultCacheFile();

    explicit FulltextSearch(Options options, QObject *parent = nullptr);
    // Stops the indexing and waits for the worker (it stops within one article).
    ~FulltextSearch() override;

    // The books to index and search. Books already known keep their index; the enabled states
    // change what is searched at once (booksChanged()).
    void setBooks(std::vector<FulltextBook> books);
    const std::vector<FulltextBook> &books() const { return m_books; }

    // Indexes, on the worker thread, the books that have no index yet (enabled ones first)
    // and drops the index of books no longer there or changed. Nothing while it runs.
    void start();
    // Stops the indexing: the book in hand is left out, the books done stay. Waits.
    void stop();
    bool isIndexing() const { return m_worker != nullptr; }
    // The index is open (searches find what it has).
    bool isReady() const { return m_index != nullptr; }

    struct Progress
    {
        int booksDone = 0; // books that have their index (or failed to get one)
        int booksTotal = 0;
        qint64 articlesDone = 0; // of the books being indexed in this run
        qint64 articlesTotal = 0;
    };
    Progress progress() const { return m_progress; }

    struct Answer
    {
        FulltextQuery query;
        std::vector<FulltextHit> hits; // hit.book is an index into books()
        int total = 0;
        int booksSearched = 0;   // enabled books
        int booksNotIndexed = 0; // of them, not indexed yet
        QString error;           // why the search failed (Russian), or empty
    };
    // Searches the enabled books' articles for the words of text.
    Answer search(const QString &text, int limit = kDefaultLimit);

    // Why the index is in memory or was made anew, or empty.
    QString note() const;
    // Books that could not be indexed: "«title»: reason".
    const QStringList &bookErrors() const { return m_bookErrors; }

Q_SIGNALS:
    void progressChanged();
    // A book's index is complete (or the index opened with books in it): results may grow.
    void bookIndexed();
    void indexingFinished();
    void booksChanged();

private:
    struct Job
    {
        QString path;
        QString title;
        qint64 articles = 0;
    };
    void runWorker(std::vector<Job> jobs, QStringList allPaths,
                   std::shared_ptr<FulltextIndex> index, bool rebuild);
    void onWorkerEnded();
    // Every book has its index under its current key, and no other index is kept.
    bool isComplete() const;
    void restartAfterDamage();

    Options m_options;
    std::vector<FulltextBook> m_books;
    std::shared_ptr<FulltextIndex> m_index;
    QThread *m_worker = nullptr;
    std::atomic<bool> m_stopRequested = false;
    bool m_rebuildNext = false;
    bool m_restartWanted = false;
    Progress m_progress;
    QString m_damageNote;
    QStringList m_bookErrors;
};

// "проиндексировано N из M сонников" (the counts with their Russian word forms).
QString indexedText(int booksDone, int booksTotal);

// What the status line says about an answer to text while the index is (or is not) being built.
QString answerStatus(const QString &text, const FulltextSearch::Answer &answer, bool indexing,
                     const FulltextSearch::Progress &progress);

} // namespace kelmor::fulltext
