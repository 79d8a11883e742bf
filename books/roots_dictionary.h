#pragma once

// The library's roots: the lines of the Russian dictionary's word list whose words the books'
// forms indexes hold as keys, kept in the cache folder ($XDG_CACHE_HOME/kelmor/headwords/
// roots.dic) with the keys of the indexes they were taken for.
//
// A typed word that is no headword as written is answered through the forms indexes by its
// dictionary forms, and only a form that is a key of some index can answer. Hunspell finds a
// word's dictionary forms among the roots exactly as among all its words, minus those that
// answer nothing, so the roots give the same answers with a few thousand words loaded instead of
// 146,000 (the memory and most of the time of a terminal lookup through the forms). Dictionaries
// whose affix file compounds words, converts its output or ignores characters are not reduced:
// there a form need not be one of its lines.
//
// Like the indexes, the file is only an accelerator: missing, stale, damaged, foreign or taken for
// other books, it is not used, and the whole dictionary answers.

#include "books/roots_file.h"
#include "books/word_forms.h"

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelmor::books {

class Catalogue;
class FormIndex;
struct FormIndexAnswer;

QString rootsCachePath();

// The word list of the lines of the dictionary of forms whose word, folded, is a key of one of
// the indexes; std::nullopt when the dictionary cannot be reduced so (none, unreadable, too
// large, compounding, output conversion, ignored characters) or an index is damaged.
std::optional<std::string> rootsOf(const WordForms &forms,
                                   const std::vector<const FormIndex *> &indexes);

// Stores the roots of the dictionary of forms for these forms indexes (each with its key),
// unless the stored roots were taken for exactly these keys. True when they are stored.
bool writeRoots(const std::vector<std::pair<QString, const FormIndex *>> &indexes,
                const WordForms &forms);

// The stored roots as a dictionary of their own, kept in memory (so that the file may be
// replaced meanwhile).
class RootsDictionary
{
public:
    // The stored roots when they were taken from the dictionary of whole for at least these
    // forms keys; nullptr otherwise.
    static std::unique_ptr<RootsDictionary> open(const std::vector<QString> &formKeys,
                                                 const WordForms &whole);
    ~RootsDictionary();
    RootsDictionary(const RootsDictionary &) = delete;
    RootsDictionary &operator=(const RootsDictionary &) = delete;

    // The roots' forms: HunspellDictionary::partOf names the whole dictionary.
    const WordForms &forms() const { return *m_forms; }

private:
    RootsDictionary(int fd, std::unique_ptr<WordForms> forms);

    int m_fd = -1; // the words, in memory, read by Hunspell through /proc/self/fd
    std::unique_ptr<WordForms> m_forms;
};

// FormIndexes::resolve() of the enabled books with the stored roots instead of the whole
// dictionary; not answered when the roots were not taken for these books and this dictionary
// (or a forms index is missing or damaged: the whole dictionary builds it).
FormIndexAnswer resolveThroughRoots(const Catalogue &catalogue, const WordForms &whole,
                                    const QString &typed);

} // namespace kelmor::books
