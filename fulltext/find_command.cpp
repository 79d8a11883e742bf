#include "fulltext/find_command.h"

#include "books/catalogue.h"
#include "books/word_forms.h"
#include "fulltext/fulltext_index.h"
#include "fulltext/fulltext_search.h"
#include "fulltext/sqlite_connection.h"
#include "platform/cache_folder.h"
#include "platform/terminal_io.h"
#include "viewer/lookup_command.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <unistd.h>

namespace kelmor::fulltext {

namespace {

constexpr int kDefaultLimit = 20;
constexpr int kMaxLimit = 10000;

const char *const kUsage =
    "Использование: kelmor find СЛОВА… [--book СОННИК] [--limit N] [--json]\n"
    "  Статьи включённых сонников, в тексте которых есть все слова в любой форме,\n"
    "  лучшие первыми; слова в кавычках ищутся как фраза: kelmor find '\"чистая вода\"'\n"
    "  --book   искать только в этом соннике (название или имя файла; можно повторить)\n"
    "  --limit  сколько статей вывести (по умолчанию 20)\n"
    "  --json   массив объектов с ключами headword, book и snippet\n";

using platform::writeTo;

void fail(const QString &message)
{
    writeTo(stderr, (QStringLiteral("kelmor find: ") + message + u'\n').toUtf8());
}

int usageError(const QString &message)
{
    fail(message);
    writeTo(stderr, kUsage);
    return 2;
}

bool namesBook(const books::BookEntry &book, const QString &name)
{
    if (book.toolName.compare(name, Qt::CaseInsensitive) == 0 ||
        book.fileName.compare(name, Qt::CaseInsensitive) == 0)
        return true;
    const QString suffix = QStringLiteral(".book");
    return book.fileName.endsWith(suffix, Qt::CaseInsensitive) &&
           book.fileName.chopped(suffix.size()).compare(name, Qt::CaseInsensitive) == 0;
}

struct Selected
{
    QString path;
    QString title;
};

// Indexes the selected books the cache has no index of; the index of books no longer in the
// folder (or changed) goes. Throws SqliteError.
void bringUpToDate(FulltextIndex &index, const books::Catalogue &catalogue,
                   const std::vector<Selected> &selected)
{
    QStringList keys;
    for (const books::BookEntry &book : catalogue.books())
        if (const QString key = platform::bookCacheKey(book.path); !key.isEmpty())
            keys << key;
    index.dropBooksExcept(keys);
    const bool terminal = isatty(STDERR_FILENO) == 1;
    for (const Selected &book : selected) {
        const QString key = platform::bookCacheKey(book.path);
        if (key.isEmpty() || index.isIndexed(key))
            continue;
        FulltextIndex::Progress progress;
        if (terminal) {
            progress = [&book](qint64 done, qint64 total) {
                writeTo(stderr, QStringLiteral("\rkelmor find: индексирую «%1»: %2 из %3 статей")
                                    .arg(book.title)
                                    .arg(done)
                                    .arg(total)
                                    .toUtf8());
                return true;
            };
        }
        const FulltextIndex::IndexReport report =
            index.indexBook(book.path, key, book.title, progress);
        if (terminal)
            writeTo(stderr, "\r\x1b[K");
        if (report.outcome == FulltextIndex::Outcome::Failed)
            fail(
                QStringLiteral("сонник «%1» не проиндексирован: %2").arg(book.title, report.error));
        else if (report.outcome == FulltextIndex::Outcome::Locked)
            fail(QStringLiteral("сонник «%1» не проиндексирован: кэш поиска занят другой "
                                "программой")
                     .arg(book.title));
    }
}

} // namespace

int runFindCommand(const QStringList &args)
{
    QStringList words;
    QStringList bookNames;
    int limit = kDefaultLimit;
    bool json = false;
    bool optionsEnd = false;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (optionsEnd || !arg.startsWith(QLatin1String("-")) || arg == QLatin1String("-")) {
            words << arg;
            continue;
        }
        const auto valueOf = [&](const QString &option, QString &value) {
            if (arg == option) {
                if (i + 1 >= args.size())
                    return false;
                value = args[++i];
                return true;
            }
            value = arg.mid(option.size() + 1);
            return true;
        };
        if (arg == QLatin1String("--")) {
            optionsEnd = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            writeTo(stdout, kUsage);
            return 0;
        } else if (arg == QLatin1String("--json")) {
            json = true;
        } else if (arg == QLatin1String("--book") || arg.startsWith(QLatin1String("--book="))) {
            QString name;
            if (!valueOf(QStringLiteral("--book"), name) || name.trimmed().isEmpty())
                return usageError(QStringLiteral("после --book нужно название сонника"));
            bookNames << name.trimmed();
        } else if (arg == QLatin1String("--limit") || arg.startsWith(QLatin1String("--limit="))) {
            QString value;
            bool ok = false;
            if (valueOf(QStringLiteral("--limit"), value))
                limit = value.toInt(&ok);
            if (!ok || limit < 1 || limit > kMaxLimit)
                return usageError(QStringLiteral("--limit: нужно число от 1 до %1").arg(kMaxLimit));
        } else if (arg.startsWith(QLatin1String("--"))) {
            return usageError(QStringLiteral("неизвестный параметр \"%1\"").arg(arg));
        } else {
            words << arg; // "-змея": a word after all
        }
    }
    const QString text = words.join(u' ');
    const FulltextQuery query = parseFulltextQuery(text);
    if (query.isEmpty())
        return usageError(text.trimmed().isEmpty()
                              ? QStringLiteral("не заданы слова для поиска")
                              : QStringLiteral("в запросе нет ни одного слова"));

    books::Catalogue catalogue;
    if (const int status = viewer::loadCommandCatalogue(catalogue, QStringLiteral("kelmor find")))
        return status;
    std::vector<Selected> selected;
    std::vector<BookRef> refs;
    for (int n = 0; n < catalogue.count(); ++n) {
        const books::BookEntry &book = catalogue.book(n);
        const bool wanted =
            bookNames.isEmpty()
                ? catalogue.isEnabled(n)
                : std::any_of(bookNames.cbegin(), bookNames.cend(),
                              [&book](const QString &name) { return namesBook(book, name); });
        if (wanted)
            selected.push_back({book.path, book.toolName});
    }
    for (const QString &name : std::as_const(bookNames)) {
        const bool known =
            std::any_of(catalogue.books().cbegin(), catalogue.books().cend(),
                        [&name](const books::BookEntry &b) { return namesBook(b, name); });
        if (!known) {
            QStringList names;
            for (const books::BookEntry &b : catalogue.books())
                names << QStringLiteral("«%1» (%2)").arg(b.toolName, b.fileName);
            return usageError(QStringLiteral("нет сонника «%1»; есть: %2")
                                  .arg(name, names.join(QStringLiteral(", "))));
        }
    }
    if (selected.empty()) {
        fail(QStringLiteral("все сонники выключены: включите их в программе или назовите с "
                            "--book"));
        return 2;
    }

    FulltextIndex::Options options;
    options.file = FulltextSearch::defaultCacheFile();
    options.forms = books::WordForms::systemDictionary();
    FulltextResult result;
    for (int attempt = 0;; ++attempt) {
        const std::shared_ptr<FulltextIndex> index = FulltextIndex::open(options);
        if (!index->note().isEmpty())
            fail(index->note());
        try {
            bringUpToDate(*index, catalogue, selected);
            refs.clear();
            for (const Selected &book : selected)
                refs.push_back({platform::bookCacheKey(book.path), book.title});
            result = index->search(query, refs, limit);
            break;
        } catch (const SqliteError &e) {
            if (!e.isDamage() || attempt > 0) {
                fail(QStringLiteral("кэш поиска «%1»: %2")
                         .arg(index->file(), QString::fromUtf8(e.what())));
                return 2;
            }
            options.rebuild = true; // damaged while in use: once more, from scratch
        }
    }

    if (json) {
        QJsonArray rows;
        for (const FulltextHit &hit : result.hits)
            rows.append(QJsonObject{{QStringLiteral("headword"), hit.headword},
                                    {QStringLiteral("book"), refs[std::size_t(hit.book)].title},
                                    {QStringLiteral("snippet"), hit.snippetWith(u"[", u"]")}});
        writeTo(stdout, QJsonDocument(rows).toJson(QJsonDocument::Indented));
    } else {
        const bool terminal = isatty(STDOUT_FILENO) == 1;
        QByteArray out;
        for (const FulltextHit &hit : result.hits) {
            const QString snippet =
                terminal ? hit.snippetWith(u"\x1b[1m", u"\x1b[0m") : hit.snippetWith(u"[", u"]");
            out += (hit.headword + QStringLiteral(" — ") + refs[std::size_t(hit.book)].title +
                    QStringLiteral(": ") + snippet + u'\n')
                       .toUtf8();
        }
        writeTo(stdout, out);
    }
    if (result.hits.empty()) {
        fail(QStringLiteral("ничего не найдено"));
        return 1;
    }
    return 0;
}

} // namespace kelmor::fulltext
