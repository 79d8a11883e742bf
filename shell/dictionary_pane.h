#pragma once

// The dictionary pane of the main window: the book toolbar with its popup menu, the list-mode
// toolbar, the word list and the search field under it. It owns the catalogue and the word list;
// the main window connects its signals to the status bar, the command toolbar, the splash screen
// and the viewer.

#include "books/catalogue.h"
#include "books/word_forms.h"
#include "books/wordlist.h"

#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QActionGroup;
class QFrame;
class QMenu;
class QToolBar;

namespace kelmor::books {
class FormIndexes;
}

namespace kelmor::shell {

// The search field: arrow and page keys go to the list; a click or the focus selects the text
// (or puts the caret after a single character).
class SearchField : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

Q_SIGNALS:
    void navigationKey(int key); // Up, Down, Page Up or Page Down
    void focused();
    void clickedInside();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
};

// The word list view: a typed character (code 34 and up) is handed to the search field.
class WordListView : public QListView
{
    Q_OBJECT
public:
    using QListView::QListView;

Q_SIGNALS:
    void characterTyped(const QString &character);
    void focused();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
};

class DictionaryPane : public QWidget
{
    Q_OBJECT
public:
    explicit DictionaryPane(QWidget *parent = nullptr);
    ~DictionaryPane() override;

    // Shows a message: icon, text (the caption is the application title). Tests record instead.
    using MessageHandler = std::function<void(QMessageBox::Icon icon, const QString &text)>;
    void setMessageHandler(MessageHandler handler);

    books::Catalogue &catalogue() { return *m_catalogue; }
    const books::WordList &wordList() const { return *m_words; }
    // The dictionary forms of words (the system's Russian dictionary; none without it). Tests
    // give their own before LoadBooks.
    void setWordForms(std::shared_ptr<const books::WordForms> forms);
    // The dictionary forms in use (the system's Russian dictionary unless given), also for the
    // search inside the interpretations.
    std::shared_ptr<const books::WordForms> wordForms();
    // The resolver from a word in any form to a headword of the current list: made on first
    // need after each rebuild (or after the start, when the books' forms indexes answer single
    // words), its index built on a worker thread.
    std::shared_ptr<const books::FormResolver> resolver();
    // The headword a typed word or phrase means, with its row in the list (see
    // FormResolver::resolve): a single word through the books' forms indexes when every enabled
    // book has one, so that the headwords' forms need not be in memory; otherwise through
    // resolver().
    std::optional<books::FormResolver::Match> resolveForm(const QString &text);

    // Builds the catalogue and the book toolbar and menus, then the word list. On a fatal
    // condition (missing folder, no book file, no compatible book) it asks for the splash screen
    // to close, shows the message, asks for exitRequested(true) and returns false. Books that
    // carry the marker but could not be opened are reported by booksSkipped(); when none of the
    // books opened, the reasons are shown before the fatal message.
    bool LoadBooks(const QString &booksPath, const books::Catalogue::StateReader &states = {});
    // Rebuilds the word list from the enabled books. A call while a rebuild runs (from the
    // events let through between books) is run once the current rebuild has ended.
    void LoadList();
    // After a rebuild: selects the first word (or disables the field and the list when empty).
    void Listcheck();

    // The full status text ("N слованых статей; ~5N толкований").
    QString statusText() const { return m_statusText; }
    int selectedRow() const;
    QString selectedWord() const;
    // The word to store as LastWord at exit, when an item is selected.
    std::optional<QString> lastWordToSave() const
    {
        return selectedRow() >= 0 ? std::optional(selectedWord()) : std::nullopt;
    }
    // Restores the stored LastWord: the incremental search for it, unless it is only spaces.
    void LoadLastWord(const QString &stored);
    // Incremental search for the text (what typing into the search field runs): the first word
    // that begins with it; when none does and the text is one word (or the words of a headword),
    // the headword of its dictionary form ("змеи" → Змея), reported with formFound().
    void search(const QString &text);
    // Types the text into the search field (the tray popup mirrors its field here): the search
    // runs for it, also when the field holds that text already.
    void setSearchText(const QString &text);
    // Scrolls the word list so that its selected word is visible.
    void showSelected();

    // List mode: 1 one column, 2 several columns wrapping top to bottom; other values ignored.
    void setListMode(int button);
    int listMode() const { return m_listMode; }

    bool isTolkEnabled() const { return m_tolkEnabled; }
    // The double-click action (also Enter in the main window): when "Tolk" is enabled, asks for
    // the interpretation of the selected word.
    void activateSelected();

    // Pane switch: the dictionary shows the word list and the search field, the literature
    // hides them.
    void setDictionaryShown(bool shown);
    // Gives the focus to the word list (the window was activated).
    void focusWordList();
    // Disables the search field (the window found the list empty on activation).
    void disableSearch();

Q_SIGNALS:
    void splashCloseRequested();
    void exitRequested(bool fast);
    // Books that carry the marker but could not be opened ("Не удалось открыть сонник:" ...),
    // when at least one book did open.
    void booksSkipped(const QString &message);
    void statusTextChanged(const QString &text);
    void tolkEnabledChanged(bool enabled);
    // The item click: the viewer clears its history and, when shown, shows the word.
    void itemClicked(const QString &word);
    // Text for the selected-word label (shortened to 22 characters).
    void selectedWordChanged(const QString &label);
    // Double click or Enter: press "Tolk" and show the interpretation of the word.
    void tolkRequested(const QString &word);
    // A rebuilt list invalidates what the viewer shows.
    void viewerCloseRequested();
    // The search field or the list got the focus.
    void litFocusCleared();
    // A book button click starts (show and run the busy animation) and ends (start its timer).
    void busyStarted();
    void busyFinished();
    // The list mode changed (1 ordinary list, 2 several columns).
    void listModeChanged(int button);
    // The search selected a headword through a form of the typed word: the caption says so
    // («змеи» → Змея); an empty caption when the selection is the typed text's own again.
    void formFound(const QString &caption);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildBookControls();
    void syncBookButtons();
    void refreshBooksMenu();
    void bookButtonClick();
    void updateStatusText();
    void rebuildResolver();
    void prepareInBackground();
    void reportForm(const QString &caption);
    void scrollToRow(int row);
    void selectRow(int row);
    void itemClick(int row);
    void setTolkEnabled(bool enabled);
    void message(QMessageBox::Icon icon, const QString &text);
    void onNavigationKey(int key);
    void onListFocused();
    void applyFieldFocusRule();

    std::unique_ptr<books::Catalogue> m_catalogue;
    std::unique_ptr<books::WordList> m_words;
    books::WordListModel *m_model = nullptr;
    std::shared_ptr<const books::WordForms> m_forms;
    std::shared_ptr<const books::FormResolver> m_resolver;
    // The enabled books' forms indexes in the cache folder, opened at each rebuild; single words
    // are answered through them when every book has one.
    std::unique_ptr<books::FormIndexes> m_formIndexes;
    bool m_formShown = false;

    QToolBar *m_bookBar = nullptr;
    QToolBar *m_listModeBar = nullptr;
    QAction *m_oneColumnMode = nullptr;
    QAction *m_columnsMode = nullptr;
    QFrame *m_listFrame = nullptr;
    WordListView *m_listView = nullptr;
    SearchField *m_searchField = nullptr;

    QMenu *m_booksMenu = nullptr;
    QAction *m_allOnAction = nullptr;
    QAction *m_allOffAction = nullptr;
    QMenu *m_pickMenu = nullptr;
    QMenu *m_keepOneMenu = nullptr;
    QAction *m_pickPlaceholder = nullptr;
    QAction *m_keepOnePlaceholder = nullptr;
    QList<QAction *> m_bookButtons;
    QList<QAction *> m_pickActions;
    QList<QAction *> m_keepOneActions;

    MessageHandler m_messages;
    QString m_statusText;
    int m_listMode = 1;
    bool m_tolkEnabled = false;
    bool m_loading = false;
    bool m_startingUp = false; // the first list, while the books load at the start
    bool m_reloadPending = false;
    bool m_programmatic = false;
};

} // namespace kelmor::shell
