// `kelmor find`, run as a process: its rows on fixture books and on the bundled sample books,
// --json, --book, --limit, text that would be FTS5 syntax, the exit statuses, and the cache it
// leaves (the books untouched).
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include "books/engine/book_writer.h"
#include "platform/settings.h"

#include <gtest/gtest.h>

namespace {

using kelmor::books::BookRecord;
using kelmor::books::BookSource;

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

Result runFind(const QStringList &args, const QString &dataDirs, const QString &configHome,
               const QString &cacheHome)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_DIRS", dataDirs);
    env.insert("XDG_CONFIG_HOME", configHome);
    env.insert("XDG_CACHE_HOME", cacheHome);
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(env);
    process.start(KELMOR_EXECUTABLE, QStringList{"find"} + args);
    EXPECT_TRUE(process.waitForFinished(60000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QByteArray hashOf(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

class FindCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        booksDir = root.filePath("data/ZEL Programming/ZEL Kelmor/3.1/Books");
        ASSERT_TRUE(QDir().mkpath(booksDir));
        ASSERT_TRUE(QDir().mkpath(root.filePath("config")));
        const auto book = [](const char16_t *tool, std::vector<BookRecord> records) {
            BookSource source;
            source.config.toolName = tool;
            source.config.tolkName = tool;
            source.records = std::move(records);
            return source;
        };
        kelmor::books::writeBookFile(
            book(u"Народный",
                 {{u"Змея", u"Змея во сне – к коварной женщине. Убить змею – одолеть врага.",
                   u"Враг."},
                  {u"Трава", u"Змея, уползающая в траву, – к беде, что миновала.", std::nullopt},
                  {u"Вода", u"Чистая вода – к здоровью.", std::nullopt}}),
            (booksDir + "/a.book").toStdString());
        kelmor::books::writeBookFile(
            book(u"Семейный", {{u"Дом", u"Змеи в доме – к зависти родни.", std::nullopt}}),
            (booksDir + "/b.book").toStdString());
        kelmor::books::writeBookFile(
            book(u"Выключенный", {{u"Гад", u"Змеёй укушенный – к обиде.", std::nullopt}}),
            (booksDir + "/c.book").toStdString());
        auto settings =
            kelmor::platform::SettingsStore::atFile(root.filePath("config/ZEL_Programming.conf"));
        settings.writeInt(kelmor::platform::BooksSection, QDir(booksDir).absoluteFilePath("c.book"),
                          0);
        settings.sync();
    }

    Result run(const QStringList &args)
    {
        return runFind(args, root.filePath("data"), root.filePath("config"),
                       root.filePath("cache"));
    }

    QTemporaryDir root;
    QString booksDir;
};

TEST_F(FindCommand, PrintsTheMatchingArticlesOfTheEnabledBooksBestFirst)
{
    const QByteArray before = hashOf(booksDir + "/a.book");
    const Result r = run({"змеи"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, "Змея — Народный: [Змея] во сне – к коварной женщине. Убить [змею] – "
                     "одолеть врага.\n"
                     "Дом — Семейный: [Змеи] в доме – к зависти родни.\n"
                     "Трава — Народный: [Змея], уползающая в траву, – к беде, что миновала.\n")
        << r.out.toStdString();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.toStdString();
    EXPECT_EQ(hashOf(booksDir + "/a.book"), before) << "books are only read";
    EXPECT_TRUE(QFile::exists(root.filePath("cache/kelmor/fulltext.sqlite")));

    // The second run finds the index made, and says the same.
    EXPECT_EQ(run({"змеи"}).out, r.out);
}

TEST_F(FindCommand, JsonBookAndLimit)
{
    Result r = run({"--json", "змея", "враг"});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out.toStdString();
    ASSERT_TRUE(doc.isArray());
    ASSERT_EQ(doc.array().size(), 1);
    const QJsonObject row = doc.array().at(0).toObject();
    EXPECT_EQ(row.keys(), (QStringList{"book", "headword", "snippet"}));
    EXPECT_EQ(row["headword"].toString(), "Змея");
    EXPECT_EQ(row["book"].toString(), "Народный");
    EXPECT_EQ(row["snippet"].toString(),
              "[Змея] во сне – к коварной женщине. Убить [змею] – одолеть [врага].");

    // --book by name or file name, a disabled book too; --limit keeps the best.
    for (const QStringList &args :
         {QStringList{"--book", "выключенный", "змея"}, QStringList{"--book=c", "змея"},
          QStringList{"змея", "--book", "c.book"}}) {
        r = run(args);
        EXPECT_EQ(r.exitCode, 0) << args.join(' ').toStdString();
        EXPECT_EQ(r.out, "Гад — Выключенный: [Змеёй] укушенный – к обиде.\n")
            << args.join(' ').toStdString();
    }
    r = run({"--book", "a", "--book", "Семейный", "--limit", "1", "змея"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.count(u'\n'), 1);
    EXPECT_TRUE(r.out.startsWith("Змея — Народный:")) << r.out.toStdString();
}

TEST_F(FindCommand, QueryTextIsNeverSyntaxAndNothingFoundIsStatusOne)
{
    // Stray quotes, operators, prefixes and column names are read as words or left out.
    Result r = run({"змея*", "-", ":", "\""});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.out.count(u'\n'), 3);
    r = run({"\"змеи", "во", "сне\""});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith("Змея — Народный:")) << r.out.toStdString();
    EXPECT_EQ(r.out.count(u'\n'), 1);
    for (const QStringList &args :
         {QStringList{"NEAR(змея", "вода)"}, QStringList{"вода", "OR", "змея"}, QStringList{"шмяк"},
          QStringList{"\"коварная змея\""}}) {
        r = run(args);
        EXPECT_EQ(r.exitCode, 1) << args.join(' ').toStdString() << r.err.toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_EQ(r.err, "kelmor find: ничего не найдено\n");
    }
    r = run({"--json", "шмяк"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out.trimmed(), "[\n]");
}

TEST_F(FindCommand, WrongUsageIsStatusTwo)
{
    for (const QStringList &args :
         {QStringList{}, QStringList{"\" * -"}, QStringList{"--limit", "0", "змея"},
          QStringList{"--limit=abc", "змея"}, QStringList{"змея", "--limit"},
          QStringList{"--frobnicate", "змея"}, QStringList{"--book", "Нет такого", "змея"},
          QStringList{"--book"}}) {
        const Result r = run(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.startsWith("kelmor find: ")) << r.err.toStdString();
    }
    const Result unknown = run({"--book", "Нет такого", "змея"});
    EXPECT_TRUE(unknown.err.contains("«Народный» (a.book)")) << unknown.err.toStdString();
    EXPECT_EQ(run({"--help"}).exitCode, 0);
    ASSERT_TRUE(QDir(booksDir).removeRecursively());
    const Result missing = run({"змея"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.startsWith("Невозможно найти папку с данными:"));
}

// The articles of the sample sources that speak of a snake in any form, as "headword/book".
QSet<QString> snakeArticlesOfTheSources()
{
    static const QRegularExpression snake(
        QStringLiteral("(?<!\\w)зме(я|и|ю|е|ей|ёй|ею|ёю|й|ям|ями|ях)(?!\\w)"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    QSet<QString> found;
    const QDir sources(QStringLiteral(KELMOR_SOURCE "/data/sources"));
    for (const QString &name : sources.entryList({"*.txt"})) {
        QFile file(sources.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        QString book;
        QString headword;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (line.startsWith("ToolName: "))
                book = line.mid(10).trimmed();
            else if (line.startsWith("= "))
                headword = line.mid(2).trimmed();
            else if (!headword.isEmpty() && !line.startsWith('@') && snake.match(line).hasMatch())
                found.insert(headword + u'/' + book);
        }
    }
    return found;
}

TEST(FindCommandOnTheSampleBooks, FindsEveryArticleThatSpeaksOfASnakeInAnyForm)
{
    QTemporaryDir scratch;
    const QSet<QString> expected = snakeArticlesOfTheSources();
    ASSERT_GE(expected.size(), 4);
    const Result r = runFind({"змеи", "--json", "--limit", "10000"}, KELMOR_BUILD_SHARE,
                             scratch.filePath("config"), scratch.filePath("cache"));
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    QSet<QString> found;
    for (const QJsonValue &row : QJsonDocument::fromJson(r.out.toUtf8()).array())
        found.insert(row["headword"].toString() + u'/' + row["book"].toString());
    EXPECT_EQ(found, expected);
}

} // namespace
