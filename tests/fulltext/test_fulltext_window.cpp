// The search as the program drives it: indexing on the worker thread while the window shows the
// results so far and the progress, the keys and the double click that ask for a headword, the
// enabled books, a damaged cache said and rebuilt, and an indexing cut short by the end of the
// program and completed at the next start.
#include "books/word_forms.h"
#include "fulltext/fulltext_model.h"
#include "fulltext/fulltext_search.h"
#include "fulltext/fulltext_window.h"
#include "support/book_fixture.h"
#include "viewer/dark_theme.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {

using namespace kelmor;
using namespace kelmor::fulltext;
using kelmor::testing::BookFolder;

std::shared_ptr<const books::WordForms> russian()
{
    static const std::shared_ptr<const books::WordForms> forms =
        books::WordForms::systemDictionary();
    return forms;
}

void typeText(QWidget *widget, const QString &text)
{
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, text, Qt::NoModifier);
}

class FulltextWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(russian()->isAvailable());
        books.write({"a.book",
                     "Народный",
                     {},
                     {},
                     {},
                     {{"Змея", "Змея во сне – к коварной женщине. Убить змею – одолеть врага."},
                      {"Дорога", "Дальняя дорога – к переменам; деньги на дороге – к прибыли."},
                      {"Кошелёк", "Найти кошелёк с деньгами – к заботам в пути."}}});
        books.write({"b.book",
                     "Семейный",
                     {},
                     {},
                     {},
                     {{"Змея", "Змея в доме – к зависти родни."},
                      {"Деньги", "Считать деньги – к расходам."}}});
    }

    std::unique_ptr<FulltextSearch> makeSearch()
    {
        FulltextSearch::Options options;
        options.cacheFile = cacheFile();
        options.forms = russian();
        auto search = std::make_unique<FulltextSearch>(options);
        search->setBooks(booksList());
        return search;
    }

    std::vector<FulltextBook> booksList(bool bEnabled = true) const
    {
        return {{books.filePath("a.book"), "Народный", true, 3},
                {books.filePath("b.book"), "Семейный", bEnabled, 2}};
    }

    QString cacheFile() const { return cache.filePath("kelmor/fulltext.sqlite"); }

    static void waitForIndexing(FulltextSearch &search)
    {
        if (!search.isIndexing())
            return;
        QSignalSpy finished(&search, &FulltextSearch::indexingFinished);
        ASSERT_TRUE(finished.wait(30000));
    }

    static QStringList rows(const FulltextResultsModel &model)
    {
        QStringList out;
        for (int r = 0; r < model.rowCount(); ++r)
            out << model.headwordAt(r) + u'/' + model.bookAt(r);
        return out;
    }

    BookFolder books;
    QTemporaryDir cache;
};

TEST_F(FulltextWindowTest, ResultsShowWhileTheProgressBarFillsAndGrowToTheWholeAnswer)
{
    const auto search = makeSearch();
    FulltextWindow window(*search);
    window.show();
    auto *progress = window.findChild<QProgressBar *>("FulltextProgress");
    ASSERT_NE(progress, nullptr);
    EXPECT_TRUE(window.statusText().startsWith("Напишите слова из толкования"));
    EXPECT_FALSE(progress->isVisible());

    window.setQueryText("змеи");
    window.searchNow();
    EXPECT_EQ(window.model()->rowCount(), 0);
    EXPECT_TRUE(window.statusText().contains("Без указателя остались сонники: 2"))
        << window.statusText().toStdString();

    struct Seen
    {
        int rows;
        bool indexing;
        QString status;
    };
    std::vector<Seen> seen;
    QObject::connect(&window, &FulltextWindow::resultsShown, [&] {
        seen.push_back({window.model()->rowCount(), search->isIndexing(), window.statusText()});
    });
    search->start();
    EXPECT_TRUE(progress->isVisible());
    EXPECT_TRUE(progress->text().startsWith("Проиндексировано 0 из 2 сонников"))
        << progress->text().toStdString();
    waitForIndexing(*search);

    // Rows came while the indexing ran, and the status said so.
    const auto during = std::find_if(seen.begin(), seen.end(),
                                     [](const Seen &s) { return s.rows > 0 && s.indexing; });
    ASSERT_NE(during, seen.end());
    EXPECT_TRUE(during->status.contains("сонников: результаты ещё дополнятся"))
        << during->status.toStdString();
    // Then the whole answer, the best first, and the bar is gone.
    EXPECT_EQ(rows(*window.model()), (QStringList{"Змея/Народный", "Змея/Семейный"}));
    EXPECT_EQ(window.statusText(), "Найдено статей: 2.");
    EXPECT_FALSE(progress->isVisible());
    const QModelIndex snippet = window.model()->index(0, FulltextResultsModel::SnippetColumn);
    EXPECT_EQ(snippet.data(FulltextResultsModel::SnippetHtmlRole).toString(),
              "<b>Змея</b> во сне – к коварной женщине. Убить <b>змею</b> – одолеть врага.");
    EXPECT_EQ(snippet.data().toString(),
              "Змея во сне – к коварной женщине. Убить змею – одолеть врага.");
}

TEST_F(FulltextWindowTest, EnterAndADoubleClickAskForTheHeadword)
{
    const auto search = makeSearch();
    search->start();
    waitForIndexing(*search);
    FulltextWindow window(*search);
    window.show();
    QSignalSpy asked(&window, &FulltextWindow::headwordRequested);
    auto *field = window.findChild<QLineEdit *>("FulltextQuery");
    auto *list = window.findChild<QTreeView *>("FulltextResults");
    ASSERT_NE(field, nullptr);
    ASSERT_NE(list, nullptr);

    // Typing searches after a pause; Enter on a new text searches at once, then opens.
    typeText(field, "деньги дорога");
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(asked.count(), 0);
    EXPECT_EQ(rows(*window.model()), QStringList{"Дорога/Народный"});
    QTest::keyClick(field, Qt::Key_Return);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.takeFirst().at(0).toString(), "Дорога");

    field->clear();
    typeText(field, "деньгами");
    QSignalSpy shown(&window, &FulltextWindow::resultsShown);
    ASSERT_TRUE(shown.wait(2000)) << "the pause after typing";
    ASSERT_EQ(window.model()->rowCount(), 3);
    // Down goes into the list; Enter there opens the current row.
    QTest::keyClick(field, Qt::Key_Down);
    EXPECT_TRUE(list->hasFocus());
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.takeFirst().at(0).toString(), window.model()->headwordAt(1));

    const QRect third = list->visualRect(window.model()->index(2, 0));
    // A double click is a press first.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, third.center());
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, third.center());
    ASSERT_EQ(asked.count(), 1);
    EXPECT_EQ(asked.takeFirst().at(0).toString(), window.model()->headwordAt(2));

    // Esc closes the window.
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(FulltextWindowTest, SnippetsTakeTheViewsColoursSelectedOrNot)
{
    const kelmor::viewer::testing::DarkTheme dark;
    const auto search = makeSearch();
    search->start();
    waitForIndexing(*search);
    FulltextWindow window(*search);
    window.resize(760, 300);
    window.show();
    window.setQueryText("змеи");
    window.searchNow();
    ASSERT_EQ(window.model()->rowCount(), 2);
    auto *list = window.findChild<QTreeView *>("FulltextResults");
    list->setCurrentIndex(window.model()->index(0, 0)); // the first row selected
    const QImage shot = list->viewport()->grab().toImage();
    const auto grays = [&](int row) {
        const QRect cell =
            list->visualRect(window.model()->index(row, FulltextResultsModel::SnippetColumn));
        std::vector<int> out;
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= std::min(cell.right(), shot.width() - 1); ++x)
                out.push_back(qGray(shot.pixel(x, y)));
        return out;
    };
    const auto count = [](const std::vector<int> &v, auto pred) {
        return std::count_if(v.begin(), v.end(), pred);
    };
    // Not selected: light letters on the dark base, nothing darker than the base.
    const std::vector<int> plain = grays(1);
    EXPECT_GT(count(plain, [](int g) { return g > 0xb0; }), 20);
    EXPECT_EQ(count(plain, [](int g) { return g < 0x14; }), 0);
    // Selected: the theme's dark selected text on its light highlight.
    const std::vector<int> selected = grays(0);
    EXPECT_GT(count(selected, [](int g) { return g < 0x40; }), 20);
}

TEST_F(FulltextWindowTest, OnlyTheEnabledBooksAreSearched)
{
    const auto search = makeSearch();
    search->start();
    waitForIndexing(*search);
    FulltextWindow window(*search);
    window.setQueryText("змеи");
    window.searchNow();
    EXPECT_EQ(window.model()->rowCount(), 2);
    search->setBooks(booksList(false));
    EXPECT_EQ(rows(*window.model()), QStringList{"Змея/Народный"});
    auto none = booksList(false);
    none[0].enabled = false;
    search->setBooks(none);
    EXPECT_EQ(window.model()->rowCount(), 0);
    EXPECT_EQ(window.statusText(), "Все сонники выключены: включите хотя бы один.");
}

TEST_F(FulltextWindowTest, ADamagedCacheIsSaidAndBuiltAgain)
{
    QDir().mkpath(cache.filePath("kelmor"));
    QFile damaged(cacheFile());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(QByteArray(4096, 'x'));
    damaged.close();

    const auto search = makeSearch();
    FulltextWindow window(*search);
    window.setQueryText("змеи");
    window.searchNow();
    search->start();
    waitForIndexing(*search);
    auto *note = window.findChild<QLabel *>("FulltextNote");
    ASSERT_NE(note, nullptr);
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains("повреждён")) << note->text().toStdString();
    EXPECT_TRUE(note->text().contains(cacheFile())) << "names the file";
    EXPECT_EQ(window.model()->rowCount(), 2);
}

TEST_F(FulltextWindowTest, AnIndexingCutShortByTheEndOfTheProgramIsCompletedNextTime)
{
    QStringList many;
    for (int i = 0; i < 3000; ++i)
        many << QStringLiteral("Слово") + QChar(u'а' + i % 32) + QChar(u'а' + i / 32 % 32) +
                    QChar(u'а' + i / 1024);
    books.write({"c.book", "Большой", many, {}, {}, {}});
    auto list = booksList();
    list.push_back({books.filePath("c.book"), "Большой", true, 3000});
    {
        auto search = makeSearch();
        search->setBooks(list);
        QSignalSpy indexed(search.get(), &FulltextSearch::bookIndexed);
        search->start();
        while (search->isIndexing() && search->progress().booksDone < 1)
            ASSERT_TRUE(indexed.wait(30000));
        // The program ends here: the worker stops within an article.
    }
    auto search = makeSearch();
    search->setBooks(list);
    search->start();
    waitForIndexing(*search);
    EXPECT_EQ(search->progress().booksDone, 3);
    EXPECT_TRUE(search->bookErrors().isEmpty());
    EXPECT_EQ(search->search("толкование").total, 3000);
    EXPECT_EQ(search->search("змеи").total, 2);
}

} // namespace
