#pragma once

// The catalogue of installed dream books: one entry per accepted "*.book" file, in the order the
// files were found. It is the one source of truth about the books: the book toolbar, the book
// menus, the word list and the interpretation all read it. Built once per process; entries are
// never removed, only enabled and disabled.

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelmor::books {

class Database;
class HeadwordIndex;
class HeadwordReader;
class Table;
struct IndexedHeadword;

// One accepted book.
struct BookEntry
{
    QString path;     // full path of the file: the book's key (enabled state is stored under it)
    QString fileName; // the file's name within the books folder
    QString toolName; // Config.ToolName: tooltip of the book button, caption of its menu entries
    QString tolkName; // Config.TolkName: heading above the book's article in an interpretation
    QString color;    // Config.Color as stored (decimal 0x00BBGGRR), "0" when Null
    std::u16string iconText;      // Config.Icon as stored (an image file, one Windows-1251 byte per
                                  // character; see books/book_icon.h), empty when Null
    int filePosition = 0;         // j: position in the listing, counting every listed file
    std::int64_t recordCount = 0; // records of table Book: the book's number of articles
    bool enabled = true;
};

// The stored values of one article, as they are in the book (compressed; see DecompressText).
struct StoredArticle
{
    std::optional<std::u16string> text;
    std::optional<std::u16string> links;
};

class Catalogue : public QObject
{
    Q_OBJECT
public:
    enum class Status {
        Ok,
        NoBookFiles,       // the folder holds no "*.book" file
        NoCompatibleBooks, // files exist, but none opened as a book of this system
        MissingFolder,     // the books folder does not exist or cannot be listed
    };
    struct SkippedBook
    {
        QString fileName;
        QString reason;
    };
    struct LoadResult
    {
        Status status = Status::Ok;
        QList<SkippedBook> skipped; // books that carry the marker but could not be opened
    };

    // Opens a book file as a database (default: the Jet reader, read-only).
    using Opener = std::function<std::unique_ptr<Database>(const std::string &path)>;
    // The stored enabled state of a book by its full path; std::nullopt when none is stored.
    using StateReader = std::function<std::optional<int>(const QString &path)>;

    explicit Catalogue(QObject *parent = nullptr);
    ~Catalogue() override;

    void setOpener(Opener opener);
    // Whether books are read through their headword indexes in the cache folder (default on;
    // see books/headword_cache.h). Off, every book's table is listed and indexed in memory, as
    // the indexes would answer. Set before load().
    void setHeadwordIndexes(bool enabled) { m_useIndexes = enabled; }
    // Whether load() indexes a book that has no whole index in the cache folder (default on).
    // Off, such a book is read from its table as without indexes and listed by
    // unindexedBooks(), for writeHeadwordIndexes() to index later (the main window does it
    // after its start, off the user interface thread). Set before load().
    void setIndexingOnLoad(bool enabled) { m_indexOnLoad = enabled; }
    // The books load() left without an index: full path and cache key of each.
    const std::vector<std::pair<QString, QString>> &unindexedBooks() const { return m_unindexed; }
    // Whether the books' icons are kept (default on); off, BookEntry::iconText stays empty
    // (terminal commands show no icons). Set before load().
    void setIcons(bool enabled) { m_icons = enabled; }

    // Builds the catalogue from "*.book" files of booksPath in case-insensitive alphabetical
    // order. May be called once; a second call returns the first result unchanged.
    LoadResult load(const QString &booksPath, const StateReader &states = {});

    int count() const { return int(m_books.size()); }
    const BookEntry &book(int n) const;
    const QList<BookEntry> &books() const { return m_books; }

    bool isEnabled(int n) const;
    // The user toggled one book, or a menu did: these change states and emit enabledChanged()
    // once; they never rebuild anything themselves.
    void setEnabled(int n, bool enabled);
    void setAllEnabled(bool enabled); // "Включить все" / "Выключить все"
    void keepOnly(int n);             // "Оставить один"
    int enabledCount() const;

    // The open cursor on table Book of book n (current index List), its rows listed (the first
    // call lists them when the book was opened through its index). Owned by the catalogue and
    // valid for its life.
    Table *table(int n) const;
    // The distinct headwords of book n in the word list's order with their sort keys, from its
    // headword index; std::nullopt when the book has no usable index (its table is then read).
    std::optional<std::vector<IndexedHeadword>> indexedHeadwords(int n) const;
    // The same headwords one by one (see HeadwordReader), without a copy of them all;
    // false when the book has no usable index. When the index turns out damaged part of the way,
    // the words visited so far stay visited, the index is dropped and false is returned.
    // A reader of book n's headwords from its index; std::nullopt when the book has none usable.
    std::optional<HeadwordReader> headwordReader(int n) const;
    // Book n's index failed while read: the book is read from its table from now on.
    void dropHeadwordIndex(int n) const;
    bool forEachIndexedHeadword(
        int n,
        const std::function<void(std::u16string_view text, std::string_view sortKey)> &visit) const;
    // True when book n is answered through its headword index.
    bool isIndexed(int n) const;
    // Equality seek of a headword (letter case ignored) in book n; std::nullopt when there is
    // no such book or the book has no such headword. A failed read raises the reader's
    // JetError, which names the file and what went wrong.
    std::optional<StoredArticle> find(int n, std::u16string_view headword) const;

    // Path and state of every book, for saving at exit ("1" enabled, "0" disabled).
    QList<QPair<QString, bool>> states() const;

Q_SIGNALS:
    // One or more enabled states changed; first is the book the change is reported for
    // (the button clicked, or 0 for "all").
    void enabledChanged(int first);

private:
    struct Open;
    QList<BookEntry> m_books;
    std::vector<std::unique_ptr<Open>> m_open;
    Opener m_opener;
    std::optional<LoadResult> m_loaded;
    bool m_useIndexes = true;
    bool m_indexOnLoad = true;
    std::vector<std::pair<QString, QString>> m_unindexed;
    bool m_icons = true;
};

// Indexes the books (full path and cache key, as Catalogue::unindexedBooks() lists them) into
// the cache folder, each from a reader of its own; a book that cannot be read or indexed is left
// out. Safe on any thread; never writes a book.
void writeHeadwordIndexes(const std::vector<std::pair<QString, QString>> &books);

// "Не удалось открыть сонник:" followed by one line per skipped book, or empty when none.
QString SkippedBooksMessage(const QList<Catalogue::SkippedBook> &skipped);

} // namespace kelmor::books
