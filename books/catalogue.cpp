#include "books/catalogue.h"

#include "books/engine/casefold.h"
#include "books/engine/jet.h"
#include "books/headword_cache.h"
#include "platform/cache_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>

namespace kelmor::books {

namespace {

std::string nativePath(const QString &path)
{
    return QFile::encodeName(path).toStdString();
}

QString fromU16(const std::u16string &s)
{
    return QString::fromUtf16(s.data(), qsizetype(s.size()));
}

} // namespace

struct Catalogue::Open
{
    std::unique_ptr<Database> db;
    // Table Book with its rows listed and index List; opened on first need when the book is
    // answered through its headword index.
    std::unique_ptr<Table> book;
    // The book's headword index and the cursor that reads the records it locates; dropped when
    // a read through it fails or does not find the headword it promised.
    std::unique_ptr<HeadwordIndex> index;
    std::unique_ptr<Table> located;
    QString path;

    bool bookSeekable = false; // book has its current index List

    Table &listed()
    {
        if (!book)
            book = db->openTable("Book");
        if (!bookSeekable) {
            book->setCurrentIndex("List");
            bookSeekable = true;
        }
        return *book;
    }
    // The index failed: the book is read without it, and its cache file goes, so that the next
    // start indexes the book anew.
    void dropIndex()
    {
        index.reset();
        located.reset();
        QFile::remove(headwordCachePath(path));
    }
};

Catalogue::Catalogue(QObject *parent)
    : QObject(parent)
    , m_opener([](const std::string &path) { return Database::open(path); })
{
}

Catalogue::~Catalogue() = default;

void Catalogue::setOpener(Opener opener)
{
    m_opener = std::move(opener);
}

Catalogue::LoadResult Catalogue::load(const QString &booksPath, const StateReader &states)
{
    if (m_loaded)
        return *m_loaded;
    LoadResult result;

    const QDir dir(booksPath);
    if (booksPath.isEmpty() || !dir.exists() || !QFileInfo(booksPath).isReadable()) {
        result.status = Status::MissingFolder;
        m_loaded = result;
        return result;
    }

    // Every "*.book" file (any letter case of the pattern), by name ignoring case. The names are
    // matched here rather than by a name filter, which compiles a regular expression first.
    QFileInfoList files = dir.entryInfoList(QDir::Files, QDir::NoSort);
    files.removeIf([](const QFileInfo &file) {
        return !file.fileName().endsWith(QLatin1String(".book"), Qt::CaseInsensitive);
    });
    std::stable_sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const int c = a.fileName().compare(b.fileName(), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.fileName() < b.fileName();
    });
    if (files.isEmpty()) {
        result.status = Status::NoBookFiles;
        m_loaded = result;
        return result;
    }

    for (int j = 0; j < files.size(); ++j) {
        const QFileInfo &file = files.at(j);
        // The key is the folder as given, a separator and the file name.
        const QString path = booksPath.endsWith(QLatin1Char('/'))
                                 ? booksPath + file.fileName()
                                 : booksPath + QLatin1Char('/') + file.fileName();
        const std::string native = nativePath(path);
        if (!IsValidVersion(native))
            continue;

        BookEntry entry;
        entry.path = path;
        entry.fileName = file.fileName();
        entry.filePosition = j;
        auto open = std::make_unique<Open>();
        open->path = path;
        QString stage;
        try {
            stage = QStringLiteral("файл не открывается как сонник");
            open->db = m_opener(native);
            if (!open->db)
                throw std::runtime_error("программа чтения не вернула базу данных");
            stage = QStringLiteral("нет таблицы Book");
            const QString bookKey = m_useIndexes ? platform::bookCacheKey(path) : QString();
            open->index = openCachedHeadwordIndex(path, bookKey);
            if (open->index)
                open->located = open->db->openTableByLocation("Book");
            else
                open->book = open->db->openTable("Book");
            stage = QStringLiteral("нет таблицы Config");
            const std::unique_ptr<Table> config = open->db->openTable("Config");
            stage = QStringLiteral("таблица Config повреждена");
            config->moveFirst();
            if (config->eof())
                throw std::runtime_error("в таблице Config нет ни одной записи");
            const std::optional<std::u16string> toolName = config->text("ToolName");
            if (!toolName) {
                stage = QStringLiteral("у сонника нет названия (ToolName)");
                throw std::runtime_error("поле ToolName не заполнено");
            }
            entry.toolName = fromU16(*toolName);
            entry.tolkName = fromU16(config->text("TolkName").value_or(u""));
            const std::optional<std::u16string> color = config->text("Color");
            entry.color = color ? fromU16(*color) : QStringLiteral("0");
            if (!open->index && !bookKey.isEmpty() && !m_indexOnLoad)
                m_unindexed.emplace_back(path, bookKey);
            if (!open->index && !bookKey.isEmpty() && m_indexOnLoad) {
                // Indexed now; the index answers the seeks, so the table needs none of its own.
                open->index = indexAndStore(path, bookKey, *open->book);
                if (open->index) {
                    open->located = open->db->openTableByLocation("Book");
                    open->book.reset(); // its list of rows is not needed any more
                }
            }
            if (open->index) {
                entry.recordCount = open->index->recordCount();
            } else {
                stage = QStringLiteral("нет индекса List в таблице Book");
                open->listed();
                stage = QStringLiteral("таблица Book повреждена");
                entry.recordCount = open->book->recordCount();
            }

            if (m_icons)
                entry.iconText = config->text("Icon").value_or(u"");
        } catch (const std::exception &e) {
            result.skipped.append(
                {file.fileName(),
                 stage + QStringLiteral(" (") + QString::fromUtf8(e.what()) + QLatin1Char(')')});
            continue;
        }

        const std::optional<int> stored = states ? states(path) : std::nullopt;
        entry.enabled = stored.value_or(1) != 0;
        m_books.append(entry);
        m_open.push_back(std::move(open));
    }

    if (m_books.isEmpty())
        result.status = Status::NoCompatibleBooks;
    m_loaded = result;
    return result;
}

const BookEntry &Catalogue::book(int n) const
{
    Q_ASSERT(n >= 0 && n < m_books.size());
    return m_books.at(n);
}

bool Catalogue::isEnabled(int n) const
{
    return n >= 0 && n < m_books.size() && m_books.at(n).enabled;
}

void Catalogue::setEnabled(int n, bool enabled)
{
    if (n < 0 || n >= m_books.size())
        return;
    m_books[n].enabled = enabled;
    Q_EMIT enabledChanged(n);
}

void Catalogue::setAllEnabled(bool enabled)
{
    for (BookEntry &b : m_books)
        b.enabled = enabled;
    Q_EMIT enabledChanged(0);
}

void Catalogue::keepOnly(int n)
{
    if (n < 0 || n >= m_books.size())
        return;
    for (int i = 0; i < m_books.size(); ++i)
        m_books[i].enabled = (i == n);
    Q_EMIT enabledChanged(n);
}

int Catalogue::enabledCount() const
{
    return int(std::count_if(m_books.cbegin(), m_books.cend(),
                             [](const BookEntry &b) { return b.enabled; }));
}

Table *Catalogue::table(int n) const
{
    if (n < 0 || n >= int(m_open.size()))
        return nullptr;
    return &m_open[size_t(n)]->listed();
}

std::optional<std::vector<IndexedHeadword>> Catalogue::indexedHeadwords(int n) const
{
    std::vector<IndexedHeadword> words;
    if (!forEachIndexedHeadword(n, [&words](std::u16string_view text, std::string_view sortKey) {
            words.push_back({std::u16string(text), std::string(sortKey)});
        }))
        return std::nullopt;
    return words;
}

std::optional<HeadwordReader> Catalogue::headwordReader(int n) const
{
    if (n < 0 || n >= int(m_open.size()) || !m_open[size_t(n)]->index)
        return std::nullopt;
    Open &open = *m_open[size_t(n)];
    try {
        return open.index->wordReader();
    } catch (const HeadwordIndexError &) {
        open.dropIndex();
        return std::nullopt;
    }
}

void Catalogue::dropHeadwordIndex(int n) const
{
    if (n >= 0 && n < int(m_open.size()) && m_open[size_t(n)]->index)
        m_open[size_t(n)]->dropIndex();
}

bool Catalogue::forEachIndexedHeadword(
    int n, const std::function<void(std::u16string_view, std::string_view)> &visit) const
{
    std::optional<HeadwordReader> reader = headwordReader(n);
    if (!reader)
        return false;
    try {
        while (reader->next())
            visit(reader->text(), reader->sortKey());
        return true;
    } catch (const HeadwordIndexError &) {
        dropHeadwordIndex(n);
        return false;
    }
}

bool Catalogue::isIndexed(int n) const
{
    return n >= 0 && n < int(m_open.size()) && m_open[size_t(n)]->index;
}

std::optional<StoredArticle> Catalogue::find(int n, std::u16string_view headword) const
{
    if (n < 0 || n >= int(m_open.size()))
        return std::nullopt;
    Open &open = *m_open[size_t(n)];
    if (open.index) {
        // The index names the record; the record itself must carry the headword sought, or the
        // index is dropped and the table answers.
        try {
            const std::u16string folded = foldCase(headword);
            const std::optional<RowLocation> where = open.index->seek(folded);
            if (!where)
                return std::nullopt;
            open.located->moveTo(*where);
            const std::optional<std::u16string> found = open.located->text("List");
            if (found && foldCase(*found) == folded)
                return StoredArticle{open.located->text("Text"), open.located->text("Links")};
        } catch (const std::exception &) {
        }
        open.dropIndex();
    }
    Table &t = open.listed();
    t.seek(headword);
    if (t.noMatch())
        return std::nullopt;
    return StoredArticle{t.text("Text"), t.text("Links")};
}

QList<QPair<QString, bool>> Catalogue::states() const
{
    QList<QPair<QString, bool>> out;
    out.reserve(m_books.size());
    for (const BookEntry &b : m_books)
        out.append({b.path, b.enabled});
    return out;
}

void writeHeadwordIndexes(const std::vector<std::pair<QString, QString>> &books)
{
    for (const auto &[path, key] : books) {
        try {
            const std::unique_ptr<Database> db = Database::open(nativePath(path));
            const std::unique_ptr<Table> book = db->openTable("Book");
            (void)indexAndStore(path, key, *book);
        } catch (const std::exception &) {
            // Not indexed: the book is read from its table at the next start too.
        }
    }
}

QString SkippedBooksMessage(const QList<Catalogue::SkippedBook> &skipped)
{
    if (skipped.isEmpty())
        return {};
    QString text = QStringLiteral("Не удалось открыть сонник:");
    for (const Catalogue::SkippedBook &s : skipped)
        text += QLatin1Char('\n') + s.fileName + QStringLiteral(": ") + s.reason;
    return text;
}

} // namespace kelmor::books
