// bench_peer_library DIR: writes the generated library of bench/books (20 books × 25,000
// headwords, articles "Толкование.") as DIR/share/ZEL Programming/ZEL Kelmor/3.1/Books/*.book,
// with one more headword, "Аист", in every book, and the same books as StarDict dictionaries
// (DIR/stardict/bookNN/bookNN.{ifo,idx,dict}) read back from the written books. Prints the
// word found in every book, a word found in none and a word found only through its dictionary
// form ("аистов" → Аист).

#include "bench/books/generated_library.h"
#include "books/engine/jet.h"
#include "books/engine/textcodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace kelmor;

namespace {

struct Entry
{
    std::string word; // UTF-8
    std::string article;
};

// StarDict's index order: ASCII letters ignoring case, then bytes.
bool stardictBefore(const Entry &a, const Entry &b)
{
    const auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    const std::size_t n = std::min(a.word.size(), b.word.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int x = lower((unsigned char)a.word[i]), y = lower((unsigned char)b.word[i]);
        if (x != y)
            return x < y;
    }
    if (a.word.size() != b.word.size())
        return a.word.size() < b.word.size();
    return a.word < b.word;
}

void put32be(std::string &out, std::uint32_t v)
{
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(char((v >> s) & 0xFF));
}

bool writeFile(const QString &path, const std::string &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

// The book's headwords and articles as StarDict files in folder.
bool writeStardict(const QString &bookPath, const QString &folder, const QString &name)
{
    const auto db = books::Database::open(QFile::encodeName(bookPath).toStdString());
    const auto table = db->openTable("Book");
    const auto config = db->openTable("Config");
    config->moveFirst();
    const std::string title = books::utf16ToUtf8(config->text("TolkName").value_or(u""));
    std::vector<Entry> entries;
    for (table->moveFirst(); !table->eof(); table->moveNext())
        entries.push_back(
            {books::utf16ToUtf8(table->text("List").value_or(u"")),
             books::utf16ToUtf8(books::DecompressText(table->text("Text").value_or(u"")))});
    std::stable_sort(entries.begin(), entries.end(), stardictBefore);
    std::string idx, dict;
    for (const Entry &e : entries) {
        idx += e.word;
        idx.push_back('\0');
        put32be(idx, std::uint32_t(dict.size()));
        put32be(idx, std::uint32_t(e.article.size()));
        dict += e.article;
    }
    const std::string ifo = "StarDict's dict ifo file\nversion=2.4.2\nbookname=" + title +
                            "\nwordcount=" + std::to_string(entries.size()) +
                            "\nidxfilesize=" + std::to_string(idx.size()) +
                            "\nsametypesequence=m\n";
    QDir().mkpath(folder);
    const QString base = folder + QLatin1Char('/') + name;
    return writeFile(base + ".ifo", ifo) && writeFile(base + ".idx", idx) &&
           writeFile(base + ".dict", dict);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_peer_library DIR\n");
        return 2;
    }
    const QString root = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    const QString books = root + "/share/ZEL Programming/ZEL Kelmor/3.1/Books";
    QDir().mkpath(books);
    bench::writeLibrary(books, {}, {QStringLiteral("Аист")});
    for (const QString &file : QDir(books).entryList({"*.book"}, QDir::Files, QDir::Name)) {
        const QString name = file.chopped(5);
        if (!writeStardict(books + '/' + file, root + "/stardict/" + name, name)) {
            std::fprintf(stderr, "cannot write the StarDict files of %s\n", qPrintable(file));
            return 1;
        }
    }
    std::printf("Аист\nНетслова\nаистов\n");
    return 0;
}
