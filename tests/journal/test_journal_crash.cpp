// A process killed with SIGKILL while it saves leaves the journal as it was before or after the
// save it was making: never half an entry, never half an import.
#include "journal/journal_store.h"
#include "journal/sqlite.h"
#include "journal_fixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kelmor::journal;
using kelmor::journal::testing::fixtureEntry;

namespace {

// Entry i has i % 7 + 1 symbols and lunar days and says so in its title.
JournalEntry numbered(int i)
{
    const int n = i % 7 + 1;
    QStringList symbols;
    std::vector<int> days;
    for (int k = 0; k < n; ++k) {
        symbols.append(QStringLiteral("Символ %1").arg(k));
        days.push_back(k + 1);
    }
    JournalEntry e = fixtureEntry(QDate(2020, 1, 1).addDays(i % 3000), days, symbols, {"метка"});
    e.title = QString::number(n);
    e.text = QString(2000 + i % 500, u'с');
    return e;
}

// Runs `work` in a child process and kills it `delayMs` after it has told of `commits` finished
// changes (work calls its argument after each), so that the kill falls into a later change
// however slow the machine is.
void killMidWay(int commits, int delayMs,
                const std::function<void(const std::function<void()> &)> &work)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        try {
            work([&] {
                const char done = 1;
                if (write(pipeEnds[1], &done, 1) != 1)
                    _exit(4);
            });
        } catch (...) {
            _exit(3);
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    for (int i = 0; i < commits; ++i) {
        pollfd wait{pipeEnds[0], POLLIN, 0};
        char done = 0;
        ASSERT_EQ(poll(&wait, 1, 60000), 1) << "the child saved nothing for a minute";
        ASSERT_EQ(read(pipeEnds[0], &done, 1), 1) << "the child ended";
    }
    usleep(useconds_t(delayMs) * 1000);
    kill(child, SIGKILL);
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended before it was killed";
}

void expectWhole(const QString &path, int importSize)
{
    {
        sqlite::Connection db(path, sqlite::Connection::Mode::ReadWrite);
        sqlite::Statement check(db, "PRAGMA integrity_check");
        ASSERT_TRUE(check.step());
        EXPECT_EQ(check.text(0), "ok");
        EXPECT_EQ(db.queryInt("SELECT count(*) FROM pragma_foreign_key_check"), 0);
    }
    auto store = JournalStore::open(path);
    const std::vector<JournalEntry> entries = store->entries();
    if (importSize > 0) {
        EXPECT_EQ(int(entries.size()) % importSize, 0) << entries.size();
    }
    for (const JournalEntry &e : entries) {
        const int n = e.title.toInt();
        EXPECT_EQ(e.symbols.size(), n);
        EXPECT_EQ(int(e.lunarDays.size()), n);
        EXPECT_EQ(e.tags, QStringList{"метка"});
    }
}

TEST(JournalCrash, KilledWhileSavingEntriesLeavesWholeEntries)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    JournalStore::open(path);
    for (int delay : {0, 1, 3, 7, 12}) {
        SCOPED_TRACE(delay);
        killMidWay(3, delay, [&](const std::function<void()> &saved) {
            auto store = JournalStore::open(path);
            for (int i = 0;; ++i) {
                JournalEntry e = numbered(i);
                store->save(e);
                saved();
                // Edits too: an entry replaced with fewer symbols.
                if (i % 3 == 0) {
                    JournalEntry edited = numbered(i + 1);
                    edited.id = e.id;
                    store->save(edited);
                }
            }
        });
        expectWhole(path, 0);
    }
    EXPECT_GT(JournalStore::open(path)->count(), 0);
}

TEST(JournalCrash, KilledWhileImportingLeavesAllOrNothingOfEachImport)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("journal.sqlite");
    JournalStore::open(path);
    constexpr int kImport = 300;
    int round = 0;
    for (int delay : {2, 10, 25, 60}) {
        SCOPED_TRACE(delay);
        ++round;
        killMidWay(1, delay, [&](const std::function<void()> &imported) {
            auto store = JournalStore::open(path);
            for (int batch = 0;; ++batch) {
                std::vector<JournalEntry> entries;
                for (int i = 0; i < kImport; ++i) {
                    entries.push_back(numbered(i));
                    // Each import new to the journal.
                    entries.back().fellAsleep += (round * 1000 + batch) * 60;
                }
                store->import(entries);
                imported();
            }
        });
        expectWhole(path, kImport);
    }
    EXPECT_GE(JournalStore::open(path)->count(), 4 * kImport);
}

} // namespace
