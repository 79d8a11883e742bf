#include "viewer/lookup_command.h"

#include "books/catalogue.h"
#include "books/form_cache.h"
#include "books/headword_cache.h"
#include "books/roots_dictionary.h"
#include "books/word_list_forms.h"
#include "platform/cache_folder.h"
#include "platform/detached_work.h"
#include "platform/settings.h"
#include "platform/terminal_io.h"
#include "viewer/catalogue_books.h"

#include <QDir>
#include <QFile>
#include <QLockFile>

#include <cstdio>
#include <unistd.h>

namespace kelmor::viewer {

namespace {

using platform::writeTo;

QByteArray sgr(const CharFormat &f)
{
    QByteArray out = "\x1b[0";
    if (f.bold)
        out += ";1";
    if (f.italic)
        out += ";3";
    if (f.underline)
        out += ";4";
    if (f.colorKind == CharFormat::Color::Rgb && f.rgb != 0)
        out += ";38;2;" + QByteArray::number((f.rgb >> 16) & 0xFF) + ";" +
               QByteArray::number((f.rgb >> 8) & 0xFF) + ";" + QByteArray::number(f.rgb & 0xFF);
    return out + "m";
}

// The system's dictionary, kept for the life of the process and never destroyed: freeing
// Hunspell's hundreds of thousands of small allocations at exit takes longer than the lookup
// itself (about 60 ms with the Russian dictionary), and the command ends right after. It stays
// reachable from here, so leak checkers do not count it.
std::shared_ptr<books::WordForms> commandDictionary()
{
    union Kept {
        Kept()
            : forms(books::WordForms::systemDictionary())
        {
        }
        ~Kept() {} // forms is not destroyed
        std::shared_ptr<books::WordForms> forms;
    };
    static Kept kept;
    return kept.forms;
}

} // namespace

QByteArray terminalText(std::u16string_view document, std::size_t wordLength,
                        std::span<const HeadingStyle> headings, bool ansi)
{
    return terminalTextOfRuns(document, formatInterpretation(document, wordLength, headings), ansi);
}

QByteArray terminalTextOfRuns(std::u16string_view document, std::span<const FormatRun> runs,
                              bool ansi)
{
    QByteArray out;
    bool styled = false;
    for (const FormatRun &run : runs) {
        if (run.format.hidden() || run.format.symbol)
            continue; // markers and glyphs
        QString text;
        for (int i = run.start; i < run.start + run.length; ++i) {
            const char16_t ch = document[std::size_t(i)];
            if (ch == u'\r') {
                text += u'\n';
                if (std::size_t(i) + 1 < document.size() && document[std::size_t(i) + 1] == u'\n')
                    ++i; // CR LF
                // A CR LF split over two runs: the LF starts the next run and is skipped there.
            } else if (ch == u'\n') {
                if (i > 0 && document[std::size_t(i) - 1] == u'\r')
                    continue;
                text += u'\n';
            } else if (i == 0 && ch == u' ') {
                // The space before the heading word starts no terminal line.
            } else {
                text += QChar(ch);
            }
        }
        if (text.isEmpty())
            continue;
        const bool plain = run.format == CharFormat{};
        if (ansi && (!plain || styled)) {
            out += plain ? QByteArray("\x1b[0m") : sgr(run.format);
            styled = !plain;
        }
        out += text.toUtf8();
    }
    if (ansi && styled)
        out += "\x1b[0m";
    return out;
}

namespace {

// The answer for a word from the loaded catalogue, on standard output and error; the exit status.
int answer(const books::Catalogue &catalogue, const QString &word, bool raw)
{
    const std::vector<InterpretationBook> books = interpretationBooks(catalogue);
    std::u16string w = word.toStdU16String();
    std::optional<std::u16string> document = assembleInterpretation(w, books);
    if (!document) {
        // Not a headword as typed: the headword of its dictionary form ("змеи" → Змея).
        // A single word through the books' forms indexes, its forms found among the library's
        // roots (only the typed word is looked up, in a dictionary of the words that can
        // answer), else in the whole dictionary, which then stores the roots; a phrase, or
        // books without indexes, through the whole word list.
        const std::shared_ptr<books::WordForms> forms = commandDictionary();
        books::FormIndexAnswer quick = books::resolveThroughRoots(catalogue, *forms, word);
        if (!quick.answered) {
            books::FormIndexes indexes(catalogue, *forms);
            quick = indexes.resolve(word);
            if (quick.answered)
                indexes.storeRoots();
        }
        const std::optional<books::FormResolver::Match> match =
            quick.answered ? std::move(quick.match) : formResolver(catalogue, forms)->resolve(word);
        if (match && match->headword != word) {
            w = match->headword.toStdU16String();
            document = assembleInterpretation(w, books);
            if (document)
                writeTo(stderr, (books::formCaption(word, match->headword) + u'\n').toUtf8());
        }
    }
    if (!document) {
        writeTo(stderr,
                QStringLiteral("Извините, но толкование по данному слову не найдено.\n").toUtf8());
        return 1;
    }
    if (raw) {
        writeTo(stdout, QString::fromStdU16String(*document).toUtf8());
        return 0;
    }
    const std::vector<HeadingStyle> headings = headingStyles(books);
    writeTo(stdout, terminalText(*document, w.size(), headings, isatty(STDOUT_FILENO) == 1));
    return 0;
}

// The books to index after an answer: those read from their tables, and every book (for the
// forms of their headwords and the library's roots).
struct PendingIndexing
{
    std::vector<std::pair<QString, QString>> unindexed;
    std::vector<std::pair<QString, QString>> all;
};

std::optional<PendingIndexing> pendingIndexing(const books::Catalogue &catalogue)
{
    if (catalogue.unindexedBooks().empty())
        return std::nullopt;
    PendingIndexing pending{catalogue.unindexedBooks(), {}};
    for (int n = 0; n < catalogue.count(); ++n) {
        const QString &path = catalogue.book(n).path;
        if (catalogue.book(n).recordCount > 0)
            if (const QString key = platform::bookCacheKey(path); !key.isEmpty())
                pending.all.emplace_back(path, key);
    }
    return pending;
}

// Books read from their tables (new or changed since they were last indexed) are indexed after
// the answer by a process of its own, with the forms of every book's headwords and the library's
// roots, so that the answer does not wait for them and the next lookup reads the indexes. One
// such process at a time: a second one finds the lock taken and leaves the work to the first.
// Started once the catalogue is gone, so that neither process copies the other's pages of it.
void indexInBackground(const PendingIndexing &pending)
{
    platform::runDetached([&pending] {
        const QString folder = books::headwordCacheFolder();
        if (!QDir().mkpath(folder))
            return;
        QLockFile lock(folder + QStringLiteral("/indexing.lock"));
        if (!lock.tryLock(0))
            return;
        books::writeHeadwordIndexes(pending.unindexed);
        books::writeFormIndexes(pending.all, *commandDictionary());
    });
}

} // namespace

int runLookupCommand(const QStringList &args)
{
    bool raw = false;
    QStringList words;
    for (const QString &arg : args) {
        if (arg == QLatin1String("--raw"))
            raw = true;
        else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            writeTo(stdout, "Использование: kelmor lookup [--raw] СЛОВО\n");
            return 0;
        } else
            words << arg;
    }
    const QString word = words.join(u' ');
    if (word.isEmpty()) {
        writeTo(stderr, "Использование: kelmor lookup [--raw] СЛОВО\n");
        return 2;
    }

    int status = 0;
    std::optional<PendingIndexing> pending;
    {
        books::Catalogue catalogue;
        catalogue.setIndexingOnLoad(false);
        if ((status = loadCommandCatalogue(catalogue)) != 0)
            return status;
        status = answer(catalogue, word, raw);
        pending = pendingIndexing(catalogue);
    }
    if (pending)
        indexInBackground(*pending);
    return status;
}

int loadCommandCatalogue(books::Catalogue &catalogue, const QString &command)
{
    const QString booksPath = platform::BooksPath();
    const platform::SettingsStore settings;
    catalogue.setIcons(false);
    const books::Catalogue::LoadResult loaded =
        catalogue.load(booksPath, [&settings](const QString &path) -> std::optional<int> {
            return settings.readInt(platform::BooksSection, path, 1);
        });
    // Books that carry the marker but could not be opened: said before anything else, so that
    // a missing book's interpretation is not taken for the whole answer.
    for (const books::Catalogue::SkippedBook &skipped : loaded.skipped)
        writeTo(stderr, (command + QStringLiteral(": сонник «") +
                         QDir(booksPath).filePath(skipped.fileName) +
                         QStringLiteral("» пропущен: ") + skipped.reason + u'\n')
                            .toUtf8());
    switch (loaded.status) {
    case books::Catalogue::Status::Ok:
        break;
    case books::Catalogue::Status::NoBookFiles:
        writeTo(stderr, QStringLiteral("В папке данных программы не найдено ни одного сонника! "
                                       "Переустановите программу или добавьте файлы сонников!\n")
                            .toUtf8());
        return 2;
    case books::Catalogue::Status::NoCompatibleBooks:
        writeTo(stderr,
                QStringLiteral("Среди файлов программы нет сонников совместимых с текущей "
                               "версией! Переустановите программу или добавьте файлы сонников!\n")
                    .toUtf8());
        return 2;
    case books::Catalogue::Status::MissingFolder:
        writeTo(
            stderr,
            (QStringLiteral("Невозможно найти папку с данными:\n") + booksPath + u'\n').toUtf8());
        return 2;
    }
    return 0;
}

} // namespace kelmor::viewer
