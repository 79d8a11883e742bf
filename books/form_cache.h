#pragma once

// The books' forms indexes in the cache folder, beside their headword indexes
// ($XDG_CACHE_HOME/kelmor/headwords/<sha1 of the book's path>.forms), and the answer of the
// form resolver for a single typed word read from them: with every enabled book's forms index
// at hand, only the typed word is looked up in the dictionary, never the books' headwords.
//
// A forms index is keyed by the book's key and the dictionary's (the files' paths, sizes and
// modification times, or "no dictionary"), so a changed book or dictionary is indexed anew. Like
// the headword indexes they are only an accelerator: one that is missing, stale, damaged,
// foreign or cannot be written is built again or done without, and the answers are the same.

#include "books/headword_index.h"
#include "books/word_forms.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace kelmor::books {

class Catalogue;

// The forms index file of a book, by its full path.
QString formCachePath(const QString &bookPath);
// The identity of the dictionary in use: its files' keys, or a fixed text without one.
QString dictionaryCacheKey(const WordForms &forms);
// The key a book's forms index carries.
QString formCacheKey(const QString &bookKey, const WordForms &forms);

// The forms index of a book's distinct headwords (in the word list's order, as its headword
// index gives them): per key the first headword written so and the first single-word headword
// with that key among its own (dictionary keys of the headword as written).
// The dictionary keys of headwords already looked up (by the headword's word), so that books
// indexed together look each distinct headword up once.
using HeadwordKeys = std::unordered_map<std::u16string, std::vector<std::u16string>>;
FormIndexContent buildFormIndex(const std::vector<IndexedHeadword> &words, const WordForms &forms,
                                const QString &key, HeadwordKeys *known = nullptr);

// Builds and stores the forms index of each book (full path and book key) whose headword index
// is whole in the cache folder and whose forms index for this dictionary is missing, stale or
// damaged. Reads only the cache files, never the books or a catalogue, so it runs on any thread
// beside a catalogue in use. When every book then has one, stores the library's roots for them
// all (books/roots_dictionary.h). Returns how many indexes it wrote.
int writeFormIndexes(const std::vector<std::pair<QString, QString>> &books, const WordForms &forms);

// The forms keys of the enabled books (those with headwords) with their numbers, in the
// catalogue's order; std::nullopt when one of them has no headword index.
std::optional<std::vector<std::pair<int, QString>>> enabledFormKeys(const Catalogue &catalogue,
                                                                    const WordForms &forms);

// What the forms indexes answer for a typed text.
struct FormIndexAnswer
{
    bool answered = false; // false: the caller resolves through a FormResolver instead
    // The headword, as FormResolver::resolve() finds it on the enabled books' word list (row is
    // -1: the list is not read).
    std::optional<FormResolver::Match> match;
};

// The forms indexes of a catalogue's enabled books, opened once and asked many times (the main
// window asks them at each keystroke that no headword begins with). The catalogue and the
// dictionary must outlive it; a change of the enabled books needs a new one.
class FormIndexes
{
public:
    // Opens the enabled books' forms indexes; with buildMissing, a book without one is indexed
    // now, from its headword index, and the index stored (never with a part of a dictionary:
    // a missing or damaged index is then unusable). Unusable when a book has no headword
    // index, or no forms index (and it is not built, or cannot be).
    FormIndexes(const Catalogue &catalogue, const WordForms &forms, bool buildMissing = true);
    ~FormIndexes();
    FormIndexes(const FormIndexes &) = delete;
    FormIndexes &operator=(const FormIndexes &) = delete;

    bool isUsable() const { return m_usable; }
    // FormResolver::resolve() for a single typed word. Not answered for a phrase that is not a
    // headword as written, or when the indexes are unusable (or a damaged one cannot be built
    // again).
    FormIndexAnswer resolve(const QString &typed);
    // Stores the library's roots for these indexes (books/roots_dictionary.h); false when they
    // are unusable or the roots cannot be taken or written.
    bool storeRoots() const;

private:
    struct Book;
    struct Found;
    Found findKey(const std::u16string &key);

    const Catalogue &m_catalogue;
    const WordForms &m_forms;
    std::vector<Book> m_books;
    HeadwordKeys m_known;
    bool m_mayBuild = true;
    bool m_usable = false;
};

// FormIndexes(catalogue, forms).resolve(typed): what a single question opens and asks.
FormIndexAnswer resolveThroughFormIndexes(const Catalogue &catalogue, const WordForms &forms,
                                          const QString &typed);

} // namespace kelmor::books
