#pragma once

// Words in any form: the dictionary forms of a Russian word (Hunspell), and the resolver that
// finds the headword a user means when the typed text is not itself a headword ("змеи" → Змея,
// "зубов" → Зубы, "стоячей воде" → Стоячая вода).
//
// The dictionary is optional: without one (or with an unreadable one) there are no forms, and
// the resolver still finds headwords written as typed.

#include <QMutex>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelmor::books {

// The two files of a Hunspell dictionary.
struct HunspellDictionary
{
    QString affixPath; // ru_RU.aff
    QString wordsPath; // ru_RU.dic
};

// Where dictionaries are looked for: the folders of $DICPATH, then the system's.
QStringList dictionaryFolders();
// The Russian dictionary (ru_RU, else ru) in the first folder that has both of its files.
std::optional<HunspellDictionary>
findRussianDictionary(const QStringList &folders = dictionaryFolders());

// The dictionary forms of words. The dictionary is loaded on first use; every call is
// thread-safe (one Hunspell instance, used under a lock).
class WordForms
{
public:
    // No dictionary: no word has forms.
    WordForms();
    // partOf: the cache key of the whole dictionary when these files hold a part of its words
    // (the library's roots): the stems are that dictionary's among the words held, and nothing
    // is indexed with them.
    explicit WordForms(std::optional<HunspellDictionary> dictionary, QString partOf = {});
    ~WordForms();
    WordForms(const WordForms &) = delete;
    WordForms &operator=(const WordForms &) = delete;

    // The system's Russian dictionary (findRussianDictionary()).
    static std::shared_ptr<WordForms> systemDictionary();

    // The dictionary's files as given (whether or not they load).
    const std::optional<HunspellDictionary> &dictionary() const { return m_dictionary; }
    // The whole dictionary's cache key when this is a part of it; empty for a whole one.
    const QString &partOf() const { return m_partOf; }
    // True when the dictionary loaded; loads it.
    bool isAvailable() const;
    // Why the dictionary is not used (for diagnostics; never shown as an error), or empty.
    QString unavailableReason() const;

    // The dictionary forms of one word, in Hunspell's order, each once; empty when the
    // dictionary does not know the word, the word does not fit its encoding, or there is none.
    QStringList stems(const QString &word) const;
    // The encoding of the dictionary's files as the text converters name it ("UTF-8"); empty
    // when the dictionary is not used. Loads it.
    QByteArray wordEncoding() const;

private:
    struct Engine;
    void load() const;

    std::optional<HunspellDictionary> m_dictionary;
    QString m_partOf;
    mutable QMutex m_mutex;
    mutable bool m_loaded = false;
    mutable std::unique_ptr<Engine> m_engine;
    mutable QString m_reason;
};

// A word of a text: its place in UTF-16 code units.
struct TextWord
{
    int start = 0;
    int length = 0;
};

// The words of a text: runs of letters (with their combining marks). Hyphens, spaces and
// punctuation separate words.
std::vector<TextWord> splitWords(QStringView text);

// True when two words of a text may belong to one headword of several words: only spaces and
// hyphens lie between them.
bool joinable(QStringView gap);

// A word as the headword index compares it: letter case folded as the books' word index folds
// it ("ё" and "е" stay different), stress marks dropped.
std::u16string foldWord(QStringView word);

// What a word of a text can match: its folded self, then its folded dictionary forms in
// Hunspell's order, each once (keys[0] is the word itself).
struct WordKeys
{
    QString word; // the word as written, stress marks dropped
    std::vector<std::u16string> keys;
    QStringList forms; // the dictionary forms as Hunspell gives them, parallel to keys[1..]
};

// The keys of a word by a dictionary: withPlainE also looks up its spelling with "е" for "ё"
// (typed words take it, headwords do not).
WordKeys dictionaryKeys(const WordForms &forms, QStringView word, bool withPlainE);

class FormResolver
{
public:
    // headwords: the word list's items in list order. The index over them is built on first
    // need (or by prepare()), not here.
    FormResolver(QStringList headwords, std::shared_ptr<const WordForms> forms);
    ~FormResolver();
    FormResolver(const FormResolver &) = delete;
    FormResolver &operator=(const FormResolver &) = delete;

    struct Match
    {
        int row = -1;     // row of the headword in the list given
        QString headword; // the headword itself
        // The dictionary form through which the headword was found ("змея" for "змеи"); empty
        // when the text is the headword itself, letter case aside.
        QString form;
        bool viaForm() const { return !form.isEmpty(); }
    };

    // The headword a user means by a typed word or phrase: the headword written so (letter
    // case ignored) if any; otherwise the first dictionary form, in Hunspell's order, that is a
    // headword or one of a headword's own forms: a headword written as that form first, else the
    // first in list order that has it. A phrase of several words finds a headword of as many
    // words whose every word matches by its forms.
    std::optional<Match> resolve(const QString &typed) const;

    // A headword found at a place in a text.
    struct TextMatch
    {
        Match match;
        std::size_t words = 0; // how many words of the text it covers
    };
    // The headword that starts at words[first]: of the headwords of several words whose words
    // match the text's words one by one (each by its forms, neighbours joinable), the one of
    // most words, written as in the text before by its forms, then first in list order;
    // otherwise the single word as resolve() finds it. joinableAfter[i] tells whether words i
    // and i + 1 may belong to one headword.
    std::optional<TextMatch> matchAt(std::span<const WordKeys> words,
                                     const std::vector<bool> &joinableAfter,
                                     std::size_t first) const;

    // The keys of one word of a text (its forms looked up in the dictionary, also through its
    // spelling with "е" for "ё").
    WordKeys keysOf(QStringView word) const;

    // Builds the headword index now. Thread-safe; later calls return at once.
    void prepare() const;
    bool isPrepared() const;
    // How long building the index took, in milliseconds (0 before it is built).
    double indexMilliseconds() const;

    int count() const { return int(m_headwords.size()); }
    const QString &headword(int row) const { return m_headwords[row]; }
    const std::shared_ptr<const WordForms> &forms() const { return m_forms; }

private:
    WordKeys keysOfSpelling(QStringView word, bool withPlainE) const;
    struct Index;
    Match matchOf(int row, const QString &form) const;
    std::optional<TextMatch> phraseAt(std::span<const WordKeys> words,
                                      const std::vector<bool> &joinableAfter, std::size_t first,
                                      std::size_t exactWords) const;

    QStringList m_headwords;
    std::shared_ptr<const WordForms> m_forms;
    mutable std::once_flag m_built;
    mutable std::unique_ptr<Index> m_index;
    mutable std::atomic<bool> m_ready = false;
    mutable double m_indexMs = 0;
};

} // namespace kelmor::books
