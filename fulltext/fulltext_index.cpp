#include "fulltext/fulltext_index.h"

#include "books/engine/jet.h"
#include "books/engine/textcodec.h"
#include "books/word_forms.h"
#include "fulltext/sqlite_connection.h"
#include "fulltext/word_tokens.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>

namespace kelmor::fulltext {

namespace {

// How long a read waits for a lock (other instances hold one only for a moment).
constexpr int kReadWaitMs = 3000;
// Articles between two progress reports.
constexpr int kProgressEvery = 64;
// Words of a snippet.
constexpr int kSnippetTokens = 14;

// The cache file has to be made anew.
struct RebuildNeeded
{
    QString reason;
};

// A book's index: the FTS5 table book_<id> over the view book_<id>_view of its articles, kept
// in book_<id>_text compressed as the books keep them (the view reads them back through
// kArticleText), so the cache holds a book's text at about its size in the book.
QByteArray tableOf(qint64 id)
{
    return "book_" + QByteArray::number(id);
}

constexpr char kArticleText[] = "kelmor_article_text";

// kArticleText(stored): the text of an article as book_<id>_text keeps it (the stored value's
// Windows-1251 bytes), UTF-8. Malformed bytes give some text, never more than the codec's
// bounded output; a value that is not a blob means the cache is damaged.
void articleText(sqlite3_context *context, int, sqlite3_value **values)
{
    if (sqlite3_value_type(values[0]) != SQLITE_BLOB) {
        sqlite3_result_error_code(context, SQLITE_CORRUPT);
        return;
    }
    const auto *bytes = static_cast<const char *>(sqlite3_value_blob(values[0]));
    const int size = sqlite3_value_bytes(values[0]);
    try {
        const std::u16string text =
            books::DecompressText(books::fromCp1251(std::string_view(bytes ? bytes : "", size)));
        const QByteArray utf8 = QString::fromStdU16String(text).toUtf8();
        sqlite3_result_text(context, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    } catch (const std::bad_alloc &) {
        sqlite3_result_error_nomem(context);
    }
}

void dropBook(SqliteConnection &db, qint64 id)
{
    const QByteArray table = tableOf(id);
    db.exec(QByteArray("DROP TABLE IF EXISTS " + table + ";DROP VIEW IF EXISTS " + table +
                       "_view;DROP TABLE IF EXISTS " + table + "_text")
                .constData());
    db.prepare("DELETE FROM books WHERE id = ?1").bind(1, id).run();
}

quint32 bigEndian(const QByteArray &bytes, int at, int size)
{
    quint32 v = 0;
    for (int i = 0; i < size; ++i)
        v = (v << 8) | quint8(bytes[at + i]);
    return v;
}

// Why the file cannot be a whole SQLite database (it is not one, or it is shorter than its
// header says), or empty when it may be one. A missing or empty file is a new database.
QString headerProblem(const QString &path)
{
    QFile file(path);
    if (!file.exists() || file.size() == 0)
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return {}; // SQLite says why
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayLiteral("SQLite format 3\0")))
        return QStringLiteral("это не файл базы данных");
    quint32 pageSize = bigEndian(header, 16, 2);
    if (pageSize == 1)
        pageSize = 65536;
    if (pageSize < 512 || pageSize > 65536 || (pageSize & (pageSize - 1)) != 0)
        return QStringLiteral("заголовок файла повреждён");
    const quint32 changes = bigEndian(header, 24, 4);
    const quint32 pages = bigEndian(header, 28, 4);
    const quint32 validFor = bigEndian(header, 92, 4);
    // Pages not yet written back from the write-ahead log may lie beyond the file's end.
    const qint64 logSize = QFileInfo(path + QStringLiteral("-wal")).size();
    if (pages > 0 && validFor == changes && logSize == 0 && qint64(pages) * pageSize > file.size())
        return QStringLiteral("файл обрезан");
    return {};
}

void removeDatabaseFiles(const QString &path)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
}

QString fileIdentity(const QString &path)
{
    const QFileInfo info(path);
    return path + u'\t' + QString::number(info.size()) + u'\t' +
           QString::number(info.lastModified().toMSecsSinceEpoch());
}

// A snippet as one line: line breaks and runs of spaces become one space.
QString oneLine(const QString &snippet)
{
    QString out;
    out.reserve(snippet.size());
    bool space = false;
    for (QChar c : snippet) {
        if (c.isSpace()) {
            space = !out.isEmpty();
            continue;
        }
        if (space)
            out += u' ';
        space = false;
        out += c;
    }
    return out;
}

} // namespace

QString formsIdentity(const books::WordForms &forms)
{
    if (!forms.isAvailable() || !forms.dictionary())
        return QStringLiteral("none");
    return fileIdentity(forms.dictionary()->affixPath) + u'\n' +
           fileIdentity(forms.dictionary()->wordsPath);
}

QString FulltextHit::snippetWith(QStringView before, QStringView after) const
{
    QString out;
    out.reserve(snippet.size() + 8);
    for (QChar c : snippet) {
        if (c == kMatchStart)
            out += before;
        else if (c == kMatchEnd)
            out += after;
        else
            out += c;
    }
    return out;
}

QString FulltextHit::snippetHtml() const
{
    return snippet.toHtmlEscaped()
        .replace(QChar(kMatchStart), QLatin1String("<b>"))
        .replace(QChar(kMatchEnd), QLatin1String("</b>"));
}

// ---------------------------------------------------------------------------------------------

FulltextIndex::FulltextIndex(QString file, std::shared_ptr<const books::WordForms> forms,
                             const Options &options)
    : m_file(std::move(file))
    , m_lockWaitMs(options.lockWaitMs)
    , m_stop(options.stop)
    , m_tokens(std::make_unique<WordTokens>(forms ? std::move(forms)
                                                  : std::make_shared<const books::WordForms>()))
{
}

FulltextIndex::~FulltextIndex()
{
    m_db.reset(); // before the tokens it uses
}

int FulltextIndex::onBusy(void *index, int count)
{
    constexpr int kStepMs = 10;
    const auto *self = static_cast<const FulltextIndex *>(index);
    if (count * kStepMs >= self->m_busyLimitMs || self->stopping())
        return 0;
    sqlite3_sleep(kStepMs);
    return 1;
}

std::shared_ptr<FulltextIndex> FulltextIndex::open(const Options &options)
{
    std::shared_ptr<const books::WordForms> forms =
        options.forms ? options.forms : std::make_shared<const books::WordForms>();
    const QString identity = formsIdentity(*forms);
    const auto inMemory = [&](const QString &note) {
        std::shared_ptr<FulltextIndex> index(new FulltextIndex(QString(), forms, options));
        index->connect(QStringLiteral(":memory:"), identity);
        index->m_note = note;
        return index;
    };
    if (options.file.isEmpty())
        return inMemory(QString());

    const QString file = QFileInfo(options.file).absoluteFilePath();
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable())
        return inMemory(QStringLiteral("Папка кэша «%1» недоступна для записи: указатель поиска "
                                       "строится в памяти на время работы программы.")
                            .arg(folder));

    QString note;
    if (options.rebuild) {
        removeDatabaseFiles(file);
        note = QStringLiteral("Кэш поиска «%1» был повреждён и построен заново.").arg(file);
    } else if (const QString problem = headerProblem(file); !problem.isEmpty()) {
        removeDatabaseFiles(file);
        note =
            QStringLiteral("Кэш поиска «%1» повреждён (%2) и построен заново.").arg(file, problem);
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::shared_ptr<FulltextIndex> index(new FulltextIndex(file, forms, options));
        try {
            index->connect(file, identity);
            index->m_note = note;
            return index;
        } catch (const RebuildNeeded &rebuild) {
            note =
                QStringLiteral("Кэш поиска «%1» %2 и построен заново.").arg(file, rebuild.reason);
        } catch (const SqliteError &e) {
            if (e.isBusy())
                return inMemory(QStringLiteral("Кэш поиска «%1» занят другой программой: указатель "
                                               "строится в памяти на время работы программы.")
                                    .arg(file));
            if (!e.isDamage())
                return inMemory(QStringLiteral("Кэш поиска «%1» не открывается (%2): указатель "
                                               "строится в памяти на время работы программы.")
                                    .arg(file, QString::fromUtf8(e.what())));
            note = QStringLiteral("Кэш поиска «%1» повреждён и построен заново.").arg(file);
        }
        index.reset(); // closed before its files go
        removeDatabaseFiles(file);
    }
    return inMemory(QStringLiteral("Кэш поиска «%1» не удалось построить заново: указатель "
                                   "строится в памяти на время работы программы.")
                        .arg(file));
}

void FulltextIndex::connect(const QString &name, const QString &identity)
{
    m_db = std::make_unique<SqliteConnection>(name);
    sqlite3_busy_handler(m_db->handle(), &FulltextIndex::onBusy, this);
    m_busyLimitMs = m_lockWaitMs;
    registerFormsTokenizer(*m_db, m_tokens.get());
    m_db->check(sqlite3_create_function_v2(m_db->handle(), kArticleText, 1,
                                           SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                           &articleText, nullptr, nullptr, nullptr));

    const auto single = [this](const char *sql) {
        SqliteStatement statement = m_db->prepare(sql);
        statement.step();
        return statement.text(0);
    };
    if (!inMemory()) {
        single("PRAGMA journal_mode=WAL");
        m_db->exec("PRAGMA synchronous=NORMAL");
    }
    const auto schemaState = [&]() -> std::optional<QString> {
        if (single("SELECT count(*) FROM sqlite_schema").toInt() == 0)
            return std::nullopt; // a new file
        if (single("PRAGMA application_id").toInt() != kApplicationId)
            return QStringLiteral("не является кэшем поиска");
        if (single("PRAGMA user_version").toInt() != kSchemaVersion)
            return QStringLiteral("записан другой версией программы");
        if (single("SELECT value FROM meta WHERE key = 'forms'") != identity)
            return QStringLiteral("построен с другим словарём форм слов");
        return QString();
    };
    std::optional<QString> state = schemaState();
    if (!state) {
        m_db->exec("PRAGMA auto_vacuum=INCREMENTAL");
        if (!beginWrite())
            throw SqliteError(SQLITE_BUSY, "the cache stays locked");
        std::lock_guard lock(m_mutex);
        try {
            state = schemaState(); // another instance may have made it meanwhile
            if (!state) {
                m_db->exec("CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL);"
                           "CREATE TABLE books(id INTEGER PRIMARY KEY AUTOINCREMENT,"
                           " cache_key TEXT NOT NULL UNIQUE, path TEXT NOT NULL,"
                           " title TEXT NOT NULL, articles INTEGER NOT NULL);"
                           "CREATE INDEX books_path ON books(path);");
                m_db->prepare("INSERT INTO meta(key, value) VALUES('forms', ?1)")
                    .bind(1, identity)
                    .run();
                m_db->exec(
                    QByteArray("PRAGMA application_id=" + QByteArray::number(kApplicationId) +
                               ";PRAGMA user_version=" + QByteArray::number(kSchemaVersion))
                        .constData());
                state = QString();
            }
            m_db->exec("COMMIT");
        } catch (...) {
            // The error that made it fail is the one to tell, not the rollback's.
            sqlite3_exec(m_db->handle(), "ROLLBACK", nullptr, nullptr, nullptr);
            throw;
        }
    }
    if (!state->isEmpty())
        throw RebuildNeeded{*state};
}

bool FulltextIndex::beginWrite(const std::function<bool()> &shouldStop)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        {
            std::lock_guard lock(m_mutex);
            // No waiting inside SQLite while the lock is held: searches go on meanwhile.
            m_busyLimitMs = 0;
            try {
                m_db->exec("BEGIN IMMEDIATE");
                m_busyLimitMs = kReadWaitMs;
                return true;
            } catch (const SqliteError &e) {
                m_busyLimitMs = kReadWaitMs;
                if (!e.isBusy())
                    throw;
            }
        }
        if (waited.elapsed() >= m_lockWaitMs || stopping() || (shouldStop && shouldStop()))
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void FulltextIndex::finishWrite(bool commit)
{
    std::lock_guard lock(m_mutex);
    if (commit) {
        m_db->exec("COMMIT");
    } else if (!sqlite3_get_autocommit(m_db->handle())) {
        try {
            m_db->exec("ROLLBACK");
        } catch (const SqliteError &) {
            // A failed rollback leaves the transaction to be rolled back by SQLite itself.
        }
    }
}

QStringList FulltextIndex::indexedKeys() const
{
    std::lock_guard lock(m_mutex);
    QStringList keys;
    SqliteStatement statement = m_db->prepare("SELECT cache_key FROM books ORDER BY id");
    while (statement.step())
        keys << statement.text(0);
    return keys;
}

bool FulltextIndex::isIndexed(const QString &key) const
{
    std::lock_guard lock(m_mutex);
    SqliteStatement statement = m_db->prepare("SELECT 1 FROM books WHERE cache_key = ?1");
    statement.bind(1, key);
    return statement.step();
}

void FulltextIndex::dropBooksExcept(const QStringList &keys)
{
    const QSet<QString> keep(keys.cbegin(), keys.cend());
    std::vector<qint64> stale;
    {
        std::lock_guard lock(m_mutex);
        SqliteStatement statement = m_db->prepare("SELECT id, cache_key FROM books");
        while (statement.step())
            if (!keep.contains(statement.text(1)))
                stale.push_back(statement.integer(0));
    }
    for (qint64 id : stale) {
        if (!beginWrite())
            return; // another instance writes: the next use drops them
        try {
            std::lock_guard lock(m_mutex);
            dropBook(*m_db, id);
        } catch (...) {
            finishWrite(false);
            throw;
        }
        finishWrite(true);
    }
    if (!stale.empty() && !inMemory()) {
        std::lock_guard lock(m_mutex);
        m_db->prepare("PRAGMA incremental_vacuum").run();
    }
}

FulltextIndex::IndexReport FulltextIndex::indexBook(const QString &path, const QString &key,
                                                    const QString &title, const Progress &progress)
{
    IndexReport report;
    std::unique_ptr<books::Database> database;
    std::unique_ptr<books::Table> table;
    qint64 total = 0;
    try {
        database = books::Database::open(QFile::encodeName(path).toStdString());
        table = database->openTable("Book");
        total = table->recordCount();
    } catch (const std::exception &e) {
        report.outcome = Outcome::Failed;
        report.error = QString::fromUtf8(e.what());
        return report;
    }

    bool stopped = false;
    const auto shouldStop = [&] {
        stopped = stopped || (progress && !progress(0, total));
        return stopped;
    };
    if (!beginWrite(shouldStop)) {
        report.outcome = stopped || stopping() ? Outcome::Stopped : Outcome::Locked;
        return report;
    }
    try {
        std::optional<SqliteStatement> store;  // the article's text, compressed
        std::optional<SqliteStatement> insert; // its words
        qint64 id = 0;
        {
            std::lock_guard lock(m_mutex);
            SqliteStatement known = m_db->prepare("SELECT 1 FROM books WHERE cache_key = ?1");
            if (known.bind(1, key).step()) {
                report.outcome = Outcome::AlreadyIndexed;
            } else {
                // The same file as it was before it changed.
                std::vector<qint64> earlier;
                SqliteStatement same = m_db->prepare("SELECT id FROM books WHERE path = ?1");
                same.bind(1, path);
                while (same.step())
                    earlier.push_back(same.integer(0));
                for (qint64 old : earlier)
                    dropBook(*m_db, old);
                m_db->prepare("INSERT INTO books(cache_key, path, title, articles) "
                              "VALUES(?1, ?2, ?3, 0)")
                    .bind(1, key)
                    .bind(2, path)
                    .bind(3, title)
                    .run();
                id = m_db->lastInsertRowid();
                const QByteArray t = tableOf(id);
                m_db->exec(
                    QByteArray("CREATE TABLE " + t + "_text(id INTEGER PRIMARY KEY, " +
                               "headword TEXT NOT NULL, body BLOB NOT NULL);" + "CREATE VIEW " + t +
                               "_view AS SELECT id, headword, " + kArticleText +
                               "(body) AS body FROM " + t + "_text;" + "CREATE VIRTUAL TABLE " + t +
                               " USING fts5(headword UNINDEXED, body, content='" + t +
                               "_view', content_rowid='id', tokenize='" + kTokenizerName + "')")
                        .constData());
                store.emplace(
                    m_db->prepare("INSERT INTO " + t + "_text(headword, body) VALUES(?1, ?2)"));
                insert.emplace(m_db->prepare("INSERT INTO " + t +
                                             "(rowid, headword, body) VALUES(?1, ?2, ?3)"));
            }
        }
        if (report.outcome == Outcome::AlreadyIndexed) {
            finishWrite(true);
            return report;
        }

        qint64 done = 0;
        for (table->moveFirst(); !table->eof(); table->moveNext()) {
            ++done;
            const std::optional<std::u16string> headword = table->text("List");
            const std::optional<std::u16string> stored = table->text("Text");
            if (headword && stored && !headword->empty()) {
                const std::u16string body = books::DecompressText(*stored);
                if (!body.empty()) {
                    // Decoded text always has its Windows-1251 bytes; so does its coding.
                    const std::optional<std::string> kept =
                        books::toCp1251(books::CompressText(body));
                    const QString word = QString::fromStdU16String(*headword);
                    std::lock_guard lock(m_mutex);
                    store->bind(1, word).bindBlob(2, QByteArrayView(*kept)).run();
                    store->reset();
                    insert->bind(1, m_db->lastInsertRowid())
                        .bind(2, word)
                        .bind(3, QString::fromStdU16String(body))
                        .run();
                    insert->reset();
                    ++report.articles;
                }
            }
            if (progress && done % kProgressEvery == 0 && !progress(done, total)) {
                store.reset();
                insert.reset();
                finishWrite(false);
                report.outcome = Outcome::Stopped;
                report.articles = 0;
                return report;
            }
        }
        store.reset();
        insert.reset();
        {
            std::lock_guard lock(m_mutex);
            m_db->prepare("UPDATE books SET articles = ?1 WHERE id = ?2")
                .bind(1, qint64(report.articles))
                .bind(2, id)
                .run();
        }
        finishWrite(true);
        if (progress)
            progress(total, total);
    } catch (const SqliteError &) {
        finishWrite(false);
        throw;
    } catch (const std::exception &e) {
        finishWrite(false);
        report.outcome = Outcome::Failed;
        report.articles = 0;
        report.error = QString::fromUtf8(e.what());
    }
    return report;
}

FulltextResult FulltextIndex::search(const FulltextQuery &query, std::span<const BookRef> books,
                                     int limit) const
{
    FulltextResult result;
    if (query.isEmpty() || limit <= 0)
        return result;
    const QByteArray match = query.matchExpression().toUtf8();

    struct Candidate
    {
        double score;
        int book;
        qint64 table;
        qint64 rowid;
        bool operator<(const Candidate &o) const
        {
            return std::tie(score, book, rowid) < std::tie(o.score, o.book, o.rowid);
        }
    };
    std::vector<Candidate> best; // a max-heap of the best `limit`

    std::lock_guard lock(m_mutex);
    SqliteStatement idOf = m_db->prepare("SELECT id FROM books WHERE cache_key = ?1");
    for (int b = 0; b < int(books.size()); ++b) {
        idOf.reset();
        if (!idOf.bind(1, books[std::size_t(b)].key).step()) {
            ++result.booksNotIndexed;
            continue;
        }
        const qint64 id = idOf.integer(0);
        SqliteStatement matches =
            m_db->prepare("SELECT rowid, bm25(" + tableOf(id) + ") FROM " + tableOf(id) +
                          " WHERE " + tableOf(id) + " MATCH ?1");
        matches.bind(1, match);
        while (matches.step()) {
            ++result.total;
            const Candidate c{matches.real(1), b, id, matches.integer(0)};
            if (int(best.size()) < limit) {
                best.push_back(c);
                std::push_heap(best.begin(), best.end());
            } else if (c < best.front()) {
                std::pop_heap(best.begin(), best.end());
                best.back() = c;
                std::push_heap(best.begin(), best.end());
            }
        }
    }
    std::sort_heap(best.begin(), best.end());

    for (const Candidate &c : best) {
        const QByteArray table = tableOf(c.table);
        SqliteStatement row =
            m_db->prepare("SELECT headword, snippet(" + table + ", 1, char(2), char(3), '…', " +
                          QByteArray::number(kSnippetTokens) + ") FROM " + table + " WHERE " +
                          table + " MATCH ?1 AND rowid = ?2");
        row.bind(1, match).bind(2, c.rowid);
        if (!row.step())
            continue;
        result.hits.push_back({row.text(0), c.book, oneLine(row.text(1)), c.score});
    }
    return result;
}

} // namespace kelmor::fulltext
