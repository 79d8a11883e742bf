#include "books/form_cache.h"

#include "books/catalogue.h"
#include "books/headword_cache.h"
#include "books/roots_dictionary.h"
#include "platform/cache_folder.h"

#include <QCryptographicHash>
#include <QFile>

#include <algorithm>
#include <unordered_map>

namespace kelmor::books {

namespace {

bool before(const IndexedHeadword &a, const IndexedHeadword &b)
{
    return a.sortKey != b.sortKey ? a.sortKey < b.sortKey : a.text < b.text;
}

// The earlier of two headwords in the word list's order.
void keepFirst(std::optional<IndexedHeadword> &best, const std::optional<IndexedHeadword> &other)
{
    if (other && (!best || before(*other, *best)))
        best = other;
}

QString fromU16(const std::u16string &text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

// A book's forms index built from its headword index and stored; nullptr when the book has
// none to build from.
std::unique_ptr<FormIndex> buildAndStore(const Catalogue &catalogue, int n, const QString &key,
                                         const WordForms &forms, HeadwordKeys &known)
{
    const std::optional<std::vector<IndexedHeadword>> words = catalogue.indexedHeadwords(n);
    if (!words)
        return nullptr;
    const QString bookPath = catalogue.book(n).path;
    std::optional<std::string> bytes = encodeFormIndex(buildFormIndex(*words, forms, key, &known));
    if (!bytes)
        return nullptr;
    writeCacheFile(formCachePath(bookPath), *bytes);
    try {
        return FormIndex::fromBytes(std::move(*bytes), key.toStdString());
    } catch (const HeadwordIndexError &) {
        return nullptr;
    }
}

// A book's forms index from the cache folder; nullptr when it is missing, stale, foreign or
// damaged.
std::unique_ptr<FormIndex> openCached(const QString &bookPath, const QString &key)
{
    try {
        return FormIndex::open(QFile::encodeName(formCachePath(bookPath)).toStdString(),
                               key.toStdString());
    } catch (const HeadwordIndexError &) {
        return nullptr;
    }
}

// A book's forms index from the cache folder, else built and stored.
std::unique_ptr<FormIndex> openOrBuild(const Catalogue &catalogue, int n, const QString &key,
                                       const WordForms &forms, HeadwordKeys &known)
{
    if (auto cached = openCached(catalogue.book(n).path, key))
        return cached;
    return buildAndStore(catalogue, n, key, forms, known);
}

} // namespace

QString formCachePath(const QString &bookPath)
{
    const QByteArray name =
        QCryptographicHash::hash(QFile::encodeName(bookPath), QCryptographicHash::Sha1).toHex();
    return headwordCacheFolder() + QLatin1Char('/') + QString::fromLatin1(name) +
           QStringLiteral(".forms");
}

QString dictionaryCacheKey(const WordForms &forms)
{
    const QString none = QStringLiteral("no dictionary");
    if (!forms.dictionary())
        return none;
    if (!forms.partOf().isEmpty())
        return forms.partOf();
    const QString affix = platform::bookCacheKey(forms.dictionary()->affixPath);
    const QString words = platform::bookCacheKey(forms.dictionary()->wordsPath);
    if (affix.isEmpty() || words.isEmpty())
        return none;
    return affix + QLatin1Char('\n') + words;
}

QString formCacheKey(const QString &bookKey, const WordForms &forms)
{
    return QString::fromStdString(storedIndexKey(bookKey)) + QStringLiteral("\n\n") +
           dictionaryCacheKey(forms);
}

FormIndexContent buildFormIndex(const std::vector<IndexedHeadword> &words, const WordForms &forms,
                                const QString &key, HeadwordKeys *known)
{
    // The words come in list order, so the first one to claim a key keeps it. Entries hold the
    // words' positions; the headwords are copied once, into the content.
    struct Claims
    {
        std::int64_t exact = -1;
        std::int64_t form = -1;
    };
    std::unordered_map<std::u16string, Claims> entries;
    entries.reserve(words.size() * 3);
    for (std::size_t i = 0; i < words.size(); ++i) {
        const QString text = fromU16(words[i].text);
        Claims &exact = entries[foldWord(text)];
        if (exact.exact < 0)
            exact.exact = std::int64_t(i);
        const std::vector<TextWord> parts = splitWords(text);
        if (parts.size() != 1)
            continue;
        const QStringView part = QStringView(text).mid(parts[0].start, parts[0].length);
        std::vector<std::u16string> own;
        const std::vector<std::u16string> *keys = &own;
        if (known) {
            auto [it, fresh] = known->try_emplace(part.toString().toStdU16String());
            if (fresh)
                it->second = dictionaryKeys(forms, part, false).keys;
            keys = &it->second;
        } else {
            own = dictionaryKeys(forms, part, false).keys;
        }
        for (const std::u16string &k : *keys) {
            Claims &entry = entries[k];
            if (entry.form < 0)
                entry.form = std::int64_t(i);
        }
    }
    // In key order.
    std::vector<decltype(entries)::const_iterator> order;
    order.reserve(entries.size());
    for (auto it = entries.cbegin(); it != entries.cend(); ++it)
        order.push_back(it);
    std::sort(order.begin(), order.end(),
              [](const auto &a, const auto &b) { return a->first < b->first; });
    const auto headwordAt = [&words](std::int64_t i) {
        return i < 0 ? std::nullopt : std::optional<IndexedHeadword>(words[std::size_t(i)]);
    };
    FormIndexContent content;
    content.key = key.toStdString();
    content.entries.reserve(entries.size());
    for (const auto &it : order)
        content.entries.push_back(
            {it->first, headwordAt(it->second.exact), headwordAt(it->second.form)});
    return content;
}

int writeFormIndexes(const std::vector<std::pair<QString, QString>> &books, const WordForms &forms)
{
    HeadwordKeys known;
    int written = 0;
    // Every book's forms index, for the roots taken from them all.
    std::vector<std::pair<QString, std::unique_ptr<FormIndex>>> indexes;
    for (const auto &[path, bookKey] : books) {
        const QString key = formCacheKey(bookKey, forms);
        if (auto cached = openCached(path, key)) {
            indexes.emplace_back(key, std::move(cached));
            continue; // already there (else missing, stale, foreign or damaged: built again)
        }
        try {
            const std::unique_ptr<HeadwordIndex> headwords = openCachedHeadwordIndex(path, bookKey);
            if (!headwords)
                continue; // not indexed yet: its forms wait for the next start
            std::optional<std::string> bytes =
                encodeFormIndex(buildFormIndex(headwords->words(), forms, key, &known));
            if (!bytes || !writeCacheFile(formCachePath(path), *bytes))
                continue;
            ++written;
            indexes.emplace_back(key, FormIndex::fromBytes(std::move(*bytes), key.toStdString()));
        } catch (const HeadwordIndexError &) {
            // A damaged headword index: the catalogue builds it anew at a later start.
        }
    }
    if (!indexes.empty() && indexes.size() == books.size()) {
        std::vector<std::pair<QString, const FormIndex *>> all;
        for (const auto &[key, index] : indexes)
            all.emplace_back(key, index.get());
        writeRoots(all, forms);
    }
    return written;
}

std::optional<std::vector<std::pair<int, QString>>> enabledFormKeys(const Catalogue &catalogue,
                                                                    const WordForms &forms)
{
    std::vector<std::pair<int, QString>> keys;
    for (int n = 0; n < catalogue.count(); ++n) {
        if (!catalogue.isEnabled(n) || catalogue.book(n).recordCount <= 0)
            continue;
        const QString bookKey = platform::bookCacheKey(catalogue.book(n).path);
        if (bookKey.isEmpty() || !catalogue.isIndexed(n))
            return std::nullopt;
        keys.emplace_back(n, formCacheKey(bookKey, forms));
    }
    return keys;
}

struct FormIndexes::Book
{
    int n = 0;
    QString key;
    std::unique_ptr<FormIndex> index;
};

// The first headword written so and the first with the key as a form, over the books.
struct FormIndexes::Found
{
    std::optional<IndexedHeadword> exact;
    std::optional<IndexedHeadword> form;
};

FormIndexes::FormIndexes(const Catalogue &catalogue, const WordForms &forms, bool buildMissing)
    : m_catalogue(catalogue)
    , m_forms(forms)
    , m_mayBuild(forms.partOf().isEmpty())
{
    buildMissing = buildMissing && m_mayBuild;
    const std::optional<std::vector<std::pair<int, QString>>> keys =
        enabledFormKeys(catalogue, forms);
    if (!keys)
        return;
    for (const auto &[n, key] : *keys) {
        Book book{n, key, nullptr};
        book.index = buildMissing ? openOrBuild(catalogue, n, book.key, forms, m_known)
                                  : openCached(catalogue.book(n).path, book.key);
        if (!book.index)
            return;
        m_books.push_back(std::move(book));
    }
    m_usable = true;
}

FormIndexes::~FormIndexes() = default;

bool FormIndexes::storeRoots() const
{
    if (!m_usable)
        return false;
    std::vector<std::pair<QString, const FormIndex *>> indexes;
    for (const Book &book : m_books)
        indexes.emplace_back(book.key, book.index.get());
    return writeRoots(indexes, m_forms);
}

FormIndexes::Found FormIndexes::findKey(const std::u16string &key)
{
    // A damaged block is a damaged file: the book's index is built again, and asked again.
    Found found;
    for (Book &book : m_books) {
        std::optional<IndexedForm> entry;
        try {
            entry = book.index->find(key);
        } catch (const HeadwordIndexError &) {
            if (!m_mayBuild) {
                m_usable = false;
                throw;
            }
            book.index = buildAndStore(m_catalogue, book.n, book.key, m_forms, m_known);
            if (!book.index) {
                m_usable = false;
                throw;
            }
            entry = book.index->find(key);
        }
        if (entry) {
            keepFirst(found.exact, entry->exact);
            keepFirst(found.form, entry->form);
        }
    }
    return found;
}

FormIndexAnswer FormIndexes::resolve(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return {true, std::nullopt};
    if (!m_usable)
        return {};
    const std::vector<TextWord> parts = splitWords(text);
    const auto matchOf = [](const IndexedHeadword &w, const QString &form) {
        return FormResolver::Match{-1, fromU16(w.text), form};
    };
    try {
        if (const Found written = findKey(foldWord(text)); written.exact)
            return {true, matchOf(*written.exact, QString())};
        if (parts.size() > 1)
            return {}; // a phrase matches word by word: the resolver's
        if (parts.empty())
            return {true, std::nullopt};
        const WordKeys word =
            dictionaryKeys(m_forms, QStringView(text).mid(parts[0].start, parts[0].length), true);
        for (std::size_t k = 0; k < word.keys.size(); ++k) {
            const Found found = findKey(word.keys[k]);
            if (k == 0 && found.exact)
                return {true, matchOf(*found.exact, QString())};
            const std::optional<IndexedHeadword> &headword = found.exact ? found.exact : found.form;
            if (headword)
                return {true,
                        matchOf(*headword, k == 0 ? word.word : word.forms.at(qsizetype(k) - 1))};
        }
    } catch (const HeadwordIndexError &) {
        return {}; // a book that cannot be indexed again: the resolver answers
    }
    return {true, std::nullopt};
}

FormIndexAnswer resolveThroughFormIndexes(const Catalogue &catalogue, const WordForms &forms,
                                          const QString &typed)
{
    if (typed.trimmed().isEmpty())
        return {true, std::nullopt};
    return FormIndexes(catalogue, forms).resolve(typed);
}

} // namespace kelmor::books
