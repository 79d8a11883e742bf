#include "books/roots_dictionary.h"

#include "books/form_cache.h"
#include "books/headword_cache.h"
#include "books/headword_index.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cstdint>

#include <sys/mman.h>
#include <unistd.h>

namespace kelmor::books {

namespace {

// Neither a dictionary's files nor the roots are larger (the Russian word list is 3.4 MB).
constexpr qint64 kMaxBytes = 64 * 1024 * 1024;

std::optional<QByteArray> readSmallFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxBytes)
        return std::nullopt;
    QByteArray bytes = file.read(kMaxBytes + 1);
    if (bytes.size() > kMaxBytes)
        return std::nullopt;
    return bytes;
}

// The lines of a text without their line breaks (a last line without one included).
std::vector<QByteArrayView> linesOf(QByteArrayView text)
{
    std::vector<QByteArrayView> lines;
    while (!text.isEmpty()) {
        qsizetype end = text.indexOf('\n');
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.first(end);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.push_back(line);
        text = text.sliced(std::min(end + 1, text.size()));
    }
    return lines;
}

// True when an affix file makes forms that are not one of its word list's lines as written:
// compound words, output conversion, characters ignored in the words.
bool formsBeyondTheLines(QByteArrayView affix)
{
    for (QByteArrayView line : linesOf(affix)) {
        line = line.trimmed();
        const qsizetype space = line.indexOf(' ');
        const QByteArrayView directive = space < 0 ? line : line.first(space);
        if (directive.startsWith("COMPOUND") || directive.startsWith("CHECKCOMPOUND") ||
            directive == "ONLYINCOMPOUND" || directive == "OCONV" || directive == "IGNORE")
            return true;
    }
    return false;
}

} // namespace

QString rootsCachePath()
{
    return headwordCacheFolder() + QStringLiteral("/roots");
}

std::optional<std::string> rootsOf(const WordForms &forms,
                                   const std::vector<const FormIndex *> &indexes)
{
    const QByteArray encoding = forms.wordEncoding();
    if (encoding.isEmpty() || !forms.dictionary())
        return std::nullopt;
    const std::optional<QByteArray> affix = readSmallFile(forms.dictionary()->affixPath);
    if (!affix || formsBeyondTheLines(*affix))
        return std::nullopt;
    const std::optional<QByteArray> words = readSmallFile(forms.dictionary()->wordsPath);
    if (!words)
        return std::nullopt;

    // The word of each line, folded as the forms indexes fold their keys, in key order. A line
    // whose word is written with escapes or followed by fields is always kept.
    const std::vector<QByteArrayView> lines = linesOf(*words);
    std::vector<bool> kept(lines.size(), false);
    std::vector<std::pair<std::u16string, std::uint32_t>> roots;
    roots.reserve(lines.size());
    QStringDecoder decoder(encoding.constData());
    for (std::size_t i = 1; i < lines.size(); ++i) { // the first line is the count
        const QByteArrayView line = lines[i];
        if (line.isEmpty())
            continue;
        if (line.contains(' ') || line.contains('\t') || line.contains('\\')) {
            kept[i] = true;
            continue;
        }
        const qsizetype slash = line.indexOf('/');
        const QString word = decoder.decode(slash < 0 ? line : line.first(slash));
        roots.emplace_back(foldWord(word), std::uint32_t(i));
    }
    if (decoder.hasError())
        return std::nullopt;
    std::sort(roots.begin(), roots.end());

    // Each index's keys come in the same order: one walk along the roots per index.
    try {
        for (const FormIndex *index : indexes) {
            std::size_t at = 0;
            index->forEachKey([&](std::u16string_view key) {
                while (at < roots.size() && std::u16string_view(roots[at].first) < key)
                    ++at;
                for (std::size_t k = at; k < roots.size() && roots[k].first == key; ++k)
                    kept[roots[k].second] = true;
            });
        }
    } catch (const HeadwordIndexError &) {
        return std::nullopt;
    }

    std::string out;
    std::size_t count = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (!kept[i])
            continue;
        out.append(lines[i].data(), std::size_t(lines[i].size()));
        out += '\n';
        ++count;
    }
    return std::to_string(count) + '\n' + out;
}

bool writeRoots(const std::vector<std::pair<QString, const FormIndex *>> &indexes,
                const WordForms &forms)
{
    if (!forms.dictionary() || !forms.partOf().isEmpty())
        return false;
    RootsFile file;
    file.dictionaryKey = dictionaryCacheKey(forms).toStdString();
    std::vector<const FormIndex *> of;
    for (const auto &[key, index] : indexes) {
        file.formKeys.push_back(key.toStdString());
        of.push_back(index);
    }
    std::sort(file.formKeys.begin(), file.formKeys.end());
    file.formKeys.erase(std::unique(file.formKeys.begin(), file.formKeys.end()),
                        file.formKeys.end());
    // Already taken for exactly these: nothing to write.
    if (const std::optional<QByteArray> stored = readSmallFile(rootsCachePath())) {
        const std::optional<RootsFile> old = decodeRootsFile(std::string_view(*stored));
        if (old && old->dictionaryKey == file.dictionaryKey && old->formKeys == file.formKeys)
            return true;
    }
    std::optional<std::string> words = rootsOf(forms, of);
    if (!words)
        return false;
    file.words = std::move(*words);
    return writeCacheFile(rootsCachePath(), encodeRootsFile(file));
}

RootsDictionary::RootsDictionary(int fd, std::unique_ptr<WordForms> forms)
    : m_fd(fd)
    , m_forms(std::move(forms))
{
}

RootsDictionary::~RootsDictionary()
{
    m_forms.reset(); // Hunspell, if loaded, has read the words and closed its own descriptor
    ::close(m_fd);
}

std::unique_ptr<RootsDictionary> RootsDictionary::open(const std::vector<QString> &formKeys,
                                                       const WordForms &whole)
{
    if (!whole.dictionary() || !whole.partOf().isEmpty())
        return nullptr;
    const std::optional<QByteArray> stored = readSmallFile(rootsCachePath());
    if (!stored)
        return nullptr;
    const std::optional<RootsFile> file = decodeRootsFile(std::string_view(*stored));
    const QString dictionaryKey = dictionaryCacheKey(whole);
    if (!file || file->dictionaryKey != dictionaryKey.toStdString())
        return nullptr;
    for (const QString &key : formKeys)
        if (!std::binary_search(file->formKeys.begin(), file->formKeys.end(), key.toStdString()))
            return nullptr;

    // Hunspell reads a word list by its path: the roots are handed over as a file in memory,
    // the very bytes checked here.
    const int fd = ::memfd_create("kelmor-roots", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    for (std::size_t done = 0; done < file->words.size();) {
        const ssize_t n = ::write(fd, file->words.data() + done, file->words.size() - done);
        if (n <= 0) {
            ::close(fd);
            return nullptr;
        }
        done += std::size_t(n);
    }
    auto forms =
        std::make_unique<WordForms>(HunspellDictionary{whole.dictionary()->affixPath,
                                                       QStringLiteral("/proc/self/fd/%1").arg(fd)},
                                    dictionaryKey);
    return std::unique_ptr<RootsDictionary>(new RootsDictionary(fd, std::move(forms)));
}

FormIndexAnswer resolveThroughRoots(const Catalogue &catalogue, const WordForms &whole,
                                    const QString &typed)
{
    const std::optional<std::vector<std::pair<int, QString>>> books =
        enabledFormKeys(catalogue, whole);
    if (!books)
        return {};
    std::vector<QString> keys;
    for (const auto &[n, key] : *books)
        keys.push_back(key);
    const std::unique_ptr<RootsDictionary> roots = RootsDictionary::open(keys, whole);
    if (!roots)
        return {};
    return FormIndexes(catalogue, roots->forms(), false).resolve(typed);
}

} // namespace kelmor::books
