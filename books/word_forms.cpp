#include "books/word_forms.h"

#include "books/engine/casefold.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>

#include <hunspell.hxx>

#include <algorithm>
#include <unordered_map>

namespace kelmor::books {

namespace {

// Longer "words" are not words; Hunspell refuses them anyway.
constexpr qsizetype kMaxWordLength = 64;
// A dictionary file larger than this is not a dictionary (the Russian one is 3.4 MB).
constexpr qint64 kMaxDictionaryBytes = 64 * 1024 * 1024;

bool isStressMark(char16_t c)
{
    return c == u'\u0300' || c == u'\u0301';
}

QString withoutStressMarks(QStringView word)
{
    QString out;
    out.reserve(word.size());
    for (QChar c : word)
        if (!isStressMark(c.unicode()))
            out.append(c);
    return out;
}

bool isHyphen(char32_t c)
{
    return c == U'-' || c == U'\u2010' || c == U'\u2011';
}

// The file a dictionary may be read from, or why not.
QString unusableFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("нет файла %1").arg(path);
    if (!info.isFile() || !info.isReadable())
        return QStringLiteral("файл %1 нельзя прочитать").arg(path);
    if (info.size() > kMaxDictionaryBytes)
        return QStringLiteral("файл %1 слишком велик для словаря").arg(path);
    return {};
}

// Hunspell's names of encodings as the text converters know them.
QByteArray converterName(QByteArray hunspellName)
{
    hunspellName = hunspellName.trimmed();
    if (hunspellName.startsWith("microsoft-cp"))
        return "windows-" + hunspellName.mid(12);
    return hunspellName;
}

} // namespace

// ---------------------------------------------------------------------------------------------

QStringList dictionaryFolders()
{
    QStringList folders;
    const QString dicpath = qEnvironmentVariable("DICPATH");
    for (const QString &folder : dicpath.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        folders << folder;
    folders << QStringLiteral("/usr/local/share/hunspell") << QStringLiteral("/usr/share/hunspell")
            << QStringLiteral("/usr/share/myspell") << QStringLiteral("/usr/share/myspell/dicts");
    return folders;
}

std::optional<HunspellDictionary> findRussianDictionary(const QStringList &folders)
{
    for (const QString &folder : folders) {
        for (const char *name : {"ru_RU", "ru"}) {
            const QDir dir(folder);
            HunspellDictionary d{dir.filePath(QLatin1String(name) + QLatin1String(".aff")),
                                 dir.filePath(QLatin1String(name) + QLatin1String(".dic"))};
            if (QFileInfo::exists(d.affixPath) && QFileInfo::exists(d.wordsPath))
                return d;
        }
    }
    return std::nullopt;
}

struct WordForms::Engine
{
    Engine(const QByteArray &affix, const QByteArray &words)
        : hunspell(affix.constData(), words.constData())
    {
    }
    Hunspell hunspell;
    bool utf8 = true;
    QByteArray encoding;

    std::optional<std::string> encode(const QString &word) const
    {
        if (utf8)
            return word.toStdString();
        QStringEncoder encoder(encoding.constData());
        const QByteArray bytes = encoder.encode(word);
        // A character the encoding lacks does not come back.
        if (encoder.hasError() || decode(bytes.toStdString()) != word)
            return std::nullopt;
        return bytes.toStdString();
    }
    QString decode(const std::string &bytes) const
    {
        if (utf8)
            return QString::fromStdString(bytes);
        QStringDecoder decoder(encoding.constData());
        return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    }
};

WordForms::WordForms() = default;

WordForms::WordForms(std::optional<HunspellDictionary> dictionary, QString partOf)
    : m_dictionary(std::move(dictionary))
    , m_partOf(std::move(partOf))
{
}

WordForms::~WordForms() = default;

std::shared_ptr<WordForms> WordForms::systemDictionary()
{
    return std::make_shared<WordForms>(findRussianDictionary());
}

void WordForms::load() const
{
    if (m_loaded)
        return;
    m_loaded = true;
    if (!m_dictionary) {
        m_reason = QStringLiteral("словарь не установлен");
        return;
    }
    for (const QString &path : {m_dictionary->affixPath, m_dictionary->wordsPath}) {
        m_reason = unusableFile(path);
        if (!m_reason.isEmpty())
            return;
    }
    auto engine = std::make_unique<Engine>(QFile::encodeName(m_dictionary->affixPath),
                                           QFile::encodeName(m_dictionary->wordsPath));
    const char *name = engine->hunspell.get_dic_encoding();
    engine->encoding = converterName(name ? QByteArray(name) : QByteArray("ISO8859-1"));
    engine->utf8 = engine->encoding.compare("UTF-8", Qt::CaseInsensitive) == 0 ||
                   engine->encoding.compare("UTF8", Qt::CaseInsensitive) == 0;
    if (!engine->utf8 && !QStringDecoder(engine->encoding.constData()).isValid()) {
        m_reason = QStringLiteral("кодировка словаря %1 не поддерживается")
                       .arg(QString::fromLatin1(engine->encoding));
        return;
    }
    m_engine = std::move(engine);
}

bool WordForms::isAvailable() const
{
    QMutexLocker lock(&m_mutex);
    load();
    return m_engine != nullptr;
}

QString WordForms::unavailableReason() const
{
    QMutexLocker lock(&m_mutex);
    load();
    return m_reason;
}

QByteArray WordForms::wordEncoding() const
{
    QMutexLocker lock(&m_mutex);
    load();
    return m_engine ? m_engine->encoding : QByteArray();
}

QStringList WordForms::stems(const QString &word) const
{
    if (word.isEmpty() || word.size() > kMaxWordLength)
        return {};
    QMutexLocker lock(&m_mutex);
    load();
    if (!m_engine)
        return {};
    const std::optional<std::string> encoded = m_engine->encode(word);
    if (!encoded)
        return {};
    QStringList out;
    for (const std::string &stem : m_engine->hunspell.stem(*encoded)) {
        const QString s = m_engine->decode(stem);
        if (!s.isEmpty() && !out.contains(s))
            out << s;
    }
    return out;
}

// ---------------------------------------------------------------------------------------------

std::vector<TextWord> splitWords(QStringView text)
{
    std::vector<TextWord> words;
    int start = -1;
    const auto n = int(text.size());
    for (int i = 0; i < n;) {
        char32_t c = text[i].unicode();
        int width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
            width = 2;
        }
        const bool letter = QChar::isLetter(c);
        const bool mark = QChar::isMark(c);
        if (letter || (mark && start >= 0)) {
            if (start < 0)
                start = i;
        } else if (start >= 0) {
            words.push_back({start, i - start});
            start = -1;
        }
        i += width;
    }
    if (start >= 0)
        words.push_back({start, n - start});
    return words;
}

bool joinable(QStringView gap)
{
    if (gap.isEmpty())
        return false;
    return std::all_of(gap.begin(), gap.end(),
                       [](QChar c) { return c.isSpace() || isHyphen(c.unicode()); });
}

std::u16string foldWord(QStringView word)
{
    return foldCase(withoutStressMarks(word).toStdU16String());
}

// ---------------------------------------------------------------------------------------------

struct FormResolver::Index
{
    struct Rows
    {
        int exact = -1; // first headword written so
        int form = -1;  // first single-word headword that has this form
    };
    std::unordered_map<std::u16string, Rows> words;

    struct Phrase
    {
        int row = -1;
        std::vector<std::vector<std::u16string>> wordKeys; // the keys of each of its words
    };
    std::vector<Phrase> phrases; // in row order
    std::unordered_map<std::u16string, std::vector<std::uint32_t>> phrasesByFirstWord;
};

FormResolver::FormResolver(QStringList headwords, std::shared_ptr<const WordForms> forms)
    : m_headwords(std::move(headwords))
    , m_forms(forms ? std::move(forms) : std::make_shared<const WordForms>())
{
}

FormResolver::~FormResolver() = default;

WordKeys FormResolver::keysOf(QStringView word) const
{
    return keysOfSpelling(word, true);
}

WordKeys dictionaryKeys(const WordForms &forms, QStringView word, bool withPlainE)
{
    WordKeys out;
    out.word = withoutStressMarks(word);
    out.keys.push_back(foldCase(out.word.toStdU16String()));
    const auto addForms = [&](const QString &spelling) {
        for (const QString &form : forms.stems(spelling)) {
            std::u16string key = foldCase(form.toStdU16String());
            if (std::find(out.keys.begin(), out.keys.end(), key) != out.keys.end())
                continue;
            out.keys.push_back(std::move(key));
            out.forms << form;
        }
    };
    addForms(out.word);
    // Much of the dictionary is written without "ё": a typed "пчёлы" has no forms there, its
    // spelling with "е" gives "пчела". Only the user's words take that second spelling; the
    // headwords keep theirs, so "е" and "ё" stay apart between a typed word and a headword
    // ("ребенка" is not "Ребёнок").
    if (withPlainE && (out.word.contains(QChar(0x0451)) || out.word.contains(QChar(0x0401)))) {
        QString plain = out.word;
        plain.replace(QChar(0x0451), QChar(0x0435)).replace(QChar(0x0401), QChar(0x0415));
        addForms(plain);
    }
    return out;
}

WordKeys FormResolver::keysOfSpelling(QStringView word, bool withPlainE) const
{
    return dictionaryKeys(*m_forms, word, withPlainE);
}

void FormResolver::prepare() const
{
    std::call_once(m_built, [this] {
        QElapsedTimer timer;
        timer.start();
        auto index = std::make_unique<Index>();
        index->words.reserve(std::size_t(m_headwords.size()) * 5 / 4);
        for (int row = 0; row < m_headwords.size(); ++row) {
            const QString &headword = m_headwords.at(row);
            Index::Rows &exact = index->words[foldWord(headword)];
            if (exact.exact < 0)
                exact.exact = row;
            const std::vector<TextWord> parts = splitWords(headword);
            if (parts.size() == 1) {
                const WordKeys keys = keysOfSpelling(
                    QStringView(headword).mid(parts[0].start, parts[0].length), false);
                for (const std::u16string &key : keys.keys) {
                    Index::Rows &rows = index->words[key];
                    if (rows.form < 0)
                        rows.form = row;
                }
            } else if (parts.size() > 1) {
                Index::Phrase phrase;
                phrase.row = row;
                for (const TextWord &part : parts)
                    phrase.wordKeys.push_back(
                        keysOfSpelling(QStringView(headword).mid(part.start, part.length), false)
                            .keys);
                const auto id = std::uint32_t(index->phrases.size());
                for (const std::u16string &key : phrase.wordKeys.front())
                    index->phrasesByFirstWord[key].push_back(id);
                index->phrases.push_back(std::move(phrase));
            }
        }
        m_index = std::move(index);
        m_indexMs = double(timer.nsecsElapsed()) / 1e6;
        m_ready = true;
    });
}

bool FormResolver::isPrepared() const
{
    return m_ready;
}

double FormResolver::indexMilliseconds() const
{
    return m_ready ? m_indexMs : 0.0;
}

FormResolver::Match FormResolver::matchOf(int row, const QString &form) const
{
    return Match{row, m_headwords.at(row), form};
}

std::optional<FormResolver::TextMatch>
FormResolver::phraseAt(std::span<const WordKeys> words, const std::vector<bool> &joinableAfter,
                       std::size_t first, std::size_t exactWords) const
{
    const Index &index = *m_index;
    std::vector<std::uint32_t> candidates;
    for (const std::u16string &key : words[first].keys) {
        const auto it = index.phrasesByFirstWord.find(key);
        if (it != index.phrasesByFirstWord.end())
            candidates.insert(candidates.end(), it->second.begin(), it->second.end());
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());

    struct Best
    {
        std::size_t words = 0;
        bool asWritten = false;
        int row = -1;
        QStringList forms;
    } best;
    for (std::uint32_t id : candidates) {
        const Index::Phrase &phrase = index.phrases[id];
        const std::size_t n = phrase.wordKeys.size();
        if ((exactWords && n != exactWords) || first + n > words.size() || n < best.words)
            continue;
        bool matches = true;
        bool asWritten = true;
        QStringList forms;
        for (std::size_t j = 0; j < n && matches; ++j) {
            if (j > 0 && !(first + j - 1 < joinableAfter.size() && joinableAfter[first + j - 1]))
                matches = false;
            const WordKeys &word = words[first + j];
            const std::vector<std::u16string> &wanted = phrase.wordKeys[j];
            // The first of the text word's keys that the headword's word shares.
            std::size_t shared = word.keys.size();
            for (std::size_t k = 0; k < word.keys.size() && shared == word.keys.size(); ++k)
                if (std::find(wanted.begin(), wanted.end(), word.keys[k]) != wanted.end())
                    shared = k;
            if (shared == word.keys.size()) {
                matches = false;
                break;
            }
            asWritten = asWritten && word.keys[0] == wanted[0];
            forms << (shared == 0 ? word.word : word.forms.at(qsizetype(shared) - 1));
        }
        if (!matches)
            continue;
        const bool better = n > best.words || (asWritten && !best.asWritten);
        if (better) // candidates come in row order, so a tie keeps the first
            best = Best{n, asWritten, phrase.row, forms};
    }
    if (best.row < 0)
        return std::nullopt;
    return TextMatch{matchOf(best.row, best.asWritten ? QString() : best.forms.join(u' ')),
                     best.words};
}

std::optional<FormResolver::TextMatch> FormResolver::matchAt(std::span<const WordKeys> words,
                                                             const std::vector<bool> &joinableAfter,
                                                             std::size_t first) const
{
    if (first >= words.size() || words[first].keys.empty())
        return std::nullopt;
    prepare();
    if (auto phrase = phraseAt(words, joinableAfter, first, 0))
        return phrase;
    const Index &index = *m_index;
    const WordKeys &word = words[first];
    const auto written = index.words.find(word.keys[0]);
    if (written != index.words.end() && written->second.exact >= 0)
        return TextMatch{matchOf(written->second.exact, QString()), 1};
    // Each form in the dictionary's order: a headword written so, else the first headword that
    // has this form too ("змеи" → "змея": Змея before Змей, whose forms include "змея").
    for (std::size_t k = 0; k < word.keys.size(); ++k) {
        const auto it = index.words.find(word.keys[k]);
        if (it == index.words.end())
            continue;
        const int row = it->second.exact >= 0 ? it->second.exact : it->second.form;
        if (row >= 0)
            return TextMatch{matchOf(row, k == 0 ? word.word : word.forms.at(qsizetype(k) - 1)), 1};
    }
    return std::nullopt;
}

std::optional<FormResolver::Match> FormResolver::resolve(const QString &typed) const
{
    const QString text = typed.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    prepare();
    const auto written = m_index->words.find(foldWord(text));
    if (written != m_index->words.end() && written->second.exact >= 0)
        return matchOf(written->second.exact, QString());

    const std::vector<TextWord> parts = splitWords(text);
    if (parts.empty())
        return std::nullopt;
    std::vector<WordKeys> keys;
    std::vector<bool> joins;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        keys.push_back(keysOf(QStringView(text).mid(parts[i].start, parts[i].length)));
        if (i > 0) {
            const int gapStart = parts[i - 1].start + parts[i - 1].length;
            joins.push_back(joinable(QStringView(text).mid(gapStart, parts[i].start - gapStart)));
        }
    }
    std::optional<TextMatch> found;
    if (parts.size() == 1) {
        found = matchAt(keys, joins, 0);
    } else {
        found = phraseAt(keys, joins, 0, parts.size());
    }
    if (!found)
        return std::nullopt;
    return found->match;
}

} // namespace kelmor::books
