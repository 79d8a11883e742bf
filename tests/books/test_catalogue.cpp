// The book catalogue: which files become books and in what order, their fields and icon keys,
// enabled states by full path, the menu actions, damaged books and the fatal conditions.

#include "books/book_icon.h"
#include "books/catalogue.h"
#include "books/engine/jet.h"
#include "books/engine/jet_writer.h"
#include "support/book_fixture.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QHash>
#include <QRegularExpression>

using namespace kelmor::books;
using namespace kelmor::testing;

namespace {

Catalogue::StateReader statesFrom(const QHash<QString, int> &stored)
{
    return [stored](const QString &path) -> std::optional<int> {
        const auto it = stored.constFind(path);
        return it == stored.cend() ? std::nullopt : std::optional<int>(it.value());
    };
}

QStringList toolNames(const Catalogue &c)
{
    QStringList out;
    for (const BookEntry &b : c.books())
        out << b.toolName;
    return out;
}

} // namespace

TEST(Catalogue, OrderFieldsAndIconKeysCountEveryListedFile)
{
    BookFolder folder;
    folder.write({"b_second.book", "Второй", {"Вода"}, iconText(Qt::red), QStringLiteral("255")});
    folder.write({"A_first.book", "Первый", {"Вода", "Дом"}, std::nullopt, std::nullopt});
    // Sorts between the two books (ignoring case) but carries no marker: no book, yet counted.
    folder.writeRaw("a_middle.BOOK", QByteArray("Standard Jet DB, not a book at all"));
    folder.writeRaw("readme.txt", QByteArray("DB1 ZEL Kelmor book v3 ignored: wrong extension"));

    Catalogue c;
    const auto result = c.load(folder.path());
    ASSERT_EQ(result.status, Catalogue::Status::Ok);
    EXPECT_TRUE(result.skipped.isEmpty());
    ASSERT_EQ(c.count(), 2);
    EXPECT_EQ(toolNames(c), (QStringList{"Первый", "Второй"}));

    const BookEntry &first = c.book(0);
    EXPECT_EQ(first.path, folder.filePath("A_first.book"));
    EXPECT_EQ(first.tolkName, "ПЕРВЫЙ");
    EXPECT_EQ(first.color, "0"); // Null colour
    EXPECT_EQ(bookIcon(first).imageKey, "default");
    EXPECT_EQ(first.recordCount, 2);
    EXPECT_EQ(bookIcon(first).image, defaultBookImage());

    const BookEntry &second = c.book(1);
    EXPECT_EQ(second.color, "255");
    EXPECT_EQ(second.filePosition, 2);
    EXPECT_EQ(bookIcon(second).imageKey, "2k");
    EXPECT_FALSE(bookIcon(second).image.isNull());
    EXPECT_NE(bookIcon(second).image, defaultBookImage());
}

TEST(Catalogue, IconShowsThroughTheDefaultImage)
{
    const QImage icon = composeBookIcon(iconText(QColor(0, 200, 0)));
    const QImage def = defaultBookImage();
    ASSERT_EQ(icon.size(), def.size());
    bool sawIcon = false, sawDefault = false;
    for (int y = 0; y < def.height(); ++y)
        for (int x = 0; x < def.width(); ++x) {
            const QColor d = def.pixelColor(x, y), got = icon.pixelColor(x, y);
            if (d.alpha() == 0) { // transparent in the default image: the book's icon
                EXPECT_EQ(got, QColor(0, 200, 0)) << x << "," << y;
                sawIcon = true;
            } else if (d.alpha() == 255) { // opaque in the default image: drawn over the icon
                EXPECT_EQ(got, d) << x << "," << y;
                sawDefault = true;
            }
        }
    EXPECT_TRUE(sawIcon && sawDefault);

    // Bytes that are not a picture: no icon (the caller falls back to the default image).
    EXPECT_TRUE(composeBookIcon(u"not a picture").isNull());
    EXPECT_TRUE(composeBookIcon(u"").isNull());
}

TEST(Catalogue, UndecodableIconKeepsTheBookWithTheDefaultImage)
{
    BookFolder folder;
    folder.write({"a.book", "С плохой иконкой", {"Вода"}, std::u16string(u"GIF89a broken"), {}});
    Catalogue c;
    ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
    ASSERT_EQ(c.count(), 1);
    EXPECT_EQ(bookIcon(c.book(0)).imageKey, "default");
    EXPECT_EQ(bookIcon(c.book(0)).image, defaultBookImage());
}

TEST(Catalogue, EnabledStatesAreKeyedByFullPath)
{
    BookFolder folder;
    for (const char *name : {"a.book", "b.book", "c.book"})
        folder.write({name, name, {"Вода"}, {}, {}});
    const QHash<QString, int> stored = {
        {folder.filePath("a.book"), 0},
        {folder.filePath("b.book"), 1},
        // A state stored under the name the file had before it was renamed: not used.
        {folder.filePath("c_old.book"), 0},
    };
    Catalogue c;
    ASSERT_EQ(c.load(folder.path(), statesFrom(stored)).status, Catalogue::Status::Ok);
    EXPECT_FALSE(c.isEnabled(0));
    EXPECT_TRUE(c.isEnabled(1));
    EXPECT_TRUE(c.isEnabled(2));

    const auto states = c.states();
    ASSERT_EQ(states.size(), 3);
    EXPECT_EQ(states[0], qMakePair(folder.filePath("a.book"), false));
    EXPECT_EQ(states[2], qMakePair(folder.filePath("c.book"), true));
}

TEST(Catalogue, MenuActionsChangeStatesAndReportOnce)
{
    BookFolder folder;
    for (const char *name : {"a.book", "b.book", "c.book"})
        folder.write({name, name, {"Вода"}, {}, {}});
    Catalogue c;
    ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
    int reports = 0;
    QObject::connect(&c, &Catalogue::enabledChanged, [&] { ++reports; });
    const auto enabled = [&] {
        QList<bool> out;
        for (int n = 0; n < c.count(); ++n)
            out << c.isEnabled(n);
        return out;
    };

    c.keepOnly(1);
    EXPECT_EQ(enabled(), (QList<bool>{false, true, false}));
    c.setAllEnabled(false);
    EXPECT_EQ(enabled(), (QList<bool>{false, false, false}));
    EXPECT_EQ(c.enabledCount(), 0);
    c.setEnabled(2, true);
    EXPECT_EQ(enabled(), (QList<bool>{false, false, true}));
    c.setAllEnabled(true);
    EXPECT_EQ(enabled(), (QList<bool>{true, true, true}));
    EXPECT_EQ(reports, 4);
    c.setEnabled(7, false); // no such book
    EXPECT_EQ(reports, 4);
}

TEST(Catalogue, DamagedBookIsSkippedAndTheOthersLoad)
{
    BookFolder folder;
    folder.write({"a.book", "Хороший", {"Вода"}, {}, {}});
    // The marker, then garbage: not a database.
    folder.writeRaw("b_broken.book",
                    QByteArray("DB1 ZEL Kelmor book v3") + QByteArray(5000, '\x7f'));
    folder.write({"c.book", "Тоже хороший", {"Дом"}, {}, {}});
    const QByteArray before = folder.read("b_broken.book");

    Catalogue c;
    const auto result = c.load(folder.path());
    ASSERT_EQ(result.status, Catalogue::Status::Ok);
    EXPECT_EQ(toolNames(c), (QStringList{"Хороший", "Тоже хороший"}));
    EXPECT_EQ(bookIcon(c.book(1)).imageKey, "default");
    EXPECT_EQ(c.book(1).filePosition, 2);
    ASSERT_EQ(result.skipped.size(), 1);
    EXPECT_EQ(result.skipped[0].fileName, "b_broken.book");
    EXPECT_FALSE(result.skipped[0].reason.isEmpty());

    const QStringList lines = SkippedBooksMessage(result.skipped).split('\n');
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Не удалось открыть сонник:");
    EXPECT_TRUE(lines[1].startsWith("b_broken.book: "));
    EXPECT_TRUE(SkippedBooksMessage({}).isEmpty());
    // The file is left exactly as it was.
    EXPECT_EQ(folder.read("b_broken.book"), before);
}

namespace {

// A book file of the given tables, with the book marker.
QByteArray bookOf(const std::vector<JetTableSpec> &tables)
{
    std::vector<std::uint8_t> bytes = buildJetDatabase(tables);
    std::copy(kBookMarker.begin(), kBookMarker.end(), bytes.begin());
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
}

JetTableSpec configTable(std::vector<std::vector<JetCell>> rows)
{
    return {u"Config",
            {{u"Icon", ColumnType::Memo},
             {u"ToolName", ColumnType::Text, 255},
             {u"TolkName", ColumnType::Text, 255},
             {u"Color", ColumnType::Text, 255}},
            std::move(rows)};
}

JetTableSpec bookTable()
{
    return {u"Book",
            {{u"List", ColumnType::Text, 255},
             {u"Text", ColumnType::Memo},
             {u"Links", ColumnType::Memo}},
            {{std::u16string(u"Вода"), JetCell{}, JetCell{}}}};
}

} // namespace

// Every reason given for a skipped book is Russian: the only Latin words in it are the names of
// the book's tables and fields.
TEST(Catalogue, ReasonsForSkippedBooksAreInRussian)
{
    BookFolder folder;
    folder.write({"a.book", "Хороший", {"Вода"}, {}, {}});
    folder.writeRaw("b_garbage.book",
                    QByteArray("DB1 ZEL Kelmor book v3") + QByteArray(5000, '\x7f'));
    folder.writeRaw("c_no_config_record.book", bookOf({bookTable(), configTable({})}));
    folder.writeRaw(
        "d_null_name.book",
        bookOf({bookTable(), configTable({{JetCell{}, JetCell{}, JetCell{}, JetCell{}}})}));
    folder.writeRaw(
        "e_no_book_table.book",
        bookOf({configTable({{JetCell{}, std::u16string(u"Имя"), JetCell{}, JetCell{}}})}));
    folder.write({"f_truncated.book", "Укороченный", {"Дом"}, {}, {}});
    QFile::resize(folder.filePath("f_truncated.book"), 3 * 4096);
    folder.writeRaw("g_short.book", QByteArray("DB1 ZEL Kelmor book v3") + QByteArray(100, '\0'));

    Catalogue c;
    const auto result = c.load(folder.path());
    ASSERT_EQ(result.status, Catalogue::Status::Ok);
    EXPECT_EQ(toolNames(c), QStringList{"Хороший"});
    ASSERT_EQ(result.skipped.size(), 6);
    const QStringList schemaNames = {"Book",     "Config",   "List",  "Text", "Links",      "Icon",
                                     "ToolName", "TolkName", "Color", "Jet",  "MSysObjects"};
    static const QRegularExpression latinWord(QStringLiteral("[A-Za-z]{2,}"));
    static const QRegularExpression cyrillic(QStringLiteral("[а-яА-ЯёЁ]"));
    for (const Catalogue::SkippedBook &s : result.skipped) {
        SCOPED_TRACE((s.fileName + ": " + s.reason).toStdString());
        QString reason = s.reason;
        reason.remove(folder.path()).remove(s.fileName);
        EXPECT_TRUE(reason.contains(cyrillic));
        for (auto it = latinWord.globalMatch(reason); it.hasNext();) {
            const QString word = it.next().captured();
            EXPECT_TRUE(schemaNames.contains(word)) << word.toStdString();
        }
    }

    // An opener that gives no database at all.
    Catalogue empty;
    empty.setOpener([](const std::string &) { return std::unique_ptr<Database>(); });
    const auto none = empty.load(folder.path());
    ASSERT_FALSE(none.skipped.isEmpty());
    EXPECT_FALSE(none.skipped[0].reason.contains(latinWord))
        << none.skipped[0].reason.toStdString();
}

TEST(Catalogue, LoadingNeverWritesToABook)
{
    BookFolder folder;
    folder.write({"a.book", "Сонник", {"Вода", "Дом"}, iconText(Qt::blue), {}});
    const QByteArray before = folder.read("a.book");
    {
        Catalogue c;
        ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
        EXPECT_TRUE(folder.read("a.book").startsWith("DB1 ZEL Kelmor book v3"));
    }
    EXPECT_EQ(folder.read("a.book"), before);
}

TEST(Catalogue, FatalConditions)
{
    struct Case
    {
        const char *what;
        std::function<QString(BookFolder &)> prepare; // returns the folder to load
        Catalogue::Status expected;
    };
    const std::vector<Case> cases = {
        {"missing folder", [](BookFolder &f) { return f.filePath("no such folder"); },
         Catalogue::Status::MissingFolder},
        {"no book files",
         [](BookFolder &f) {
             f.writeRaw("notes.txt", "x");
             return f.path();
         },
         Catalogue::Status::NoBookFiles},
        {"no file with the marker",
         [](BookFolder &f) {
             f.writeRaw("a.book", QByteArray(2000, 'x'));
             f.writeRaw("short.book", "DB1 ZEL");
             return f.path();
         },
         Catalogue::Status::NoCompatibleBooks},
        {"every marked file damaged",
         [](BookFolder &f) {
             f.writeRaw("a.book", QByteArray("DB1 ZEL Kelmor book v3") + QByteArray(100, '\0'));
             return f.path();
         },
         Catalogue::Status::NoCompatibleBooks},
    };
    for (const Case &tc : cases) {
        BookFolder folder;
        Catalogue c;
        const auto result = c.load(tc.prepare(folder));
        EXPECT_EQ(result.status, tc.expected) << tc.what;
        EXPECT_EQ(c.count(), 0) << tc.what;
    }
}

TEST(Catalogue, FindsStoredArticleIgnoringCase)
{
    BookFolder folder;
    folder.write({"a.book", "Сонник", {"Вода", "Дом"}, {}, {}});
    Catalogue c;
    ASSERT_EQ(c.load(folder.path()).status, Catalogue::Status::Ok);
    const auto found = c.find(0, u"ДОМ");
    ASSERT_TRUE(found.has_value());
    ASSERT_TRUE(found->text.has_value());
    EXPECT_EQ(DecompressText(*found->text), u"Толкование: Дом");
    EXPECT_FALSE(found->links.has_value());
    EXPECT_FALSE(c.find(0, u"Дым").has_value());
    EXPECT_FALSE(c.find(5, u"Дом").has_value());
}
