// `kelmor journal`, run as a process on the bundled sample books with a journal of its own.
#include "journal/journal_csv.h"
#include "journal/sqlite.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

class JournalCommand : public ::testing::Test
{
protected:
    Result run(const QStringList &args, const QByteArray &input = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_DIRS", KELMOR_BUILD_SHARE);
        env.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        env.insert("XDG_DATA_HOME", m_dir.filePath("data"));
        env.insert("TZ", "Europe/Moscow");
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        process.start(KELMOR_EXECUTABLE, QStringList{"journal"} + args);
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    QString journal() const { return m_dir.filePath("data/kelmor/journal.sqlite"); }

    QTemporaryDir m_dir;
};

TEST_F(JournalCommand, AddedDreamsAreListedShownAndExported)
{
    Result r = run({"add", "--from", "2024-04-08 23:00:00", "--to", "2024-04-09 07:00:00", "--tags",
                    "вода, друзья", "--title", "Река", "--mood", "4"},
                   "Мне снилось, что я плыву по реке, а на берегу сидят собаки.\n");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Запись 1 сохранена в дневник.\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("Символы: Река, Берег, Собака\n"));
    // The night of 8 to 9 April 2024 in Moscow: the new moon at 21:22, lunar day 1 until the
    // moonrise at 05:47 (6 h 47 min of the 8 h), then lunar day 2.
    EXPECT_TRUE(r.out.contains("\n1-й лунный день (85 % ночи): Сон в этот день исполняется"))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("\n2-й лунный день (15 % ночи): Сны сбываются.\n"));
    r = run({"add", "--at=2024-04-20 03:00:00"}, "Змея в траве");
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

    r = run({"list"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("2\t20.04.2024 03:00\tлунные дни: ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("1\t08.04.2024 23:00 – 09.04.2024 07:00\tлунные дни: "));
    EXPECT_TRUE(lines[1].contains("\tРека\tсимволы: Река; Берег; Собака\tметки: вода, друзья"));

    r = run({"list", "--search", "ЗМЕЯ"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.out.startsWith("2\t"));
    r = run({"list", "--outcome", "сбылся"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.isEmpty());
    r = run({"list", "--from", "2024-04-10", "--outcome", "неизвестно"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.count(u'\n'), 1);

    r = run({"show", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("## 09.04.2024 — Река\n")) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("- **Настроение:** 4 из 5\n"));
    EXPECT_TRUE(r.out.contains("- **Вторник:** "));

    const QString file = m_dir.filePath("дневник.csv");
    r = run({"export", "--output", file});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const std::vector<kelmor::journal::JournalEntry> exported = kelmor::journal::readCsvFile(file);
    ASSERT_EQ(exported.size(), 2u);
    EXPECT_EQ(exported[1].symbols, (QStringList{"Река", "Берег", "Собака"}));
    EXPECT_EQ(exported[1].tags, (QStringList{"вода", "друзья"}));
    EXPECT_EQ(exported[1].timeZone, "Europe/Moscow");
    r = run({"export", "--format", "md"});
    EXPECT_TRUE(r.out.startsWith("# Дневник снов\n\n## 20.04.2024"));
}

TEST_F(JournalCommand, ExitCodes)
{
    const struct
    {
        QStringList args;
        QByteArray input;
        int exitCode;
        const char *message;
    } cases[] = {
        {{}, {}, 2, "kelmor journal: укажите команду"},
        {{"burn"}, {}, 2, "kelmor journal: неизвестная команда \"burn\""},
        {{"add"}, " \n", 2, "kelmor journal: текст сна пуст"},
        {{"add", "--from", "2024-04-08 23:00:00"}, "сон", 2, "укажите и --from, и --to"},
        {{"add", "--at", "2024-04-08 23:00:00", "--from", "2024-04-08 23:00:00", "--to",
          "2024-04-09 07:00:00"},
         "сон",
         2,
         "укажите либо --at"},
        {{"add", "--from", "2024-04-09 23:00:00", "--to", "2024-04-09 07:00:00"},
         "сон",
         2,
         "--to раньше, чем --from"},
        {{"add", "--mood", "7"}, "сон", 2, "--mood: нужно целое число от 1 до 5"},
        {{"list", "--lunar-day", "0"}, {}, 2, "--lunar-day"},
        {{"list", "--outcome", "может"}, {}, 2, "--outcome"},
        {{"list"}, {}, 1, ""},
        {{"show", "5"}, {}, 1, "kelmor journal: в дневнике нет записи 5"},
        {{"show", "пять"}, {}, 2, "номер записи"},
        {{"export", "--format", "pdf"}, {}, 2, "--format"},
    };
    for (const auto &c : cases) {
        const Result r = run(c.args, c.input);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromUtf8(c.message)))
            << c.args.join(' ').toStdString() << ": " << r.err.toStdString();
    }
    // Reading commands never create a journal.
    EXPECT_FALSE(QFile::exists(journal()));
}

TEST_F(JournalCommand, AJournalOfANewerVersionIsReadFromACopyAndNeverWritten)
{
    ASSERT_EQ(run({"add", "--at", "2024-04-20 03:00:00"}, "Змея").exitCode, 0);
    {
        kelmor::journal::sqlite::Connection db(
            journal(), kelmor::journal::sqlite::Connection::Mode::ReadWrite);
        db.exec("PRAGMA user_version = 9");
    }
    QFile f(journal());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    Result r = run({"add", "--at", "2024-04-21 03:00:00"}, "Река");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_TRUE(r.err.contains("записан более новой версией программы")) << r.err.toStdString();
    r = run({"list"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("1\t20.04.2024 03:00"));
    EXPECT_TRUE(r.err.contains("читаю копию дневника только для чтения"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
}

} // namespace
