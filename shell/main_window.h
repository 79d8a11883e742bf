#pragma once

#include "calendar/location.h"
#include "shell/exit_state.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <optional>

class QAction;
class QLabel;
class QStatusBar;
class QTimer;
class QToolBar;
class QShortcut;
class QToolButton;
class QVBoxLayout;

namespace kelmor::books {
class DictionaryPane;
}

namespace kelmor::platform {
class FormAbout;
class ProcessAnimation;
class SettingsStore;
class TrayArea;
} // namespace kelmor::platform

namespace kelmor::viewer {
class Tolk;
}

namespace kelmor::shell {

class LinkLabel;

// The main window "Form1": command toolbar Toolbar1 ("Tolk", "Calen", "HLP"), a pane area, the
// status bar StatusBar1 with the busy animation Process1, the "О программе" link Label3, the tray
// icon Tray1, and the load, tray, activation, close and exit procedures of the program.
//
// Where the later parts go:
// - The dictionary pane (book toolbar Toolbar2, list-mode toolbar Toolbar4, search field Text1,
//   word list ListView1) is handed over with setDictionaryPane(); it fills the pane area under
//   the command toolbar. The literature pane goes with setLiteraturePane().
// - The book toolbar's states reach ExitApp through setBookStates(), the literature tree's
//   through setLiteratureStates(): each is a function that returns what to save.
// - The named load and save operations (LoadBooks, LoadList, ShowLit, LoadLastWord,
//   SaveLastWord) and the list-mode handler SelectListMode are the places where those parts
//   put their work; the load calls them in its order and ExitApp calls the saving ones.
// - Secondary windows (viewer Tolk, calendar Calen, options, city directory) connect to
//   secondaryWindowsClosing() (FromTray closes them) and windowsUnloading() (ExitApp).
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    struct Options
    {
        // Whether the desktop has a notification area; without one ToTray only minimises.
        bool trayAvailable = true;
        // The folder of the program ("article.doc" is deleted there at exit); default: the
        // executable's folder.
        QString programFolder;
        // The executable's base name; the minimum tracking size applies for "kelmor" in any
        // letter case. Default: the running executable's.
        QString executableBaseName;
        // Ends the process, the last step of ExitApp. Default: quit the event loop.
        std::function<void()> endProcess;
    };

    // The default options for the running program.
    static Options defaultOptions();

    explicit MainWindow(platform::SettingsStore &store, Options options = defaultOptions(),
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    // The load of the window, in its fixed order of steps (settings names, data folders,
    // geometry, caption, location, preferences, list mode, admin commands, busy animation,
    // books, literature, last word, Timer1).
    void Load();

    // Ends the program: hides the tray icon, removes the minimum size, saves the user's state
    // unless fast, deletes "article.doc" in the program's folder, unloads the windows and ends
    // the process. Every step runs even when an earlier one fails.
    void ExitApp(bool fast);

    // Tray mode: minimise, show the tray icon with the window's icon, hide the window. Where
    // the desktop has no notification area, only minimise (a hidden window could not be
    // reached).
    void ToTray();
    // Leaves tray mode: closes the secondary windows, shows the window in the normal state,
    // hides the tray icon.
    void FromTray();
    // Acts on the admin command text: "Go_to_tray;" calls ToTray.
    void CheckAdminSet();
    // A second start of the program asked this one to come forward.
    void comeForward();

    // The list-mode toolbar's handler: 1 ordinary list, 2 several columns, others nothing.
    void SelectListMode(int button);

    // Operations the dictionary and literature parts fill in.
    void LoadBooks();
    void LoadList();
    void ShowLit();
    void LoadLastWord();
    void SaveLastWord();
    // The command toolbar's actions. ShowTolk opens the viewer when the "Tolk" button is pressed
    // and closes it when the button is released.
    void ShowTolk();
    void ShowCalen();
    void ShowOptions();
    void ShowAbout();

    // Pane area.
    void setDictionaryPane(QWidget *pane);
    void setLiteraturePane(QWidget *pane);
    void setBookStates(std::function<QList<ExitState::Book>()> states);
    struct LiteratureStates
    {
        QList<ExitState::LitNode> nodes;
        bool allExpanded = true;
        bool favExpanded = true;
    };
    void setLiteratureStates(std::function<LiteratureStates()> states);

    // The state ExitApp saves, collected from the window now.
    ExitState collectExitState() const;

    // Start-up state.
    void setStartingUp(bool startingUp) { m_startingUp = startingUp; }
    bool startingUp() const { return m_startingUp; }
    // The splash screen that Timer2 closes.
    void setSplash(QWidget *splash);
    QWidget *splash() const { return m_splash; }

    // Values the load read.
    bool toTrayOnClose() const { return m_toTrayOnClose; }
    void setToTrayOnClose(bool on) { m_toTrayOnClose = on; }
    int menuTransparency() const { return m_menuTransparency; }
    void setMenuTransparency(int value) { m_menuTransparency = value; }
    QString adminCommands() const { return m_adminCommands; }
    const calendar::Location &location() const { return m_location; }
    void setLocation(const calendar::Location &location) { m_location = location; }
    QString booksPath() const { return m_booksPath; }
    QString textsPath() const { return m_textsPath; }
    bool ordinaryList() const { return m_ordinaryList; }
    bool litHasFocus() const { return m_litHasFocus; }
    void setLitHasFocus(bool focus) { m_litHasFocus = focus; }
    bool minimumSizeRuleInstalled() const { return m_minimumSizeRule; }

    bool isInTray() const { return m_inTray; }
    // True once ExitApp has run.
    bool hasEnded() const { return m_ended; }

    platform::SettingsStore &settings() { return m_store; }
    platform::TrayArea *tray() const { return m_tray; }
    platform::ProcessAnimation *process() const { return m_process; }
    QAction *toolbarButton(const QString &key) const;
    QStatusBar *statusBar1() const { return m_statusBar; }
    QLabel *statusLabel() const { return m_statusText; }
    QTimer *timer1() const { return m_timer1; }
    QTimer *timer2() const { return m_timer2; }

    // Sets the status text (Label7).
    void setStatusText(const QString &text);

    // The open viewer window, or null.
    viewer::Tolk *viewerWindow() const;

    // The dictionary pane given to setDictionaryPane(), when it is the book dictionary.
    books::DictionaryPane *dictionary() const { return m_dictionary; }
    // Pane switch: the dictionary (word list and search field) or the literature is active;
    // the other pane is collapsed to its header strip.
    void showDictionary();
    void showLiterature();
    bool dictionaryActive() const { return m_dictionaryActive; }
    // The selected-word label (Label6).
    QLabel *selectedWordLabel() const { return m_selectedWord; }
    // Recomputes the status caption from the full status text for the label's width.
    void StText();

Q_SIGNALS:
    // FromTray closes the secondary windows.
    void secondaryWindowsClosing();
    // ExitApp unloads every window.
    void windowsUnloading();
    // The list mode was selected (button 1 or 2).
    void listModeSelected(int button);
    // Esc released the pressed "Tolk" button: the viewer closes.
    void tolkCloseRequested();
    // The "Calen" and "HLP" commands ran (toolbar or Ctrl+M / Ctrl+O).
    void calendarRequested();
    void optionsRequested();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildUi();
    void onActivated();
    void onTimer1();
    void onTimer2();
    void installMinimumSizeRule();
    void removeMinimumSizeRule();
    // Words in the word list (the dictionary part tells).
    int wordListCount() const;
    void connectDictionary();
    void updateWindowKeys();
    void showBooksWarning();
    void openViewer();
    // The word list's selected word; none without a selection.
    std::optional<QString> selectedListWord() const;
    void closeViewer();

    platform::SettingsStore &m_store;
    Options m_options;

    QToolBar *m_toolbar = nullptr;
    QAction *m_tolk = nullptr;
    QAction *m_calen = nullptr;
    QAction *m_hlp = nullptr;
    LinkLabel *m_aboutLink = nullptr;
    QVBoxLayout *m_paneLayout = nullptr;
    QWidget *m_dictionaryPane = nullptr;
    QWidget *m_literaturePane = nullptr;
    books::DictionaryPane *m_dictionary = nullptr;
    QToolButton *m_litHeader = nullptr;  // Picture1 with Label5 "Литература"
    QToolButton *m_dictHeader = nullptr; // Picture5 with Label1 "Словарь"
    QWidget *m_litContent = nullptr;     // Picture3 below its header strip
    QVBoxLayout *m_litLayout = nullptr;
    QWidget *m_dictContent = nullptr;
    QVBoxLayout *m_dictLayout = nullptr;
    QLabel *m_selectedWord = nullptr;
    QList<QShortcut *> m_windowKeys;
    QString m_fullStatus;
    QString m_booksWarning;
    bool m_dictionaryActive = true;
    QStatusBar *m_statusBar = nullptr;
    QLabel *m_statusText = nullptr;
    platform::ProcessAnimation *m_process = nullptr;
    platform::TrayArea *m_tray = nullptr;
    QTimer *m_timer1 = nullptr;
    QTimer *m_timer2 = nullptr;
    QPointer<QWidget> m_splash;
    QPointer<platform::FormAbout> m_about;
    QPointer<viewer::Tolk> m_viewer;

    std::function<QList<ExitState::Book>()> m_bookStates;
    std::function<LiteratureStates()> m_literatureStates;

    bool m_startingUp = false;
    bool m_toTrayOnClose = false;
    int m_menuTransparency = 0;
    QString m_adminCommands;
    calendar::Location m_location;
    QString m_booksPath;
    QString m_textsPath;
    bool m_ordinaryList = true;
    bool m_litHasFocus = false;
    bool m_minimumSizeRule = false;
    bool m_inTray = false;
    bool m_shownOnce = false;
    bool m_exiting = false;
    bool m_ended = false;
};

} // namespace kelmor::shell
