#pragma once

// The generated benchmark library: 20 books of 25,000 headwords each, about 60 % of every
// book's headwords shared with other books (about 230,000 distinct), one in ten of two words.
// Written once per process into a temporary folder; its articles are one word, or (for the
// full-text search) sentences of the sample books.

#include "books/engine/book_writer.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <malloc.h>
#include <numeric>
#include <random>

namespace kelmor::bench {

using books::BookSource;
using books::writeBookFile;

constexpr int kBooks = 20;
constexpr int kWordsPerBook = 25000;
constexpr double kShared = 0.6;

inline std::u16string u16(const QString &s)
{
    return std::u16string(reinterpret_cast<const char16_t *>(s.utf16()), size_t(s.size()));
}

// A Russian-looking word of 2 to 4 syllables; the first letter capitalised.
inline QString makeWord(std::mt19937 &rng)
{
    static const QString consonants = QStringLiteral("бвгджзклмнпрстфхцчшщ");
    static const QString vowels = QStringLiteral("аеёиоуыэюя");
    const int syllables = std::uniform_int_distribution<int>(2, 4)(rng);
    QString w;
    for (int i = 0; i < syllables; ++i) {
        w += consonants.at(std::uniform_int_distribution<int>(0, int(consonants.size()) - 1)(rng));
        w += vowels.at(std::uniform_int_distribution<int>(0, int(vowels.size()) - 1)(rng));
    }
    if (std::uniform_int_distribution<int>(0, 9)(rng) == 0)
        w += QStringLiteral(" ") + makeWord(rng).toLower();
    w[0] = w[0].toUpper();
    return w;
}

// Sentences for articles: one a line of the given text files (the bundled sample books'
// sources), without their headword, link and heading lines.
inline QStringList articleSentences(const QStringList &sourceFiles)
{
    QStringList sentences;
    for (const QString &name : sourceFiles) {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            const QString text = line.trimmed();
            static const QRegularExpression header(
                QStringLiteral("^(ToolName|TolkName|Color|Icon):"));
            if (text.isEmpty() || text.startsWith(u'=') || text.startsWith(u'@') ||
                text.startsWith(u'#') || header.match(text).hasMatch())
                continue;
            sentences << text;
        }
    }
    return sentences;
}

// Writes the library into dir. With sentences, every article is its headword and two to four
// sentences drawn from them (about 250 characters, words in all their forms); without, every
// article is "Толкование.". The headwords are the same either way, and every book also has the
// headwords `everywhere` (none unless given).
inline void writeLibrary(const QString &dir, const QStringList &sentences,
                         const QStringList &everywhere = {})
{
    std::mt19937 rng(7);
    std::mt19937 texts(11); // apart, so that the headwords do not depend on the texts
    const int sharedPerBook = int(kWordsPerBook * kShared);
    // Shared headwords come from a pool about twice a book's share, so most appear in
    // several books.
    QSet<QString> seen;
    QStringList pool;
    while (pool.size() < 2 * sharedPerBook) {
        const QString w = makeWord(rng);
        if (!seen.contains(w)) {
            seen.insert(w);
            pool << w;
        }
    }
    for (int b = 0; b < kBooks; ++b) {
        BookSource source;
        source.config.toolName = u16(QStringLiteral("Сонник %1").arg(b + 1));
        source.config.tolkName = source.config.toolName;
        QStringList words;
        std::vector<int> idx(size_t(pool.size()));
        std::iota(idx.begin(), idx.end(), 0);
        std::shuffle(idx.begin(), idx.end(), rng);
        for (int i = 0; i < sharedPerBook; ++i)
            words << pool.at(idx[size_t(i)]);
        while (words.size() < kWordsPerBook) {
            const QString w = makeWord(rng);
            if (!seen.contains(w)) {
                seen.insert(w);
                words << w;
            }
        }
        words << everywhere;
        for (const QString &w : words) {
            QString text = QStringLiteral("Толкование.");
            if (!sentences.isEmpty()) {
                text = w + QStringLiteral(" во сне.");
                const int n = std::uniform_int_distribution<int>(2, 4)(texts);
                for (int i = 0; i < n; ++i)
                    text +=
                        QStringLiteral("\r\n") + sentences.at(std::uniform_int_distribution<int>(
                                                     0, int(sentences.size()) - 1)(texts));
            }
            source.records.push_back({u16(w), u16(text), {}});
        }
        writeBookFile(source,
                      QDir(dir)
                          .filePath(QStringLiteral("book%1.book").arg(b, 2, 10, QLatin1Char('0')))
                          .toStdString());
    }
}

// The generated library, written once per process.
inline const QString &library()
{
    static QTemporaryDir dir;
    static const bool written = (writeLibrary(dir.path(), {}), true);
    (void)written;
    static const QString path = dir.path();
    return path;
}

// The same headwords with articles of their own (see writeLibrary), written once per process.
inline const QString &libraryWithArticles(const QStringList &sourceFiles)
{
    static QTemporaryDir dir;
    static const bool written = (writeLibrary(dir.path(), articleSentences(sourceFiles)), true);
    (void)written;
    static const QString path = dir.path();
    return path;
}

// Heap bytes in use (small blocks and mmapped large ones), in megabytes.
inline double heapMegabytes()
{
    const struct mallinfo2 mi = mallinfo2();
    return double(mi.uordblks + mi.hblkhd) / (1024.0 * 1024.0);
}

} // namespace kelmor::bench
