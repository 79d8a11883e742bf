// The main window with real book files: the "Tolk" command and its keys opening and closing the
// viewer, the keys while the word list is empty, the pane switch and the shortened status
// caption.
#include "books/dictionary_pane.h"
#include "books/engine/book_writer.h"
#include "books/wordlist.h"
#include "platform/settings.h"
#include "shell/main_window.h"
#include "viewer/interpretation_document.h"
#include "viewer/messages.h"
#include "viewer/tolk.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace kelmor;
using kelmor::shell::MainWindow;

namespace {

std::u16string u16(const char *utf8)
{
    return QString::fromUtf8(utf8).toStdU16String();
}

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
        ASSERT_TRUE(dir.isValid());
        const QString books = dir.filePath("share/ZEL Programming/ZEL Kelmor/3.1/Books");
        ASSERT_TRUE(QDir().mkpath(books));
        writeBook(books + "/a.book", "Первый",
                  {{"Вода", "Про воду.", "Дом; Лес."},
                   {"Дом", "Про дом.", "Вода."},
                   {"Лес", "Про лес.", ""},
                   {"Ёж", "Про ежа.", ""}});
        writeBook(books + "/b.book", "Второй",
                  {{"Вода", "Ещё про воду.", ""}, {"Арбуз", "Про арбуз.", ""}});
        m_oldDataDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_DIRS", dir.filePath("share").toUtf8());

        store = std::make_unique<platform::SettingsStore>(
            platform::SettingsStore::atFile(dir.filePath("ZEL_Programming.conf")));
        viewer::setMessageHandler([this](QWidget *, viewer::MessageIcon icon,
                                         const QString &caption, const QString &text) {
            messages.push_back({icon, caption, text});
        });

        MainWindow::Options options;
        options.trayAvailable = false;
        options.programFolder = dir.path();
        options.executableBaseName = QStringLiteral("kelmor");
        options.endProcess = [] {};
        window = std::make_unique<MainWindow>(*store, options);
        auto *pane = new books::DictionaryPane;
        pane->setMessageHandler([this](QMessageBox::Icon, const QString &text) {
            messages.push_back({viewer::MessageIcon::Warning, QString(), text});
        });
        window->setDictionaryPane(pane);
        window->Load();
        ASSERT_FALSE(window->hasEnded());
        window->show();
        activateMain();
    }

    void TearDown() override
    {
        if (window && window->viewerWindow())
            delete window->viewerWindow();
        window.reset();
        viewer::setMessageHandler({});
        qputenv("XDG_DATA_DIRS", m_oldDataDirs);
    }

    struct Record
    {
        const char *word;
        const char *text;
        const char *links;
    };
    static void writeBook(const QString &path, const char *name,
                          std::initializer_list<Record> records)
    {
        books::BookSource source;
        source.config.toolName = u16(name);
        source.config.tolkName = u16(name);
        for (const Record &r : records)
            source.records.push_back(
                {u16(r.word), u16(r.text), *r.links ? std::optional(u16(r.links)) : std::nullopt});
        books::writeBookFile(source, path.toStdString());
    }

    void activateMain()
    {
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    books::DictionaryPane *pane() const { return window->dictionary(); }
    QAction *tolk() const { return window->toolbarButton(QStringLiteral("Tolk")); }
    viewer::Tolk *viewerWindow() const { return window->viewerWindow(); }
    bool viewerOpen() const { return viewerWindow() && viewerWindow()->isVisible(); }
    QString shownWord() const { return viewerWindow() ? viewerWindow()->view()->tag() : QString(); }

    void selectWord(const char *word)
    {
        pane()->searchField()->setText(QString::fromUtf8(word));
        ASSERT_EQ(pane()->selectedWord(), QString::fromUtf8(word));
    }

    QPoint itemCentre(const char *word) const
    {
        const books::WordList &words = pane()->wordList();
        for (int row = 0; row < words.count(); ++row) {
            if (words.word(row) == QString::fromUtf8(word))
                return pane()
                    ->listView()
                    ->visualRect(pane()->listView()->model()->index(row, 0))
                    .center();
        }
        return {};
    }

    QTemporaryDir dir;
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
    QTest::keyClick(pane()->listView(), Qt::Key_Return);
    ASSERT_TRUE(viewerOpen());
    EXPECT_TRUE(tolk()->isChecked());
    EXPECT_EQ(shownWord(), "Вода");
    const QString text = viewerWindow()->view()->plainText();
    EXPECT_TRUE(text.contains("Про воду.")) << text.toStdString();
    EXPECT_TRUE(text.contains("Ещё про воду.")) << text.toStdString();
    EXPECT_FALSE(viewerWindow()->button("Back")->isEnabled());

    // Esc in the main window releases the button and closes the viewer; its geometry is kept.
    activateMain();
    QTest::keyClick(pane()->listView(), Qt::Key_Escape);
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_FALSE(viewerOpen());
    EXPECT_TRUE(store->contains(platform::SettingsSection, "TWidth"));

    // Esc again, with the viewer closed and the button released, does nothing.
    QTest::keyClick(pane()->listView(), Qt::Key_Escape);
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_EQ(viewerWindow(), nullptr);

    // Enter in the search field does the same as in the list; the selected-word label
    // follows.
    selectWord("Ёж");
    QTest::keyClick(pane()->searchField(), Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_TRUE(viewerOpen());
    EXPECT_EQ(shownWord(), "Ёж");
    EXPECT_EQ(window->selectedWordLabel()->text(), "Ёж");
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
    QTest::mouseClick(pane()->listView()->viewport(), Qt::LeftButton, {}, itemCentre("Вода"));
    QTest::mouseDClick(pane()->listView()->viewport(), Qt::LeftButton, {}, itemCentre("Вода"));
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
    QTest::mouseClick(pane()->listView()->viewport(), Qt::LeftButton, {}, itemCentre("Лес"));
    EXPECT_EQ(shownWord(), "Лес");
    EXPECT_TRUE(v->history().isEmpty());
    EXPECT_FALSE(v->button("Back")->isEnabled());
    EXPECT_EQ(window->selectedWordLabel()->text(), "Лес");

    // Enter on the word already shown keeps the viewer as it is, the history buttons true to
    // the history.
    v->AddBack(QStringLiteral("Арбуз"));
    QTest::keyClick(pane()->listView(), Qt::Key_Return);
    EXPECT_EQ(viewerWindow(), v);
    EXPECT_EQ(shownWord(), "Лес");
    EXPECT_TRUE(v->button("Back")->isEnabled());

    // A minimised viewer comes back when the word is asked for again.
    v->showMinimized();
    QTest::keyClick(pane()->listView(), Qt::Key_Return);
    EXPECT_EQ(viewerWindow(), v);
    EXPECT_FALSE(v->isMinimized());

    // Turning a book off rebuilds the list, which closes the viewer.
    pane()->bookActions().at(1)->trigger();
    EXPECT_FALSE(viewerOpen());
    EXPECT_FALSE(tolk()->isChecked());
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowBooksTest, NothingSelectedHasNothingToShow)
{
    pane()->listView()->selectionModel()->clearSelection();
    pane()->listView()->selectionModel()->clearCurrentIndex();
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
    QWidget *list = pane()->listView();

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
    pane()->allOffAction()->trigger();
    ASSERT_TRUE(pane()->wordList().isEmpty());
    EXPECT_FALSE(tolk()->isEnabled());
    EXPECT_FALSE(pane()->listView()->isEnabled());
    EXPECT_EQ(window->statusLabel()->toolTip(), "0 слованых статей; ~0 толкований");
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
    window->toolbarButton(QStringLiteral("Calen"))->trigger();
    window->toolbarButton(QStringLiteral("HLP"))->trigger();
    EXPECT_EQ(calendar.size(), 2);
    EXPECT_EQ(options.size(), 2);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowBooksTest, PaneSwitchHidesAndBringsBackTheListWithItsSelection)
{
    selectWord("Лес");
    window->findChild<QToolButton *>(QStringLiteral("Picture1"))->click();
    EXPECT_FALSE(window->dictionaryActive());
    EXPECT_FALSE(pane()->listView()->isVisible());
    EXPECT_FALSE(pane()->searchField()->isVisible());

    window->findChild<QToolButton *>(QStringLiteral("Picture5"))->click();
    EXPECT_TRUE(window->dictionaryActive());
    EXPECT_TRUE(pane()->listView()->isVisible());
    EXPECT_TRUE(pane()->searchField()->isVisible());
    EXPECT_TRUE(pane()->listView()->hasFocus());
    EXPECT_FALSE(window->litHasFocus());
    EXPECT_EQ(pane()->selectedWord(), "Лес");
    EXPECT_EQ(window->selectedWordLabel()->text(), "Лес");
}

TEST_F(MainWindowBooksTest, StatusCaptionIsShortenedToTheRoomBesideTheSelectedWord)
{
    const QString full = window->statusLabel()->toolTip();
    ASSERT_EQ(full.toStdString(), "6 слованых статей; ~30 толкований");
    QLabel *status = window->statusLabel();
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
    window->selectedWordLabel()->setText(QStringLiteral("Длинноеслово"));
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
        platform::SettingsStore::atFile(dir.filePath("ZEL_Programming.conf"));
    EXPECT_EQ(reread.readDouble(platform::SettingsSection, "TLeft", -1), left * 15.0);
}
