// The main window with real book files: the "Tolk" command and its keys opening and closing the
// viewer, the keys while the word list is empty, the pane switch and the shortened status
// caption.
#include "books/word_forms.h"
#include "books/wordlist.h"
#include "dream/dream_window.h"
#include "fulltext/fulltext_model.h"
#include "fulltext/fulltext_search.h"
#include "fulltext/fulltext_window.h"
#include "journal/journal_model.h"
#include "journal/journal_window.h"
#include "options/options_form.h"
#include "platform/settings.h"
#include "shell/dictionary_pane.h"
#include "shell/main_window.h"
#include "support/book_fixture.h"
#include "support/cache_home.h"
#include "viewer/interpretation_document.h"
#include "viewer/literature_pane.h"
#include "viewer/messages.h"
#include "viewer/tolk.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <memory>

using namespace kelmor;
using kelmor::shell::DictionaryPane;
using kelmor::shell::MainWindow;
using kelmor::testing::BookFolder;

namespace {

struct Message
{
    viewer::MessageIcon icon;
    QString caption;
    QString text;
};

class MainWindowBooksTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.write({QStringLiteral("a.book"),
                      QStringLiteral("Первый"),
                      {},
                      {},
                      {},
                      {{"Вода", "Про воду.", "Дом; Лес."},
                       {"Дом", "Про дом.", "Вода."},
                       {"Лес", "Про лес.", {}},
                       {"Ёж", "Про ежа.", {}}},
                      QStringLiteral("Первый")});
        folder.write({QStringLiteral("b.book"),
                      QStringLiteral("Второй"),
                      {},
                      {},
                      {},
                      {{"Вода", "Ещё про воду.", {}}, {"Арбуз", "Про арбуз.", {}}},
                      QStringLiteral("Второй")});
        {
            QFile article(folder.textsPath() + QStringLiteral("/Вещие сны.lit"));
            article.open(QIODevice::WriteOnly);
            article.write("{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'ee \\b \\'f1\\'ed\\'fb\\b0 .}");
        }
        m_oldDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", folder.dataDir().toUtf8());

        store = std::make_unique<platform::SettingsStore>(
            platform::SettingsStore::atFile(folder.rootPath("ZEL_Programming.conf")));
        viewer::setMessageHandler([this](QWidget *, viewer::MessageIcon icon,
                                         const QString &caption, const QString &text) {
            messages.push_back({icon, caption, text});
        });

        MainWindow::Options options;
        options.trayAvailable = false;
        options.programFolder = folder.root();
        options.executableBaseName = QStringLiteral("kelmor");
        options.endProcess = [] {};
        window = std::make_unique<MainWindow>(*store, options);
        m_pane = new DictionaryPane;
        m_pane->setMessageHandler([this](QMessageBox::Icon, const QString &text) {
            messages.push_back({viewer::MessageIcon::Warning, QString(), text});
        });
        window->setDictionaryPane(m_pane);
        m_literature = new viewer::LiteraturePane;
        window->setLiteraturePane(m_literature);
        window->Load();
        ASSERT_FALSE(window->hasEnded());
        window->show();
        activateMain();
    }

    void TearDown() override
    {
        delete viewerWindow();
        window.reset();
        viewer::setMessageHandler({});
        qputenv("XDG_DATA_DIRS", m_oldDataDirs);
    }

    void activateMain()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    DictionaryPane *pane() const { return m_pane; }
    QListView *listView() const { return m_pane->findChild<QListView *>("ListView1"); }
    QLineEdit *searchField() const { return m_pane->findChild<QLineEdit *>("Text1"); }
    QAction *bookButton(int n) const
    {
        return m_pane->findChild<QToolBar *>("Toolbar2")->actions().at(n);
    }
    QAction *tolk() const { return window->findChild<QAction *>("Tolk"); }
    QLabel *selectedWordLabel() const { return window->findChild<QLabel *>("Label6"); }
    QLabel *statusLabel() const { return window->findChild<QLabel *>("Label7"); }
    // The viewer window, once a closed one has gone.
    viewer::Tolk *viewerWindow() const
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return window ? window->findChild<viewer::Tolk *>() : nullptr;
    }
    bool viewerOpen() const { return viewerWindow() && viewerWindow()->isVisible(); }
    QString shownWord() const { return viewerWindow() ? viewerWindow()->view()->tag() : QString(); }

    void selectWord(const char *word)
    {
        searchField()->setText(QString::fromUtf8(word));
        ASSERT_EQ(pane()->selectedWord(), QString::fromUtf8(word));
    }

    QPoint itemCentre(const char *word) const
    {
        const books::WordList &words = pane()->wordList();
        for (int row = 0; row < words.count(); ++row) {
            if (words.word(row) == QString::fromUtf8(word))
                return listView()->visualRect(listView()->model()->index(row, 0)).center();
        }
        return {};
    }

    BookFolder folder;
    DictionaryPane *m_pane = nullptr;
    viewer::LiteraturePane *m_literature = nullptr;
    QByteArray m_oldDataDirs;
    std::unique_ptr<platform::SettingsStore> store;
    std::unique_ptr<MainWindow> window;
    std::vector<Message> messages;
};

} // namespace

TEST_F(MainWindowBooksTest, EnterOpensTheViewerOnTheSelectedWordAndEscClosesIt)
{
    ASSERT_TRUE(messages.empty());
    selectWord("Вода");
    QTest::keyClick(listView(), Qt::Key_Return);
    ASSERT_TRUE(viewerOpen());
    EXPECT_TRUE(tolk()->isChecked());
    EXPECT_EQ(shownWord(), "Вода");
    const QString text = viewerWindow()->view()->plainText();
    EXPECT_TRUE(text.contains("Про воду.")) << text.toStdString();
    EXPECT_TRUE(text.contains("Ещё про воду.")) << text.toStdString();
    EXPECT_FALSE(viewerWindow()->button("Back")->isEnabled());

    // Esc in the main window releases the button and closes the viewer; its geometry is kept.
    activateMain();
    QTest::keyClick(listView(), Qt::Key_Escape);
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_FALSE(viewerOpen());
    EXPECT_TRUE(store->contains(platform::SettingsSection, "TWidth"));

    // Esc again, with the viewer closed and the button released, does nothing.
    QTest::keyClick(listView(), Qt::Key_Escape);
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_EQ(viewerWindow(), nullptr);

    // Enter in the search field does the same as in the list; the selected-word label
    // follows.
    selectWord("Ёж");
    QTest::keyClick(searchField(), Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(viewerOpen());
    EXPECT_EQ(shownWord(), "Ёж");
    EXPECT_EQ(selectedWordLabel()->text(), "Ёж");
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowBooksTest, TheButtonOpensAndClosesTheViewerAndClosingTheViewerReleasesIt)
{
    selectWord("Дом");
    tolk()->trigger();
    ASSERT_TRUE(viewerOpen());
    EXPECT_TRUE(tolk()->isChecked());
    EXPECT_EQ(shownWord(), "Дом");

    tolk()->trigger();
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_FALSE(viewerOpen());

    tolk()->trigger();
    ASSERT_TRUE(viewerOpen());
    viewerWindow()->close();
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_EQ(viewerWindow(), nullptr);

    // Esc inside the viewer closes it too.
    tolk()->trigger();
    ASSERT_TRUE(viewerOpen());
    QTest::keyClick(viewerWindow()->view(), Qt::Key_Escape);
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_EQ(viewerWindow(), nullptr);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowBooksTest, PickingAWordInTheListShowsItAndStartsTheHistoryAgain)
{
    // Double click opens the viewer on the clicked word.
    QTest::mouseClick(listView()->viewport(), Qt::LeftButton, {}, itemCentre("Вода"));
    QTest::mouseDClick(listView()->viewport(), Qt::LeftButton, {}, itemCentre("Вода"));
    ASSERT_TRUE(viewerOpen());
    EXPECT_EQ(shownWord(), "Вода");

    // Following a link (as a click on it does) fills the history.
    viewer::Tolk *v = viewerWindow();
    v->AddBack(QStringLiteral("Дом"));
    v->ShowInterpretation(QStringLiteral("Дом"));
    ASSERT_EQ(v->history(), QStringList{"Вода"});
    ASSERT_TRUE(v->button("Back")->isEnabled());

    // A click on another word shows it in the open viewer and clears the history.
    activateMain();
    QTest::mouseClick(listView()->viewport(), Qt::LeftButton, {}, itemCentre("Лес"));
    EXPECT_EQ(shownWord(), "Лес");
    EXPECT_TRUE(v->history().isEmpty());
    EXPECT_FALSE(v->button("Back")->isEnabled());
    EXPECT_EQ(selectedWordLabel()->text(), "Лес");

    // Enter on the word already shown keeps the viewer as it is, the history buttons true to
    // the history.
    v->AddBack(QStringLiteral("Арбуз"));
    QTest::keyClick(listView(), Qt::Key_Return);
    EXPECT_EQ(viewerWindow(), v);
    EXPECT_EQ(shownWord(), "Лес");
    EXPECT_TRUE(v->button("Back")->isEnabled());

    // A minimised viewer comes back when the word is asked for again.
    v->showMinimized();
    QTest::keyClick(listView(), Qt::Key_Return);
    EXPECT_EQ(viewerWindow(), v);
    EXPECT_FALSE(v->isMinimized());

    // Turning a book off rebuilds the list, which closes the viewer.
    bookButton(1)->trigger();
    EXPECT_FALSE(viewerOpen());
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowBooksTest, NothingSelectedHasNothingToShow)
{
    listView()->selectionModel()->clearSelection();
    listView()->selectionModel()->clearCurrentIndex();
    ASSERT_LT(pane()->selectedRow(), 0);
    tolk()->trigger();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, viewer::MessageIcon::Critical);
    EXPECT_EQ(messages[0].caption, "TolkLoad");
    EXPECT_EQ(messages[0].text, "Нечего отображать");
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_FALSE(viewerOpen());
}

TEST_F(MainWindowBooksTest, WindowKeysWorkOnlyWhileTheListHasWords)
{
    QSignalSpy calendar(window.get(), &MainWindow::calendarRequested);
    QSignalSpy options(window.get(), &MainWindow::optionsRequested);
    // Every options window that opens (modally) is cancelled at once.
    int optionsWindows = 0;
    QTimer cancelOptions;
    cancelOptions.setInterval(10);
    QObject::connect(&cancelOptions, &QTimer::timeout, [&optionsWindows] {
        if (auto *form = qobject_cast<options::OptionsForm *>(QApplication::activeModalWidget())) {
            ++optionsWindows;
            form->reject();
        }
    });
    cancelOptions.start();
    QWidget *list = listView();

    QTest::keyClick(list, Qt::Key_M, Qt::ControlModifier);
    QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(calendar.size(), 1);
    EXPECT_EQ(options.size(), 1);
    // The same keys with another modifier are left to the focused control.
    QTest::keyClick(list, Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(calendar.size(), 1);
    EXPECT_EQ(options.size(), 1);

    // All books released: an empty, disabled list, and the keys do nothing.
    pane()->findChild<QAction *>("mnuBooksAll1")->trigger();
    ASSERT_TRUE(pane()->wordList().isEmpty());
    EXPECT_FALSE(tolk()->isEnabled());
    EXPECT_FALSE(listView()->isEnabled());
    EXPECT_EQ(statusLabel()->toolTip(), "0 слованых статей; ~0 толкований");
    for (const auto &[key, modifiers] :
         {std::pair{Qt::Key_Return, Qt::KeyboardModifiers()},
          std::pair{Qt::Key_Escape, Qt::KeyboardModifiers()},
          std::pair{Qt::Key_M, Qt::KeyboardModifiers(Qt::ControlModifier)},
          std::pair{Qt::Key_O, Qt::KeyboardModifiers(Qt::ControlModifier)}})
        QTest::keyClick(window.get(), key, modifiers);
    EXPECT_EQ(calendar.size(), 1);
    EXPECT_EQ(options.size(), 1);
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_EQ(viewerWindow(), nullptr);

    // The toolbar still works.
    window->findChild<QAction *>("Calen")->trigger();
    window->findChild<QAction *>("HLP")->trigger();
    EXPECT_EQ(calendar.size(), 2);
    EXPECT_EQ(options.size(), 2);
    EXPECT_EQ(optionsWindows, 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowBooksTest, PaneSwitchHidesAndBringsBackTheListWithItsSelection)
{
    selectWord("Лес");
    window->findChild<QToolButton *>(QStringLiteral("Picture1"))->click();
    EXPECT_FALSE(listView()->isVisible());
    EXPECT_FALSE(searchField()->isVisible());

    window->findChild<QToolButton *>(QStringLiteral("Picture5"))->click();
    EXPECT_TRUE(listView()->isVisible());
    EXPECT_TRUE(searchField()->isVisible());
    EXPECT_TRUE(listView()->hasFocus());
    EXPECT_FALSE(window->litHasFocus());
    EXPECT_EQ(pane()->selectedWord(), "Лес");
    EXPECT_EQ(selectedWordLabel()->text(), "Лес");
}

TEST_F(MainWindowBooksTest, StatusCaptionIsShortenedToTheRoomBesideTheSelectedWord)
{
    const QString full = statusLabel()->toolTip();
    ASSERT_EQ(full.toStdString(), "6 слованых статей; ~30 толкований");
    QLabel *status = statusLabel();
    const auto fits = [status] {
        return status->fontMetrics().horizontalAdvance(status->text()) <= status->width();
    };

    window->resize(900, window->height());
    QTest::qWait(50);
    EXPECT_EQ(status->text(), full);

    // Narrow: the caption ends in "..." and is not cut off.
    window->resize(260, window->height());
    QTest::qWait(50);
    EXPECT_TRUE(status->text().endsWith("...")) << status->text().toStdString();
    EXPECT_TRUE(fits()) << status->text().toStdString() << " in " << status->width();
    EXPECT_EQ(status->toolTip(), full);

    // A longer selected word takes room from the caption, which follows.
    const QString before = status->text();
    selectedWordLabel()->setText(QStringLiteral("Длинноеслово"));
    QTest::qWait(50);
    EXPECT_LT(status->text().size(), before.size());
    EXPECT_TRUE(fits()) << status->text().toStdString() << " in " << status->width();
}

TEST_F(MainWindowBooksTest, ExitAndLeavingTheTrayCloseTheViewer)
{
    tolk()->trigger();
    ASSERT_TRUE(viewerOpen());
    window->FromTray();
    EXPECT_FALSE(viewerOpen());
    EXPECT_FALSE(tolk()->isChecked());

    tolk()->trigger();
    ASSERT_TRUE(viewerOpen());
    viewerWindow()->move(140, 120);
    const int left = viewerWindow()->geometry().left();
    window->ExitApp(false);
    EXPECT_FALSE(viewerOpen());
    // The viewer's geometry reached the file.
    const platform::SettingsStore reread =
        platform::SettingsStore::atFile(folder.rootPath("ZEL_Programming.conf"));
    EXPECT_EQ(reread.readDouble(platform::SettingsSection, "TLeft", -1), left * 15.0);
}

TEST_F(MainWindowBooksTest, ASecondStartWhileMinimisedKeepsTheViewerAndItsHistory)
{
    selectWord("Вода");
    tolk()->trigger();
    ASSERT_TRUE(viewerOpen());
    viewer::Tolk *v = viewerWindow();
    v->AddBack(QStringLiteral("Дом"));
    v->ShowInterpretation(QStringLiteral("Дом"));
    ASSERT_EQ(v->history(), QStringList{"Вода"});

    window->showMinimized();
    window->comeForward();
    EXPECT_FALSE(window->windowState() & Qt::WindowMinimized);
    ASSERT_EQ(viewerWindow(), v);
    EXPECT_TRUE(v->isVisible());
    EXPECT_EQ(v->history(), QStringList{"Вода"});
    EXPECT_EQ(shownWord(), "Дом");
    EXPECT_TRUE(tolk()->isChecked());
}

TEST(MainWindowBooks, WhenNoBookOpensTheReasonsComeBeforeTheFatalMessage)
{
    BookFolder books;
    // Carries the book marker, but is no database.
    QByteArray damaged("DB1 ZEL Kelmor book v3");
    damaged.append(QByteArray(5000, '\x7f'));
    books.writeRaw(QStringLiteral("damaged.book"), damaged);

    DictionaryPane pane;
    QList<QPair<QMessageBox::Icon, QString>> shown;
    pane.setMessageHandler([&](QMessageBox::Icon icon, const QString &text) {
        shown.append({icon, text});
    });
    QSignalSpy exit(&pane, &DictionaryPane::exitRequested);
    EXPECT_FALSE(pane.LoadBooks(books.path()));
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].first, QMessageBox::Warning);
    EXPECT_TRUE(
        shown[0].second.startsWith(QStringLiteral("Не удалось открыть сонник:\ndamaged.book: ")))
        << shown[0].second.toStdString();
    EXPECT_EQ(shown[1].first, QMessageBox::Critical);
    EXPECT_TRUE(shown[1].second.startsWith(QStringLiteral("Среди файлов программы нет сонников")));
    ASSERT_EQ(exit.size(), 1);
    EXPECT_TRUE(exit[0].at(0).toBool());
}

TEST_F(MainWindowBooksTest, TheLiteraturePaneOpensItsArticlesInTheViewer)
{
    window->findChild<QToolButton *>(QStringLiteral("Picture1"))->click();
    auto *tree = m_literature->findChild<QTreeView *>(QStringLiteral("TreeView1"));
    ASSERT_NE(tree, nullptr);
    tree->setFocus();
    const QString article = folder.textsPath() + QStringLiteral("/Вещие сны.lit");
    ASSERT_TRUE(m_literature->selectNode(article));
    // The status bar speaks of the literature now, and the label names the article.
    EXPECT_EQ(statusLabel()->toolTip(), "1 книжных статей");
    EXPECT_EQ(selectedWordLabel()->text(), "Вещие сны");
    ASSERT_TRUE(tolk()->isEnabled());

    // Enter in the tree opens the article, formatted, under its title.
    QTest::keyClick(tree, Qt::Key_Return);
    ASSERT_TRUE(viewerOpen());
    EXPECT_EQ(viewerWindow()->windowTitle(), "Вещие сны");
    EXPECT_TRUE(viewerWindow()->view()->toPlainText().contains("Про сны."))
        << viewerWindow()->view()->toPlainText().toStdString();
    EXPECT_TRUE(messages.empty());

    // Back in the dictionary, the viewer shows interpretations again.
    window->findChild<QToolButton *>(QStringLiteral("Picture5"))->click();
    selectWord("Дом");
    QTest::keyClick(listView(), Qt::Key_Return);
    EXPECT_EQ(shownWord(), "Дом");
    EXPECT_TRUE(viewerWindow()->view()->toPlainText().contains("Про дом."));
}

TEST_F(MainWindowBooksTest, AWordInAnotherFormSelectsItsHeadwordAndTheCaptionSaysSo)
{
    if (!kelmor::books::WordForms::systemDictionary()->isAvailable())
        GTEST_SKIP() << "the Russian Hunspell dictionary (hunspell-ru) is not installed";
    const QString full = statusLabel()->toolTip();
    // No headword begins with "лесами": the form "лес" finds Лес.
    searchField()->setText(QStringLiteral("лесами"));
    EXPECT_EQ(pane()->selectedWord(), "Лес");
    EXPECT_TRUE(statusLabel()->text().startsWith("«лесами» → Лес"))
        << statusLabel()->text().toStdString();
    QTest::keyClick(searchField(), Qt::Key_Return);
    ASSERT_TRUE(viewerOpen());
    EXPECT_EQ(shownWord(), "Лес");

    // Typing a word's own beginning again puts the ordinary caption back.
    activateMain();
    searchField()->setText(QStringLiteral("до"));
    EXPECT_EQ(pane()->selectedWord(), "Дом");
    EXPECT_EQ(statusLabel()->toolTip(), full);
    EXPECT_FALSE(statusLabel()->text().contains("→"));
    // A word no book knows in any form leaves the selection where it was.
    searchField()->setText(QStringLiteral("шмяк"));
    EXPECT_EQ(pane()->selectedWord(), "Дом");
}

TEST_F(MainWindowBooksTest, TheWholeDreamWindowOpensFromTheServiceMenuAndItsKey)
{
    auto *menu = window->findChild<QMenu *>("mnuCommands");
    ASSERT_NE(menu, nullptr);
    QAction *dream = window->findChild<QAction *>("mnuDream");
    ASSERT_NE(dream, nullptr);
    EXPECT_TRUE(menu->actions().contains(dream));
    EXPECT_EQ(dream->text(), "Весь сон…");
    QTest::keyClick(listView(), Qt::Key_D, Qt::ControlModifier);
    auto *window1 = window->findChild<kelmor::dream::DreamWindow *>();
    ASSERT_NE(window1, nullptr);
    EXPECT_TRUE(window1->isVisible());
    // Asked again, the same window comes forward.
    dream->trigger();
    EXPECT_EQ(window->findChildren<kelmor::dream::DreamWindow *>().size(), 1);
    // Leaving the tray closes it, like the other secondary windows.
    window->FromTray();
    EXPECT_FALSE(window1->isVisible());
}

TEST_F(MainWindowBooksTest, TheSearchInsideTheInterpretationsOpensWithItsKeyAndShowsAHeadword)
{
    const kelmor::testing::CacheHome cache;
    auto *menu = window->findChild<QMenu *>("mnuCommands");
    QAction *command = window->findChild<QAction *>("mnuFulltext");
    ASSERT_NE(command, nullptr);
    EXPECT_TRUE(menu->actions().contains(command));
    EXPECT_EQ(command->text(), "Поиск по толкованиям…");
    QTest::keyClick(listView(), Qt::Key_F, Qt::ControlModifier);
    auto *searchWindow = window->findChild<kelmor::fulltext::FulltextWindow *>();
    ASSERT_NE(searchWindow, nullptr);
    EXPECT_TRUE(searchWindow->isVisible());
    kelmor::fulltext::FulltextSearch *search = window->fulltextSearch();
    ASSERT_NE(search, nullptr);
    if (search->isIndexing()) {
        QSignalSpy finished(search, &kelmor::fulltext::FulltextSearch::indexingFinished);
        ASSERT_TRUE(finished.wait(30000));
    }
    EXPECT_TRUE(QFile::exists(cache.filePath("kelmor/fulltext.sqlite")));

    searchWindow->setQueryText(QStringLiteral("воды"));
    searchWindow->searchNow();
    ASSERT_EQ(searchWindow->model()->rowCount(), 2);
    // A book turned off in the main window is no longer searched.
    bookButton(1)->trigger();
    EXPECT_EQ(searchWindow->model()->rowCount(), 1);
    bookButton(1)->trigger();
    ASSERT_EQ(searchWindow->model()->rowCount(), 2);

    searchWindow->openRow(0);
    ASSERT_TRUE(viewerOpen());
    EXPECT_EQ(shownWord(), "Вода");
    EXPECT_EQ(pane()->selectedWord(), "Вода");
    // Asked again, the same window comes forward; leaving the tray closes it.
    command->trigger();
    EXPECT_EQ(window->findChildren<kelmor::fulltext::FulltextWindow *>().size(), 1);
    window->FromTray();
    EXPECT_FALSE(searchWindow->isVisible());
}

TEST_F(MainWindowBooksTest, ADreamOfTheWholeDreamWindowIsSavedToTheJournal)
{
    const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", folder.rootPath("data").toUtf8());
    QAction *journal = window->findChild<QAction *>("mnuJournal");
    ASSERT_NE(journal, nullptr);
    EXPECT_EQ(journal->text(), "Дневник снов…");
    EXPECT_EQ(journal->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_J));

    window->ShowDream();
    auto *dreamWindow = window->findChild<kelmor::dream::DreamWindow *>();
    ASSERT_NE(dreamWindow, nullptr);
    dreamWindow->setDreamText(QStringLiteral("Мне снился дом у воды."));
    // The entry dialog opens over the journal; it is accepted as it stands.
    QTimer::singleShot(0, [] {
        if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            dialog->accept();
    });
    QTest::keyClick(dreamWindow, Qt::Key_S, Qt::ControlModifier);
    kelmor::journal::JournalWindow *journalWindow = window->journalWindow();
    ASSERT_NE(journalWindow, nullptr);
    EXPECT_TRUE(journalWindow->isVisible());
    ASSERT_EQ(journalWindow->model()->rowCount(), 1);
    const kelmor::journal::EntrySummary &row = journalWindow->model()->summary(0);
    EXPECT_EQ(row.symbols, "Дом; Вода");
    EXPECT_FALSE(row.lunarDays.isEmpty());
    EXPECT_TRUE(QFile::exists(folder.rootPath("data/kelmor/journal.sqlite")));

    // A symbol of the entry opens the viewer on its headword.
    Q_EMIT journalWindow->wordRequested(QStringLiteral("Вода"));
    ASSERT_TRUE(viewerOpen());
    EXPECT_EQ(shownWord(), "Вода");
    window->FromTray();
    EXPECT_FALSE(journalWindow->isVisible());
    qputenv("XDG_DATA_HOME", oldDataHome);
}
