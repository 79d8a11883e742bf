#include "fulltext/fulltext_search.h"

#include "books/catalogue.h"
#include "books/word_forms.h"
#include "fulltext/sqlite_connection.h"
#include "platform/cache_folder.h"

#include <QElapsedTimer>
#include <QSet>
#include <QThread>

#include <algorithm>

namespace kelmor::fulltext {

namespace {

// The worker reports the articles it indexed at most this often.
constexpr int kProgressIntervalMs = 100;

QString damagedNote()
{
    return QStringLiteral("Кэш поиска оказался повреждён: указатель строится заново.");
}

} // namespace

std::vector<FulltextBook> fulltextBooks(const books::Catalogue &catalogue)
{
    std::vector<FulltextBook> out;
    out.reserve(std::size_t(catalogue.count()));
    for (int n = 0; n < catalogue.count(); ++n) {
        const books::BookEntry &entry = catalogue.book(n);
        out.push_back({entry.path, entry.toolName, catalogue.isEnabled(n), entry.recordCount});
    }
    return out;
}

QString FulltextSearch::defaultCacheFile()
{
    return platform::cacheFolder() + QStringLiteral("/fulltext.sqlite");
}

FulltextSearch::FulltextSearch(Options options, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
{
    if (!m_options.forms)
        m_options.forms = std::make_shared<const books::WordForms>();
}

FulltextSearch::~FulltextSearch()
{
    stop();
}

void FulltextSearch::setBooks(std::vector<FulltextBook> books)
{
    m_books = std::move(books);
    m_progress.booksTotal = int(m_books.size());
    Q_EMIT booksChanged();
}

bool FulltextSearch::isComplete() const
{
    if (!m_index || m_rebuildNext)
        return false;
    try {
        const QStringList indexedList = m_index->indexedKeys();
        if (indexedList.size() != qsizetype(m_books.size()))
            return false; // books to drop, or to index
        const QSet<QString> indexed(indexedList.cbegin(), indexedList.cend());
        return std::all_of(m_books.cbegin(), m_books.cend(), [&indexed](const FulltextBook &b) {
            return indexed.contains(platform::bookCacheKey(b.path));
        });
    } catch (const SqliteError &) {
        return false; // the worker finds out what is wrong
    }
}

void FulltextSearch::start()
{
    if (m_worker)
        return;
    if (isComplete()) {
        // Nothing to do: no worker, no progress bar.
        m_progress = {int(m_books.size()), int(m_books.size()), 0, 0};
        Q_EMIT progressChanged();
        return;
    }
    m_stopRequested = false;
    std::vector<Job> jobs;
    for (const bool enabled : {true, false})
        for (const FulltextBook &book : m_books)
            if (book.enabled == enabled)
                jobs.push_back({book.path, book.title, book.articles});
    QStringList paths;
    for (const FulltextBook &book : m_books)
        paths << book.path;
    const bool rebuild = std::exchange(m_rebuildNext, false);
    m_worker = QThread::create([this, jobs = std::move(jobs), paths = std::move(paths),
                                index = m_index, rebuild]() mutable {
        // The worker's hold on the index ends with its run, not with the thread object.
        runWorker(std::move(jobs), std::move(paths), std::move(index), rebuild);
    });
    m_worker->setObjectName(QStringLiteral("FulltextIndexer"));
    connect(m_worker, &QThread::finished, this, &FulltextSearch::onWorkerEnded);
    m_worker->start(QThread::LowPriority);
    Q_EMIT progressChanged();
}

void FulltextSearch::stop()
{
    if (!m_worker)
        return;
    m_stopRequested = true;
    disconnect(m_worker, nullptr, this, nullptr);
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
    m_restartWanted = false;
    Q_EMIT progressChanged();
}

void FulltextSearch::onWorkerEnded()
{
    if (!m_worker)
        return;
    m_worker->deleteLater();
    m_worker = nullptr;
    if (std::exchange(m_restartWanted, false)) {
        start();
        return;
    }
    Q_EMIT progressChanged();
    Q_EMIT indexingFinished();
}

void FulltextSearch::restartAfterDamage()
{
    m_index.reset();
    m_rebuildNext = true;
    m_damageNote = damagedNote();
    if (m_worker) {
        m_restartWanted = true;
        m_stopRequested = true;
    } else {
        start();
    }
}

QString FulltextSearch::note() const
{
    if (!m_damageNote.isEmpty() && (!m_index || m_index->note().isEmpty()))
        return m_damageNote;
    return m_index ? m_index->note() : QString();
}

// Runs on the worker thread: everything it tells the window goes through post().
void FulltextSearch::runWorker(std::vector<Job> jobs, QStringList allPaths,
                               std::shared_ptr<FulltextIndex> index, bool rebuild)
{
    const auto post = [this](auto f) {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    };
    try {
        if (!index || rebuild) {
            index = FulltextIndex::open({m_options.cacheFile, m_options.forms, m_options.lockWaitMs,
                                         rebuild, &m_stopRequested});
            post([this, index] {
                if (m_rebuildNext)
                    return; // found damaged again meanwhile; the next run opens it anew
                m_index = index;
                Q_EMIT progressChanged();
                Q_EMIT bookIndexed();
            });
        }

        QStringList keys;
        for (const QString &path : std::as_const(allPaths))
            if (const QString key = platform::bookCacheKey(path); !key.isEmpty())
                keys << key;
        index->dropBooksExcept(keys);
        const QStringList indexedList = index->indexedKeys();
        const QSet<QString> indexed(indexedList.cbegin(), indexedList.cend());

        std::vector<std::pair<Job, QString>> pending;
        QStringList unreadable;
        for (const Job &job : jobs) {
            const QString key = platform::bookCacheKey(job.path);
            if (key.isEmpty())
                unreadable
                    << QStringLiteral("«%1»: файл «%2» не читается").arg(job.title, job.path);
            else if (!indexed.contains(key))
                pending.emplace_back(job, key);
        }
        qint64 articlesTotal = 0;
        for (const auto &p : pending)
            articlesTotal += p.first.articles;
        post([this, done = int(jobs.size() - pending.size()), articlesTotal, unreadable] {
            m_progress.booksDone = done;
            m_progress.articlesDone = 0;
            m_progress.articlesTotal = articlesTotal;
            m_bookErrors = unreadable;
            Q_EMIT progressChanged();
        });

        qint64 base = 0;
        for (const auto &[job, key] : pending) {
            if (m_stopRequested)
                return;
            QElapsedTimer sinceReport;
            sinceReport.start();
            const FulltextIndex::IndexReport report =
                index->indexBook(job.path, key, job.title, [&, base](qint64 done, qint64) {
                    if (m_stopRequested)
                        return false;
                    if (sinceReport.elapsed() >= kProgressIntervalMs) {
                        sinceReport.restart();
                        post([this, articles = base + done] {
                            m_progress.articlesDone = articles;
                            Q_EMIT progressChanged();
                        });
                    }
                    return true;
                });
            base += job.articles;
            QString error;
            switch (report.outcome) {
            case FulltextIndex::Outcome::Stopped:
                return;
            case FulltextIndex::Outcome::Indexed:
            case FulltextIndex::Outcome::AlreadyIndexed:
                break;
            case FulltextIndex::Outcome::Locked:
                error = QStringLiteral("«%1»: кэш поиска занят другой программой, сонник будет "
                                       "проиндексирован в следующий раз")
                            .arg(job.title);
                break;
            case FulltextIndex::Outcome::Failed:
                error = QStringLiteral("«%1»: %2").arg(job.title, report.error);
                break;
            }
            post([this, base, error] {
                ++m_progress.booksDone;
                m_progress.articlesDone = base;
                if (!error.isEmpty())
                    m_bookErrors << error;
                Q_EMIT progressChanged();
                Q_EMIT bookIndexed();
            });
        }
    } catch (const SqliteError &e) {
        if (e.isDamage()) {
            post([this] {
                m_index.reset();
                m_rebuildNext = true;
                m_restartWanted = true;
                m_damageNote = damagedNote();
            });
        } else {
            post([this, message = QString::fromUtf8(e.what())] {
                m_bookErrors << QStringLiteral("Кэш поиска: %1").arg(message);
                Q_EMIT progressChanged();
            });
        }
    }
}

FulltextSearch::Answer FulltextSearch::search(const QString &text, int limit)
{
    Answer answer;
    answer.query = parseFulltextQuery(text);
    std::vector<BookRef> refs;
    std::vector<int> which;
    for (int i = 0; i < int(m_books.size()); ++i) {
        const FulltextBook &book = m_books[std::size_t(i)];
        if (!book.enabled)
            continue;
        refs.push_back({platform::bookCacheKey(book.path), book.title});
        which.push_back(i);
    }
    answer.booksSearched = int(refs.size());
    if (answer.query.isEmpty())
        return answer;
    if (!m_index) {
        answer.booksNotIndexed = answer.booksSearched;
        return answer;
    }
    try {
        FulltextResult result = m_index->search(answer.query, refs, limit);
        for (FulltextHit &hit : result.hits)
            hit.book = which[std::size_t(hit.book)];
        answer.hits = std::move(result.hits);
        answer.total = result.total;
        answer.booksNotIndexed = result.booksNotIndexed;
    } catch (const SqliteError &e) {
        if (e.isDamage()) {
            answer.error = damagedNote();
            restartAfterDamage();
        } else {
            answer.error = QStringLiteral("Поиск не удался: %1").arg(QString::fromUtf8(e.what()));
        }
        answer.booksNotIndexed = answer.booksSearched;
    }
    return answer;
}

QString indexedText(int booksDone, int booksTotal)
{
    // "из" takes the genitive: из 1 сонника, из 21 сонника, из 2 (5, 11) сонников.
    const bool singular = booksTotal % 10 == 1 && booksTotal % 100 != 11;
    return QStringLiteral("проиндексировано %1 из %2 %3")
        .arg(booksDone)
        .arg(booksTotal)
        .arg(singular ? QStringLiteral("сонника") : QStringLiteral("сонников"));
}

QString answerStatus(const QString &text, const FulltextSearch::Answer &answer, bool indexing,
                     const FulltextSearch::Progress &progress)
{
    QString status;
    if (!answer.error.isEmpty()) {
        status = answer.error;
    } else if (text.trimmed().isEmpty()) {
        return QStringLiteral("Напишите слова из толкования: найдутся статьи, в которых есть они "
                              "все в любой форме; слова в кавычках ищутся как фраза.");
    } else if (answer.query.isEmpty()) {
        return QStringLiteral("В запросе нет ни одного слова.");
    } else if (answer.booksSearched == 0) {
        return QStringLiteral("Все сонники выключены: включите хотя бы один.");
    } else if (answer.total == 0) {
        status = QStringLiteral("Ничего не найдено.");
    } else {
        status = QStringLiteral("Найдено статей: %1.").arg(answer.total);
        if (int(answer.hits.size()) < answer.total)
            status += QStringLiteral(" Показаны лучшие %1.").arg(answer.hits.size());
    }
    if (answer.query.shortened)
        status += QStringLiteral(" Запрос слишком длинный: учтено только его начало.");
    if (indexing) {
        QString done = indexedText(progress.booksDone, progress.booksTotal);
        done[0] = done[0].toUpper();
        status += u' ' + done + QStringLiteral(": результаты ещё дополнятся.");
    } else if (answer.booksNotIndexed > 0) {
        status +=
            QStringLiteral(" Без указателя остались сонники: %1.").arg(answer.booksNotIndexed);
    }
    return status;
}

} // namespace kelmor::fulltext
