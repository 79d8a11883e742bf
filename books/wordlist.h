#pragma once

// The merged word list: every distinct headword of the enabled books, in Russian dictionary order,
// with the incremental prefix search over it. Plain class; WordListModel puts it behind a view.

#include <QAbstractListModel>
#include <QCollator>
#include <QHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kelmor::books {

class Catalogue;

class WordList
{
public:
    explicit WordList(const Catalogue &catalogue);

    struct Outcome
    {
        bool ok = true;
        QString error; // what failed while reading a book's records
    };
    // Rebuilds the list from the enabled, non-empty books in catalogue order; each headword once.
    // betweenBooks runs before each book (the caller lets pending events run there). When reading
    // a book fails, the rebuild stops there and keeps the words read so far. Each book's headwords
    // are read from its table once and kept, since books never change while the program runs.
    Outcome rebuild(const std::function<void()> &betweenBooks = {});

    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.empty(); }
    const QString &word(int row) const { return m_words[m_items[size_t(row)]]; }
    std::int64_t totalArticles() const { return m_total; }
    // Row of the item whose text is exactly word, or -1.
    int rowOf(const QString &word) const;

    // Incremental search: the row of the first item (in list order) whose text begins with typed,
    // ignoring letter case as the seek on a book's index does (books::foldCase); -1 when none
    // does or typed is only spaces.
    int find(const QString &typed) const;
    // The same answer by walking the list from its first item.
    int findByScan(const QString &typed) const;

    // Counters for diagnostics and benchmarks.
    std::size_t distinctWordsRead() const { return m_words.size(); }
    int sortsDone() const { return m_sorts; }
    // Time the last rebuild spent putting new words into dictionary order.
    double lastSortMilliseconds() const { return m_sortMs; }

private:
    std::uint32_t intern(std::u16string_view word, const std::string_view *sortKey = nullptr);
    std::uint32_t append(std::u16string_view word, const std::string_view *sortKey);
    bool mergeIndexedBooks(const std::vector<int> &books);
    void placeNewWords();
    void placeByCollator(std::vector<std::uint32_t> &fresh);
    void placeBySortKeys(std::vector<std::vector<std::uint32_t>> &freshByBook);
    std::u16string_view folded(std::uint32_t id) const;
    std::string_view sortKey(std::uint32_t id) const;
    int minRow(std::size_t lo, std::size_t hi) const;
    // The first of the rows in folded-text order whose folded text is not before key.
    std::vector<std::uint32_t>::const_iterator firstFoldRow(std::u16string_view key) const;

    const Catalogue &m_catalogue;
    QCollator m_collator;

    // Every headword read so far, by id, with its folded form and the two orders over all ids.
    std::vector<QString> m_words;
    // Id by text; the keys view the texts of m_words (a QString keeps its buffer when the vector
    // moves it).
    // Left empty by the merge of indexed books (which needs no lookup by text); filled from
    // m_words before its first use.
    QHash<QStringView, std::uint32_t> m_ids;
    std::u16string m_foldPool;
    std::vector<std::uint32_t> m_foldStart; // m_words.size() + 1 offsets into m_foldPool
    std::vector<std::uint32_t> m_byCollation;
    std::vector<std::uint32_t> m_byFold;
    std::size_t m_placed = 0; // ids below this are in both orders
    // Collation sort keys of the words that came from a book's headword index (empty for the
    // others), and how many words have none. With a key for every word, new words are merged
    // into dictionary order by their keys, in the order their indexes give them.
    std::string m_sortKeyPool;
    std::vector<std::uint32_t> m_sortKeyStart; // m_words.size() + 1 offsets into m_sortKeyPool
    std::size_t m_unkeyed = 0;
    std::vector<std::vector<std::uint32_t>> m_freshByBook; // new ids, each book's in its order
    int m_sorts = 0;
    double m_sortMs = 0;

    // Headword ids of each book in table order, once read completely.
    std::vector<std::vector<std::uint32_t>> m_bookIds;
    std::vector<bool> m_bookRead;

    // The current list and its search index.
    std::vector<std::uint32_t> m_items;    // ids in list order
    std::vector<std::uint32_t> m_foldRows; // rows of the items in folded-text order
    std::vector<std::uint32_t> m_blockMin; // sparse table of minima over blocks of m_foldRows
    std::size_t m_blockCount = 0;
    std::int64_t m_total = 0;
};

// The word list behind a view: one row per headword, its text as display and edit role.
class WordListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit WordListModel(WordList &list, QObject *parent = nullptr);
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // Rebuilds the list inside a model reset.
    WordList::Outcome rebuild(const std::function<void()> &betweenBooks = {});
    WordList &list() { return m_list; }

private:
    WordList &m_list;
};

} // namespace kelmor::books
