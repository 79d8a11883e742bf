// `kelmor lookup`, run as a process on a books folder of fixture books.
#include "platform/settings.h"
#include "support/book_fixture.h"
#include "viewer/lookup_command.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace {

struct Result
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

class LookupCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        booksDir = folder.path();
        ASSERT_TRUE(QDir().mkpath(folder.rootPath("config")));
        folder.write(
            {"a.book",
             "Сонник 1",
             {},
             {},
             QStringLiteral("255"),
             {{"Вода", "Чистая вода – к радости.", "река; море."}, {"Луна", "К переменам."}},
             QStringLiteral("Первый сонник")});
        folder.write({"b.book",
                      "Сонник 2",
                      {},
                      {},
                      QStringLiteral("32768"),
                      {{"вода", "Мутная вода – к болезни.", "море; лёд."}},
                      QStringLiteral("Второй сонник")});
        folder.write({"c.book",
                      "Сонник 3",
                      {},
                      {},
                      QStringLiteral("0"),
                      {{"Вода", "Не показывать."}, {"Огонь", "Только здесь."}},
                      QStringLiteral("Выключенный")});
        auto settings =
            kelmor::platform::SettingsStore::atFile(folder.rootPath("config/ZEL_Programming.conf"));
        settings.writeInt(kelmor::platform::BooksSection, QDir(booksDir).absoluteFilePath("c.book"),
                          0);
        settings.sync();
    }

    Result run(const QStringList &args, const QString &cacheHome = {})
    {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!cacheHome.isEmpty())
            env.insert("XDG_CACHE_HOME", cacheHome);
        env.insert("XDG_DATA_DIRS", folder.dataDir());
        env.insert("XDG_CONFIG_HOME", folder.rootPath("config"));
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        process.setProcessEnvironment(env);
        process.start(KELMOR_EXECUTABLE, QStringList{"lookup"} + args);
        EXPECT_TRUE(process.waitForFinished(30000));
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    kelmor::testing::BookFolder folder;
    QString booksDir;
};

} // namespace

TEST_F(LookupCommand, PrintsEnabledBooksHeadingsArticlesAndLinks)
{
    const Result r = run({"вОДА"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString out = QString::fromUtf8(r.out);
    EXPECT_EQ(out, "вОДА\n\n Первый сонник:\nЧистая вода – к радости.\n\n Второй сонник:\n"
                   "Мутная вода – к болезни.\n\nрека, море, лёд\n")
        << out.toStdString();
    EXPECT_FALSE(r.out.contains('\x1b')) << "no colours when not a terminal";
}

TEST_F(LookupCommand, RawPrintsTheDocumentAsAssembled)
{
    const Result r = run({"--raw", "Вода"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out), " Вода\r\n\r\n& Первый сонник:§\r\nЧистая вода – к радости."
                                        "\r\n\r\n& Второй сонник:§\r\nМутная вода – к болезни."
                                        "\r\n\r\nF^<река>, <море>, <лёд>\r\n");
}

TEST_F(LookupCommand, WordOnlyInADisabledBookOrNowhere)
{
    for (const char *word : {"Огонь", "Жираф"}) {
        const Result r = run({word});
        EXPECT_EQ(r.exitCode, 1) << word;
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(QString::fromUtf8(r.err),
                  "Извините, но толкование по данному слову не найдено.\n");
    }
    const Result usage = run({});
    EXPECT_EQ(usage.exitCode, 2);
}

TEST_F(LookupCommand, AWordInAnotherFormShowsTheInterpretationOfItsHeadword)
{
    const Result r = run({"воды"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // The list has "вода" (second book) before "Вода" (first book); either finds both articles.
    EXPECT_EQ(QString::fromUtf8(r.out),
              "вода\n\n Первый сонник:\nЧистая вода – к радости.\n\n Второй сонник:\n"
              "Мутная вода – к болезни.\n\nрека, море, лёд\n")
        << r.out.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.err), "«воды» → вода\n");
    // "огня" is a form of "Огонь", which only the disabled book has.
    const Result off = run({"огня"});
    EXPECT_EQ(off.exitCode, 1);
    EXPECT_EQ(QString::fromUtf8(off.err), "Извините, но толкование по данному слову не найдено.\n");
}

// A book that carries the marker but does not open is named on standard error, with its path
// and the reason in Russian; the other books' interpretation is printed as usual.
TEST_F(LookupCommand, BooksReadFromTheirTablesAreIndexedAfterTheAnswerAndAnswerAlike)
{
    const QTemporaryDir cache;
    const QString headwords = cache.filePath("kelmor/headwords");
    const auto bookBytes = [this] {
        QByteArray all;
        for (const char *name : {"a.book", "b.book", "c.book"}) {
            QFile f(QDir(booksDir).filePath(name));
            all += f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
        }
        return all;
    };
    const QByteArray booksBefore = bookBytes();
    // As written, through a form, absent, a phrase.
    const QStringList words = {"вОДА", "воды", "Жираф", "чистая вода"};
    std::vector<Result> cold;
    for (const QString &w : words)
        cold.push_back(run({w}, cache.path()));
    // The answer came before the indexes: a process left behind writes them, the forms of the
    // headwords and the library's roots, then lets its lock go.
    QElapsedTimer waited;
    waited.start();
    while (!(QFile::exists(headwords + "/roots") && !QFile::exists(headwords + "/indexing.lock")) &&
           waited.elapsed() < 60000)
        QThread::msleep(50);
    ASSERT_TRUE(QFile::exists(headwords + "/roots"));
    EXPECT_EQ(QDir(headwords).entryList({"*.forms"}, QDir::Files).size(), 3);
    for (std::size_t i = 0; i < cold.size(); ++i) {
        const Result warm = run({words.at(qsizetype(i))}, cache.path());
        EXPECT_EQ(warm.exitCode, cold[i].exitCode) << words.at(qsizetype(i)).toStdString();
        EXPECT_EQ(warm.out, cold[i].out) << words.at(qsizetype(i)).toStdString();
        EXPECT_EQ(warm.err, cold[i].err) << words.at(qsizetype(i)).toStdString();
    }
    EXPECT_EQ(cold[1].exitCode, 0);
    EXPECT_EQ(cold[2].exitCode, 1);
    EXPECT_EQ(bookBytes(), booksBefore) << "the books are never written";
}

TEST_F(LookupCommand, DamagedBooksAreNamedOnStandardErrorAndTheOthersStillShow)
{
    QFile garbage(booksDir + "/a2_garbage.book");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray("DB1 ZEL Kelmor book v3") + QByteArray(9000, '\x7f'));
    garbage.close();
    ASSERT_TRUE(QFile::copy(booksDir + "/a.book", booksDir + "/a3_truncated.book"));
    ASSERT_TRUE(QFile::resize(booksDir + "/a3_truncated.book", 3 * 4096));

    const Result r = run({"Вода"});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(r.out),
              "Вода\n\n Первый сонник:\nЧистая вода – к радости.\n\n Второй сонник:\n"
              "Мутная вода – к болезни.\n\nрека, море, лёд\n");
    const QStringList lines = QString::fromUtf8(r.err).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << r.err.toStdString();
    const QString dir = QDir(booksDir).absolutePath();
    EXPECT_TRUE(lines[0].startsWith("kelmor lookup: сонник «" + dir +
                                    "/a2_garbage.book» пропущен: файл не открывается как сонник"))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].startsWith("kelmor lookup: сонник «" + dir +
                                    "/a3_truncated.book» пропущен: файл не открывается как сонник"))
        << lines[1].toStdString();
}

TEST_F(LookupCommand, MissingBooksFolder)
{
    ASSERT_TRUE(QDir(booksDir).removeRecursively());
    const Result r = run({"Вода"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(QString::fromUtf8(r.err).startsWith("Невозможно найти папку с данными:"))
        << r.err.toStdString();
}

TEST(LookupTerminalText, ColoursFollowTheFormatting)
{
    const std::u16string doc = u" сон\r\n\r\n& Книга:§\r\nВода – к слезам\r\n\r\nF^<ночь>\r\n";
    const std::vector<kelmor::viewer::HeadingStyle> headings{{u"Книга", 0x0000FF}};
    const QByteArray text = kelmor::viewer::terminalText(doc, 3, headings, true);
    // Heading word bold underlined navy; book title bold italic red; link green underlined.
    EXPECT_TRUE(text.startsWith("\x1b[0;1;4;38;2;0;0;128mсон")) << text.toStdString();
    EXPECT_TRUE(text.contains("\x1b[0;1;3;38;2;255;0;0m Книга:")) << text.toStdString();
    EXPECT_TRUE(text.contains("\x1b[0;38;2;0;0;255mВода ")) << text.toStdString();
    EXPECT_TRUE(text.contains("\x1b[0;4;38;2;0;128;0mночь")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("\x1b[0m\n")) << text.toStdString();
}
