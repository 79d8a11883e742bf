// The dictionary pane as the user meets it: typing in the search field and in the list, the
// arrow keys, the book menu, the last word, the list modes and the start-up messages.

#include "books/form_cache.h"
#include "books/word_forms.h"
#include "shell/dictionary_pane.h"
#include "support/book_fixture.h"
#include "support/cache_home.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>
#include <QTimer>
#include <QToolBar>

using namespace kelmor::shell;
using namespace kelmor::testing;

namespace {

// Types text as the keyboard would (QTest::keyClicks cannot type Cyrillic).
void typeText(QWidget *w, const QString &text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

struct Message
{
    QMessageBox::Icon icon;
    QString text;
};

class DictionaryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.write({"a.book", "Первый", {"Вода", "Водолей", "Ворона", "Дом", "Ёж"}, {}, {}});
        folder.write({"b.book", "Второй", {"Вода", "Арбуз", "Яма", "Ель"}, {}, {}});
        pane.setMessageHandler([this](QMessageBox::Icon icon, const QString &text) {
            messages.push_back({icon, text});
        });
        pane.resize(300, 400);
    }
    void load()
    {
        ASSERT_TRUE(pane.LoadBooks(folder.path()));
        pane.show();
        pane.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&pane));
    }
    SearchField *field() const { return pane.findChild<SearchField *>("Text1"); }
    WordListView *list() const { return pane.findChild<WordListView *>("ListView1"); }
    QAction *bookButton(int n) const
    {
        return pane.findChild<QToolBar *>("Toolbar2")->actions().at(n);
    }
    int bookButtonCount() const { return pane.findChild<QToolBar *>("Toolbar2")->actions().size(); }
    QAction *menuAction(const QString &name) const { return pane.findChild<QAction *>(name); }
    // A mouse button released over the book toolbar brings the menu's marks up to date.
    void releaseOverBookToolbar()
    {
        QTest::mouseRelease(pane.findChild<QToolBar *>("Toolbar2"), Qt::LeftButton);
    }
    QStringList items() const
    {
        QStringList out;
        for (int r = 0; r < pane.wordList().count(); ++r)
            out << pane.wordList().word(r);
        return out;
    }

    BookFolder folder;
    DictionaryPane pane;
    std::vector<Message> messages;
};

} // namespace

TEST_F(DictionaryTest, LoadShowsBooksListAndStatus)
{
    QSignalSpy status(&pane, &DictionaryPane::statusTextChanged);
    QSignalSpy clicked(&pane, &DictionaryPane::itemClicked);
    load();
    EXPECT_TRUE(messages.empty());
    ASSERT_EQ(bookButtonCount(), 2);
    EXPECT_EQ(bookButton(0)->toolTip(), "Первый");
    EXPECT_TRUE(bookButton(1)->isChecked());
    EXPECT_EQ(items(),
              (QStringList{"Арбуз", "Вода", "Водолей", "Ворона", "Дом", "Ёж", "Ель", "Яма"}));
    EXPECT_EQ(pane.statusText(), "9 слованых статей; ~45 толкований");
    ASSERT_FALSE(status.isEmpty());
    EXPECT_EQ(status.last().at(0).toString(), pane.statusText());
    // Listcheck: the first word selected, in the field, clicked.
    EXPECT_EQ(pane.selectedWord(), "Арбуз");
    EXPECT_EQ(field()->text(), "Арбуз");
    EXPECT_TRUE(pane.isTolkEnabled());
    ASSERT_EQ(clicked.size(), 1);
    EXPECT_EQ(clicked[0].at(0).toString(), "Арбуз");
}

TEST_F(DictionaryTest, TypingSearchesWithoutClicking)
{
    load();
    QSignalSpy clicked(&pane, &DictionaryPane::itemClicked);
    SearchField *searchField = field();
    searchField->setFocus();
    searchField->selectAll();
    typeText(searchField, "ВО");
    EXPECT_EQ(pane.selectedWord(), "Вода");
    typeText(searchField, "р");
    EXPECT_EQ(pane.selectedWord(), "Ворона");
    typeText(searchField, "щ"); // no word begins with "Ворщ": the selection stays
    EXPECT_EQ(pane.selectedWord(), "Ворона");
    searchField->setText("   ");
    EXPECT_EQ(pane.selectedWord(), "Ворона");
    searchField->setText("ё");
    EXPECT_EQ(pane.selectedWord(), "Ёж");
    EXPECT_TRUE(clicked.isEmpty()); // selecting is not clicking
}

TEST_F(DictionaryTest, ArrowKeysInTheFieldStopAtTheEnds)
{
    load();
    SearchField *searchField = field();
    const struct
    {
        const char *start;
        int key;
        const char *expected;
    } cases[] = {
        {"Арбуз", Qt::Key_Up, "Арбуз"},   {"Арбуз", Qt::Key_Down, "Вода"},
        {"Яма", Qt::Key_Down, "Яма"},     {"Яма", Qt::Key_Up, "Ель"},
        {"Дом", Qt::Key_PageDown, "Дом"}, {"Дом", Qt::Key_PageUp, "Дом"},
    };
    for (const auto &tc : cases) {
        searchField->setFocus();
        searchField->setText(QString::fromUtf8(tc.start));
        ASSERT_EQ(pane.selectedWord(), QString::fromUtf8(tc.start));
        QTest::keyClick(searchField, Qt::Key(tc.key));
        EXPECT_EQ(pane.selectedWord(), QString::fromUtf8(tc.expected)) << tc.start << tc.key;
        EXPECT_TRUE(list()->hasFocus()) << tc.start << tc.key;
    }
}

TEST_F(DictionaryTest, TypingIntoTheListMovesToTheField)
{
    load();
    list()->setFocus();
    ASSERT_TRUE(list()->hasFocus());
    typeText(list(), "д");
    EXPECT_TRUE(field()->hasFocus());
    EXPECT_EQ(field()->text(), "д");
    EXPECT_EQ(field()->cursorPosition(), 1);
    EXPECT_FALSE(field()->hasSelectedText());
    EXPECT_EQ(pane.selectedWord(), "Дом");
    typeText(field(), "О");
    EXPECT_EQ(field()->text(), "дО");
    EXPECT_EQ(pane.selectedWord(), "Дом");

    // A space (code 32) is left to the list.
    list()->setFocus();
    typeText(list(), " ");
    EXPECT_TRUE(list()->hasFocus());
    EXPECT_EQ(field()->text(), "дО");
}

TEST_F(DictionaryTest, LastWordRestore)
{
    load();
    const struct
    {
        const char *stored;
        const char *expected;
    } cases[] = {
        {"Ворона", "Ворона"}, // the exact word
        {"яМ", "Яма"},        // a prefix
        {"Пушка", "Яма"},     // nothing begins with it: the selection stays
        {"  ", "Яма"},        // only spaces: nothing happens
    };
    for (const auto &tc : cases) {
        pane.LoadLastWord(QString::fromUtf8(tc.stored));
        EXPECT_EQ(pane.selectedWord(), QString::fromUtf8(tc.expected)) << tc.stored;
    }
    EXPECT_EQ(pane.lastWordToSave(), std::optional<QString>("Яма"));
}

TEST_F(DictionaryTest, BookMenuActions)
{
    load();
    QSignalSpy closeViewer(&pane, &DictionaryPane::viewerCloseRequested);
    QSignalSpy busyStart(&pane, &DictionaryPane::busyStarted);
    QSignalSpy busyEnd(&pane, &DictionaryPane::busyFinished);

    menuAction("mnuBook2")->trigger(); // "Оставить один": Второй
    EXPECT_FALSE(bookButton(0)->isChecked());
    EXPECT_TRUE(bookButton(1)->isChecked());
    EXPECT_EQ(items(), (QStringList{"Арбуз", "Вода", "Ель", "Яма"}));

    releaseOverBookToolbar();
    EXPECT_FALSE(menuAction("mnuSelBook1")->isChecked());
    EXPECT_TRUE(menuAction("mnuSelBook2")->isChecked());
    EXPECT_FALSE(menuAction("mnuBook2")->isChecked());

    menuAction("mnuSelBook1")->trigger(); // "Выбрать": Первый on again
    EXPECT_TRUE(bookButton(0)->isChecked());
    EXPECT_EQ(pane.wordList().count(), 8);

    bookButton(1)->trigger(); // the toolbar button itself
    EXPECT_FALSE(pane.catalogue().isEnabled(1));
    EXPECT_EQ(pane.wordList().count(), 5);

    // "Выключить все": an empty, disabled list; keys that act on words do nothing.
    QSignalSpy tolk(&pane, &DictionaryPane::tolkRequested);
    menuAction("mnuBooksAll1")->trigger();
    EXPECT_TRUE(pane.wordList().isEmpty());
    EXPECT_EQ(pane.statusText(), "0 слованых статей; ~0 толкований");
    EXPECT_FALSE(pane.isTolkEnabled());
    EXPECT_FALSE(field()->isEnabled());
    EXPECT_TRUE(field()->text().isEmpty());
    EXPECT_FALSE(list()->isEnabled());
    EXPECT_FALSE(pane.lastWordToSave().has_value());
    pane.activateSelected();
    pane.search("в");
    EXPECT_TRUE(tolk.isEmpty());
    releaseOverBookToolbar();
    EXPECT_TRUE(menuAction("mnuBooksAll0")->isEnabled()); // the books are still there

    menuAction("mnuBooksAll0")->trigger(); // "Включить все" restores everything
    EXPECT_EQ(pane.wordList().count(), 8);
    EXPECT_TRUE(pane.isTolkEnabled());
    EXPECT_EQ(closeViewer.size(), 5);
    EXPECT_EQ(busyStart.size(), 5);
    EXPECT_EQ(busyEnd.size(), 5);

    const auto states = pane.catalogue().states();
    EXPECT_TRUE(states[0].second && states[1].second);
}

TEST_F(DictionaryTest, ToggleDuringARebuildRunsAfterIt)
{
    load();
    int rebuilds = 0;
    QObject::connect(&pane, &DictionaryPane::viewerCloseRequested, [&] { ++rebuilds; });
    // Events run between books: this toggle arrives while the first rebuild is under way.
    QTimer::singleShot(0, &pane, [this] { bookButton(0)->trigger(); });
    pane.LoadList();
    EXPECT_EQ(rebuilds, 2); // the second rebuild ran after the first, not inside it
    EXPECT_FALSE(pane.catalogue().isEnabled(0));
    EXPECT_EQ(items(), (QStringList{"Арбуз", "Вода", "Ель", "Яма"}));
}

TEST_F(DictionaryTest, DoubleClickAsksForTheInterpretation)
{
    load();
    QSignalSpy tolk(&pane, &DictionaryPane::tolkRequested);
    QSignalSpy label(&pane, &DictionaryPane::selectedWordChanged);
    field()->setText("Дом");
    const QModelIndex index = list()->model()->index(4, 0);
    const QPoint at = list()->visualRect(index).center();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, at);
    ASSERT_FALSE(label.isEmpty());
    EXPECT_EQ(label.last().at(0).toString(), "Дом");
    QTest::mouseDClick(list()->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(tolk.size(), 1);
    EXPECT_EQ(tolk[0].at(0).toString(), "Дом");
}

TEST_F(DictionaryTest, ListModes)
{
    load();
    EXPECT_TRUE(menuAction("ListModeOrdinary")->isChecked());
    EXPECT_FALSE(list()->isWrapping());
    pane.setListMode(2);
    EXPECT_TRUE(list()->isWrapping());
    EXPECT_EQ(list()->flow(), QListView::TopToBottom);
    EXPECT_TRUE(menuAction("ListModeColumns")->isChecked());
    pane.setListMode(3); // any other button does nothing
    EXPECT_EQ(pane.listMode(), 2);
    menuAction("ListModeOrdinary")->trigger();
    EXPECT_EQ(pane.listMode(), 1);
    EXPECT_FALSE(list()->isWrapping());
}

TEST_F(DictionaryTest, SkippedBookIsReportedOnce)
{
    folder.writeRaw("c.book", QByteArray("DB1 ZEL Kelmor book v3") + QByteArray(300, '\1'));
    QSignalSpy skipped(&pane, &DictionaryPane::booksSkipped);
    load();
    ASSERT_EQ(skipped.size(), 1);
    EXPECT_TRUE(skipped[0].at(0).toString().startsWith("Не удалось открыть сонник:\nc.book: "));
    EXPECT_EQ(bookButtonCount(), 2);
    EXPECT_TRUE(messages.empty());
}

TEST(DictionaryStartup, FatalMessagesCloseTheSplashFirstAndExitFast)
{
    const struct
    {
        const char *what;
        bool makeFolder;
        QByteArray fileContent; // written as x.book when not empty
        QString message;
    } cases[] = {
        {"missing folder", false, {}, "Невозможно найти папку с данными:\n"},
        {"no book file",
         true,
         {},
         "В папке данных программы не найдено ни одного сонника! Переустановите программу или "
         "добавьте файлы сонников!"},
        {"no compatible book", true, "Standard Jet DB",
         "Среди файлов программы нет сонников совместимых с текущей версией! Переустановите "
         "программу или добавьте файлы сонников!"},
    };
    for (const auto &tc : cases) {
        BookFolder folder;
        QString path = folder.path();
        if (!tc.makeFolder)
            path = folder.filePath("absent");
        if (!tc.fileContent.isEmpty())
            folder.writeRaw("x.book", tc.fileContent);
        DictionaryPane pane;
        QStringList events;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        pane.setMessageHandler([&](QMessageBox::Icon i, const QString &text) {
            events << "message:" + text;
            icon = i;
        });
        QObject::connect(&pane, &DictionaryPane::splashCloseRequested, [&] { events << "splash"; });
        QObject::connect(&pane, &DictionaryPane::exitRequested,
                         [&](bool fast) { events << QStringLiteral("exit:%1").arg(fast); });
        EXPECT_FALSE(pane.LoadBooks(path)) << tc.what;
        const QString expected = tc.message.endsWith('\n') ? tc.message + path : tc.message;
        EXPECT_EQ(events, (QStringList{"splash", "message:" + expected, "exit:1"})) << tc.what;
        EXPECT_EQ(icon, QMessageBox::Critical) << tc.what;
        EXPECT_FALSE(pane.findChild<QLineEdit *>("Text1")->isEnabled()) << tc.what;
    }
}

// A word typed in another form finds the same headword whether the pane resolves it through the
// whole word list (no indexes yet: the first start) or through the books' forms indexes, which
// it writes in the background after the start (later starts).
TEST(DictionaryForms, TypedFormsFindTheSameHeadwordThroughTheFormsIndexes)
{
    const CacheHome home;
    BookFolder folder;
    folder.write({"a.book", "Первый", {"Змея", "Вода", "Собака", "Дом"}, {}, {}});
    folder.write({"b.book", "Второй", {"Пчела", "Собака", "Змей горыныч"}, {}, {}});
    const QStringList typed = {QStringLiteral("змеи"), QStringLiteral("собаками"),
                               QStringLiteral("пчёлы"), QStringLiteral("воды"),
                               QStringLiteral("нетслова")};
    const auto answers = [&](DictionaryPane &pane) {
        QStringList out;
        QString caption;
        QObject::connect(&pane, &DictionaryPane::formFound,
                         [&caption](const QString &c) { caption = c; });
        for (const QString &word : typed) {
            pane.search(QStringLiteral("Дом")); // away from the last answer
            caption.clear();
            pane.search(word);
            out << pane.selectedWord() + u'|' + caption;
        }
        return out;
    };

    QStringList first;
    {
        DictionaryPane pane;
        ASSERT_TRUE(pane.LoadBooks(folder.path()));
        first = answers(pane);
        // The background preparation writes every book's forms index.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                return QFile::exists(kelmor::books::formCachePath(folder.filePath("a.book"))) &&
                       QFile::exists(kelmor::books::formCachePath(folder.filePath("b.book")));
            },
            20000));
        QThreadPool::globalInstance()->waitForDone();
    }
    if (!kelmor::books::WordForms::systemDictionary()->isAvailable())
        GTEST_SKIP() << "no Russian Hunspell dictionary (Debian hunspell-ru)";
    EXPECT_EQ(first.at(0), QStringLiteral("Змея|«змеи» → Змея"));
    EXPECT_EQ(first.at(1), QStringLiteral("Собака|«собаками» → Собака"));

    DictionaryPane later;
    ASSERT_TRUE(later.LoadBooks(folder.path()));
    ASSERT_TRUE(later.catalogue().isIndexed(0) && later.catalogue().isIndexed(1));
    EXPECT_EQ(answers(later), first);
}
