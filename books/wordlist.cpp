#include "books/wordlist.h"

#include "books/catalogue.h"
#include "books/engine/casefold.h"
#include "books/engine/jet.h"
#include "books/headword_index.h"

#include <QCollatorSortKey>
#include <QElapsedTimer>
#include <QLocale>

#include <algorithm>
#include <exception>

namespace kelmor::books {

namespace {

// The folded form of a headword or of typed text: the same folding as the seek on a book's index.
std::u16string foldedText(QStringView text)
{
    return foldCase(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                        std::size_t(text.size())));
}

constexpr std::size_t kBlock = 32; // items per block of the range-minimum index
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

bool onlySpaces(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c == QLatin1Char(' '); });
}

int floorLog2(std::size_t n)
{
    int k = 0;
    while ((std::size_t(2) << k) <= n)
        ++k;
    return k;
}

} // namespace

WordList::WordList(const Catalogue &catalogue)
    : m_catalogue(catalogue)
    , m_collator(QLocale(QLocale::Russian, QLocale::Russia))
{
    m_foldStart.push_back(0);
    m_sortKeyStart.push_back(0);
}

std::uint32_t WordList::intern(std::u16string_view word, const std::string_view *sortKey)
{
    if (m_ids.size() != qsizetype(m_words.size())) {
        m_ids.reserve(qsizetype(m_words.size()) * 2);
        for (std::size_t id = 0; id < m_words.size(); ++id)
            m_ids.insert(QStringView(m_words[id]), std::uint32_t(id));
    }
    if (const auto it = m_ids.constFind(QStringView(word.data(), qsizetype(word.size())));
        it != m_ids.cend())
        return it.value();
    const std::uint32_t id = append(word, sortKey);
    m_ids.insert(QStringView(m_words.back()), id);
    return id;
}

std::uint32_t WordList::append(std::u16string_view word, const std::string_view *sortKey)
{
    const auto id = std::uint32_t(m_words.size());
    m_words.emplace_back(QString::fromUtf16(word.data(), qsizetype(word.size())));
    if (sortKey)
        m_sortKeyPool += *sortKey;
    m_sortKeyStart.push_back(std::uint32_t(m_sortKeyPool.size()));
    if (!sortKey)
        ++m_unkeyed;
    appendFolded(m_foldPool, word);
    m_foldStart.push_back(std::uint32_t(m_foldPool.size()));
    return id;
}

bool WordList::mergeIndexedBooks(const std::vector<int> &books)
{
    // The books' runs of distinct headwords, each in dictionary order, merged into one: a word
    // several books have comes out once per book, one after the other, and gets one id. The ids
    // are then in dictionary order already, and no word is looked up by its text.
    struct Run
    {
        int book = 0;
        HeadwordReader reader;
    };
    std::vector<Run> runs;
    runs.reserve(books.size());
    for (int n : books) {
        std::optional<HeadwordReader> reader = m_catalogue.headwordReader(n);
        if (!reader)
            return false;
        runs.push_back({n, std::move(*reader)});
    }
    // The first eight bytes of each run's current sort key as a number, compared first.
    std::vector<std::uint64_t> heads(runs.size(), 0);
    const auto advance = [&](std::size_t i) {
        if (!runs[i].reader.next())
            return false;
        const std::string_view key = runs[i].reader.sortKey();
        std::uint64_t head = 0;
        for (std::size_t b = 0; b < 8; ++b)
            head = (head << 8) | (b < key.size() ? std::uint8_t(key[b]) : 0);
        heads[i] = head;
        return true;
    };
    // Ahead of: the smaller (sort key, text), then the earlier book.
    const auto later = [&](std::size_t a, std::size_t b) {
        if (heads[a] != heads[b])
            return heads[a] > heads[b];
        const HeadwordReader &x = runs[a].reader, &y = runs[b].reader;
        if (x.sortKey() != y.sortKey())
            return x.sortKey() > y.sortKey();
        if (x.text() != y.text())
            return x.text() > y.text();
        return a > b;
    };
    // At most as many words as the books have records: room for them at once.
    std::size_t records = 0;
    for (const Run &run : runs)
        records += std::size_t(std::max<std::int64_t>(m_catalogue.book(run.book).recordCount, 0));
    m_words.reserve(m_words.size() + records);
    m_sortKeyStart.reserve(m_sortKeyStart.size() + records);
    m_foldStart.reserve(m_foldStart.size() + records);
    std::vector<std::vector<std::uint32_t>> ids(runs.size());
    std::vector<std::size_t> heap;
    std::size_t current = 0;
    try {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            ids[i].reserve(
                std::size_t(std::max<std::int64_t>(m_catalogue.book(runs[i].book).recordCount, 0)));
            current = i;
            if (advance(i))
                heap.push_back(i);
        }
        // A heap with the next word on top; the run whose word was taken moves down from the
        // top once (or leaves it when it has no more words).
        std::make_heap(heap.begin(), heap.end(), later);
        const auto siftDown = [&] {
            std::size_t i = 0;
            for (;;) {
                const std::size_t left = 2 * i + 1, right = left + 1;
                std::size_t first = i;
                if (left < heap.size() && later(heap[first], heap[left]))
                    first = left;
                if (right < heap.size() && later(heap[first], heap[right]))
                    first = right;
                if (first == i)
                    return;
                std::swap(heap[i], heap[first]);
                i = first;
            }
        };
        while (!heap.empty()) {
            current = heap.front();
            const HeadwordReader &r = runs[current].reader;
            const std::string_view key = r.sortKey();
            const bool same = !m_words.empty() &&
                              sortKey(std::uint32_t(m_words.size() - 1)) == key &&
                              QStringView(m_words.back()) ==
                                  QStringView(r.text().data(), qsizetype(r.text().size()));
            ids[current].push_back(same ? std::uint32_t(m_words.size() - 1)
                                        : append(r.text(), &key));
            if (!advance(current)) {
                heap.front() = heap.back();
                heap.pop_back();
            }
            if (!heap.empty())
                siftDown();
        }
    } catch (const HeadwordIndexError &) {
        // A damaged index: that book is read from its table, and the list built the usual way.
        m_catalogue.dropHeadwordIndex(runs[current].book);
        m_words.clear();
        m_sortKeyPool.clear();
        m_sortKeyStart.assign(1, 0);
        m_foldPool.clear();
        m_foldStart.assign(1, 0);
        m_unkeyed = 0;
        return false;
    }
    m_byCollation.resize(m_words.size());
    for (std::size_t id = 0; id < m_words.size(); ++id)
        m_byCollation[id] = std::uint32_t(id);
    // Placed in dictionary order; the folded-text order follows in placeNewWords().
    for (std::size_t i = 0; i < runs.size(); ++i) {
        m_bookIds[size_t(runs[i].book)] = std::move(ids[i]);
        m_bookRead[size_t(runs[i].book)] = true;
    }
    return true;
}

std::u16string_view WordList::folded(std::uint32_t id) const
{
    return std::u16string_view(m_foldPool)
        .substr(m_foldStart[id], m_foldStart[id + 1] - m_foldStart[id]);
}

std::string_view WordList::sortKey(std::uint32_t id) const
{
    return std::string_view(m_sortKeyPool)
        .substr(m_sortKeyStart[id], m_sortKeyStart[id + 1] - m_sortKeyStart[id]);
}

void WordList::placeNewWords()
{
    m_sortMs = 0;
    if (m_placed == m_words.size()) {
        m_freshByBook.clear();
        return;
    }
    QElapsedTimer timer;
    timer.start();
    ++m_sorts;
    std::vector<std::uint32_t> fresh(m_words.size() - m_placed);
    for (std::size_t i = 0; i < fresh.size(); ++i)
        fresh[i] = std::uint32_t(m_placed + i);
    if (m_unkeyed == 0)
        placeBySortKeys(m_freshByBook);
    else
        placeByCollator(fresh);
    m_freshByBook.clear();
    // Folded-text order (code units), the same way.
    {
        const auto byFold = [&](std::uint32_t a, std::uint32_t b) {
            const auto fa = folded(a), fb = folded(b);
            return fa != fb ? fa < fb : a < b;
        };
        // Sorted by the first four code units packed into a number first, so that most
        // comparisons are one of numbers; the whole folded texts decide the rest.
        std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
        keyed.reserve(fresh.size());
        for (std::uint32_t id : fresh) {
            const std::u16string_view f = folded(id);
            std::uint64_t prefix = 0;
            for (std::size_t i = 0; i < 4; ++i)
                prefix = (prefix << 16) | (i < f.size() ? std::uint64_t(f[i]) : 0);
            keyed.emplace_back(prefix, id);
        }
        std::sort(keyed.begin(), keyed.end(), [&](const auto &a, const auto &b) {
            return a.first != b.first ? a.first < b.first : byFold(a.second, b.second);
        });
        for (std::size_t i = 0; i < keyed.size(); ++i)
            fresh[i] = keyed[i].second;
        std::vector<std::uint32_t> merged;
        merged.reserve(m_words.size());
        std::merge(m_byFold.begin(), m_byFold.end(), fresh.begin(), fresh.end(),
                   std::back_inserter(merged), byFold);
        m_byFold.swap(merged);
    }
    m_placed = m_words.size();
    m_sortMs = double(timer.nsecsElapsed()) / 1e6;
}

void WordList::placeByCollator(std::vector<std::uint32_t> &fresh)
{
    // Dictionary order, once for the new words (with sort keys), then merged into the rest.
    // Words the collation ranks equal keep a fixed order by their code units.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(fresh.size());
    for (std::uint32_t id : fresh)
        keys.push_back(m_collator.sortKey(m_words[id]));
    const std::size_t base = m_placed;
    std::sort(fresh.begin(), fresh.end(), [&](std::uint32_t a, std::uint32_t b) {
        const int c = keys[a - base].compare(keys[b - base]);
        return c != 0 ? c < 0 : m_words[a] < m_words[b];
    });
    std::vector<std::uint32_t> merged;
    merged.reserve(m_words.size());
    std::merge(m_byCollation.begin(), m_byCollation.end(), fresh.begin(), fresh.end(),
               std::back_inserter(merged), [&](std::uint32_t a, std::uint32_t b) {
                   const int c = m_collator.compare(m_words[a], m_words[b]);
                   return c != 0 ? c < 0 : m_words[a] < m_words[b];
               });
    m_byCollation.swap(merged);
}

void WordList::placeBySortKeys(std::vector<std::vector<std::uint32_t>> &freshByBook)
{
    // The order of the collation's sort keys is the collator's; equal keys are words the
    // collation ranks equal, ordered by their code units as above. Each book's new words come in
    // that order already, so the books' runs and the placed words are merged pairwise.
    const auto before = [&](std::uint32_t a, std::uint32_t b) {
        const int c = sortKey(a).compare(sortKey(b));
        return c != 0 ? c < 0 : m_words[a] < m_words[b];
    };
    std::vector<std::vector<std::uint32_t>> runs;
    runs.reserve(freshByBook.size() + 1);
    runs.push_back(std::move(m_byCollation));
    for (auto &run : freshByBook)
        if (!run.empty())
            runs.push_back(std::move(run));
    while (runs.size() > 1) {
        std::vector<std::vector<std::uint32_t>> next;
        next.reserve((runs.size() + 1) / 2);
        for (std::size_t i = 0; i + 1 < runs.size(); i += 2) {
            std::vector<std::uint32_t> merged;
            merged.reserve(runs[i].size() + runs[i + 1].size());
            std::merge(runs[i].begin(), runs[i].end(), runs[i + 1].begin(), runs[i + 1].end(),
                       std::back_inserter(merged), before);
            next.push_back(std::move(merged));
        }
        if (runs.size() % 2 == 1)
            next.push_back(std::move(runs.back()));
        runs.swap(next);
    }
    m_byCollation = std::move(runs.front());
}

WordList::Outcome WordList::rebuild(const std::function<void()> &betweenBooks)
{
    Outcome outcome;
    const int books = m_catalogue.count();
    if (int(m_bookIds.size()) < books) {
        m_bookIds.resize(size_t(books));
        m_bookRead.resize(size_t(books), false);
    }

    if (m_words.empty()) {
        // The first build over books that all have their headword indexes: merged by sort key.
        std::vector<int> indexed;
        bool all = true;
        for (int n = 0; n < books && all; ++n) {
            if (!m_catalogue.isEnabled(n) || m_catalogue.book(n).recordCount <= 0)
                continue;
            all = m_catalogue.isIndexed(n);
            indexed.push_back(n);
        }
        if (all && !indexed.empty())
            (void)mergeIndexedBooks(indexed);
    }

    std::int64_t total = 0;
    std::vector<const std::vector<std::uint32_t> *> chosen;
    std::vector<std::uint32_t> partial; // the words of a book whose reading failed
    for (int n = 0; n < books; ++n) {
        if (betweenBooks)
            betweenBooks();
        if (!m_catalogue.isEnabled(n))
            continue;
        const std::int64_t records = m_catalogue.book(n).recordCount;
        if (records <= 0)
            continue;
        total += records;
        if (!m_bookRead[size_t(n)] && m_catalogue.isIndexed(n)) {
            // The book's distinct headwords from its index, in dictionary order. The new ones
            // are kept in that order even when the index fails part of the way, as they are
            // placed with the rest.
            std::vector<std::uint32_t> ids;
            ids.reserve(std::size_t(records));
            std::vector<std::uint32_t> &fresh = m_freshByBook.emplace_back();
            const bool whole = m_catalogue.forEachIndexedHeadword(
                n, [&](std::u16string_view text, std::string_view sortKey) {
                    const std::size_t before = m_words.size();
                    const std::uint32_t id = intern(text, &sortKey);
                    if (m_words.size() != before)
                        fresh.push_back(id);
                    ids.push_back(id);
                });
            if (whole) {
                m_bookIds[size_t(n)] = std::move(ids);
                m_bookRead[size_t(n)] = true;
            }
        }
        if (!m_bookRead[size_t(n)]) {
            Table *table = m_catalogue.table(n);
            if (!table)
                continue;
            std::vector<std::uint32_t> ids;
            ids.reserve(size_t(records));
            try {
                table->moveFirst();
                while (!table->eof()) {
                    const std::optional<std::u16string> headword = table->text("List");
                    if (!headword)
                        throw std::runtime_error("у записи не заполнено слово (поле List)");
                    ids.push_back(intern(*headword));
                    table->moveNext();
                }
            } catch (const std::exception &e) {
                outcome.ok = false;
                outcome.error = m_catalogue.book(n).fileName + QStringLiteral(": ") +
                                QString::fromUtf8(e.what());
                partial = std::move(ids);
                break;
            }
            m_bookIds[size_t(n)] = std::move(ids);
            m_bookRead[size_t(n)] = true;
        }
        chosen.push_back(&m_bookIds[size_t(n)]);
    }
    chosen.push_back(&partial);

    placeNewWords();

    // The chosen ids, in dictionary order.
    std::vector<std::uint32_t> row(m_words.size(), kNone);
    for (const auto *ids : chosen)
        for (std::uint32_t id : *ids)
            row[id] = 0;
    m_items.clear();
    for (std::uint32_t id : m_byCollation)
        if (row[id] != kNone) {
            row[id] = std::uint32_t(m_items.size());
            m_items.push_back(id);
        }
    m_total = total;

    // Search index: the rows in folded-text order, and minima over blocks of them.
    m_foldRows.clear();
    m_foldRows.reserve(m_items.size());
    for (std::uint32_t id : m_byFold)
        if (row[id] != kNone)
            m_foldRows.push_back(row[id]);
    m_blockCount = (m_foldRows.size() + kBlock - 1) / kBlock;
    const int levels = m_blockCount ? floorLog2(m_blockCount) + 1 : 0;
    m_blockMin.assign(size_t(levels) * m_blockCount, kNone);
    for (std::size_t i = 0; i < m_foldRows.size(); ++i)
        m_blockMin[i / kBlock] = std::min(m_blockMin[i / kBlock], m_foldRows[i]);
    for (int k = 1; k < levels; ++k) {
        const std::size_t span = std::size_t(1) << (k - 1);
        std::uint32_t *cur = &m_blockMin[size_t(k) * m_blockCount];
        const std::uint32_t *prev = &m_blockMin[size_t(k - 1) * m_blockCount];
        for (std::size_t b = 0; b + 2 * span <= m_blockCount; ++b)
            cur[b] = std::min(prev[b], prev[b + span]);
    }
    return outcome;
}

int WordList::rowOf(const QString &word) const
{
    // The words folded as this one form one run in folded-text order; the word itself is one of
    // them or not in the list.
    const std::u16string key = foldedText(word);
    for (auto it = firstFoldRow(key); it != m_foldRows.end() && folded(m_items[*it]) == key; ++it)
        if (m_words[m_items[*it]] == word)
            return int(*it);
    return -1;
}

int WordList::minRow(std::size_t lo, std::size_t hi) const
{
    std::uint32_t best = kNone;
    const std::size_t firstFull = (lo + kBlock - 1) / kBlock;
    const std::size_t endFull = hi / kBlock;
    if (firstFull >= endFull) {
        for (std::size_t i = lo; i < hi; ++i)
            best = std::min(best, m_foldRows[i]);
    } else {
        for (std::size_t i = lo; i < firstFull * kBlock; ++i)
            best = std::min(best, m_foldRows[i]);
        for (std::size_t i = endFull * kBlock; i < hi; ++i)
            best = std::min(best, m_foldRows[i]);
        const std::size_t blocks = endFull - firstFull;
        const int k = floorLog2(blocks);
        const std::uint32_t *level = &m_blockMin[size_t(k) * m_blockCount];
        best = std::min({best, level[firstFull], level[endFull - (std::size_t(1) << k)]});
    }
    return best == kNone ? -1 : int(best);
}

int WordList::find(const QString &typed) const
{
    if (onlySpaces(typed) || m_items.empty())
        return -1;
    const std::u16string key = foldedText(typed);
    const std::u16string_view prefix(key);
    // Words that begin with the prefix form one run in folded-text order.
    const auto first = firstFoldRow(prefix);
    const auto last = std::partition_point(first, m_foldRows.cend(), [&](std::uint32_t r) {
        return folded(m_items[r]).substr(0, prefix.size()) == prefix;
    });
    if (first == last)
        return -1;
    return minRow(size_t(first - m_foldRows.cbegin()), size_t(last - m_foldRows.cbegin()));
}

std::vector<std::uint32_t>::const_iterator WordList::firstFoldRow(std::u16string_view key) const
{
    return std::partition_point(m_foldRows.cbegin(), m_foldRows.cend(),
                                [&](std::uint32_t r) { return folded(m_items[r]) < key; });
}

int WordList::findByScan(const QString &typed) const
{
    if (onlySpaces(typed))
        return -1;
    const std::u16string key = foldedText(typed);
    for (std::size_t r = 0; r < m_items.size(); ++r)
        if (folded(m_items[r]).starts_with(key))
            return int(r);
    return -1;
}

WordListModel::WordListModel(WordList &list, QObject *parent)
    : QAbstractListModel(parent)
    , m_list(list)
{
}

int WordListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_list.count();
}

QVariant WordListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_list.count())
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole || role == Qt::ToolTipRole)
        return m_list.word(index.row());
    return {};
}

WordList::Outcome WordListModel::rebuild(const std::function<void()> &betweenBooks)
{
    beginResetModel();
    const WordList::Outcome outcome = m_list.rebuild(betweenBooks);
    endResetModel();
    return outcome;
}

} // namespace kelmor::books
