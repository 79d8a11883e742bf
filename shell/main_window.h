#pragma once

#include "calendar/location.h"
#include "shell/exit_state.h"

#include <QMainWindow>
#include <QPointer>

#include <QPoint>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QShortcut;
class QTimer;

namespace kelmor::platform {
class FormAbout;
class ProcessAnimation;
class SettingsStore;
class TrayArea;
} // namespace kelmor::platform

namespace kelmor::calendar {
class Calen;
}

namespace kelmor::dream {
class DreamWindow;
}

namespace kelmor::fulltext {
class FulltextSearch;
class FulltextWindow;
} // namespace kelmor::fulltext

namespace kelmor::journal {
class JournalWindow;
}

namespace kelmor::options {
class OptionsForm;
}

namespace kelmor::tray {
class TrayCommands;
class TrayMenu;
} // namespace kelmor::tray

namespace kelmor::viewer {
class LiteraturePane;
class Tolk;
} // namespace kelmor::viewer

namespace kelmor::shell {

class DictionaryPane;
class LinkLabel;
class PaneAccordion;
class StatusCaption;

// The main window: the command toolbar (interpretation, calendar, options), the literature and
// dictionary panes, the status bar with the busy animation, the "О программе" link and the tray
// icon; and the program's load, tray mode, activation, close and exit procedures.
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
        // Tells the user that the settings could not be saved (file, reason). Default: a
        // message box, and the same text on standard error.
        std::function<void(const QString &message)> reportSaveFailure;
        // The autorun entry, asked by the tray popup's "Выход" and switched off by the exit
        // question. Default: IsAutorunOn and SetAutorun.
        std::function<bool()> isAutorunOn;
        std::function<void(bool enable)> setAutorun;
        // The mouse on the screen, where the tray popup opens; std::nullopt where the desktop
        // does not tell. Default: platform::globalPointerPosition.
        std::function<std::optional<QPoint>()> pointerPosition;
    };

    // The default options for the running program.
    static Options defaultOptions();

    explicit MainWindow(platform::SettingsStore &store, Options options = defaultOptions(),
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    // The panes. Their selections, focus and keys drive the command toolbar, the status bar and
    // the viewer; ExitApp saves their states.
    void setDictionaryPane(DictionaryPane *pane);
    void setLiteraturePane(viewer::LiteraturePane *pane);
    // The splash screen that closes once the window is up.
    void setSplash(QWidget *splash);
    QWidget *splash() const { return m_splash; }
    void setStartingUp(bool startingUp) { m_startingUp = startingUp; }

    // The load of the window, in its fixed order of steps (data folders, geometry, caption,
    // location, preferences, list mode, admin commands, busy animation, books, literature, last
    // word).
    void Load();

    // Ends the program: hides the tray icon, removes the minimum size, saves the user's state
    // unless fast, deletes "article.doc" in the program's folder, unloads the windows and ends
    // the process. Every step runs even when an earlier one fails.
    void ExitApp(bool fast);
    // ExitApp has begun (it may still be showing why the settings could not be saved).
    bool isExiting() const { return m_exiting; }
    bool hasEnded() const { return m_ended; }

    // Tray mode: minimise, show the tray icon with the window's icon, hide the window. Where
    // the desktop has no notification area, only minimise (a hidden window could not be
    // reached).
    void ToTray();
    // Leaves tray mode: closes the secondary windows, shows the window in the normal state,
    // hides the tray icon.
    void FromTray();
    // Closes the secondary windows: the about box, the viewer, the calendar, the whole-dream
    // window, and through secondaryWindowsClosing the options and the city directory.
    void closeSecondaryWindows();
    // The tray popup (the right button on the tray icon), with its bottom-right corner at the
    // mouse; an open popup comes forward.
    void ShowTrayMenu();
    tray::TrayMenu *trayMenu() const;
    // The popup's Enter on the list's selected word: its interpretation in the viewer (also
    // while the literature has the focus).
    void showTrayWord();
    // The tray popup's exit question, modally.
    void showExitQuestion();
    bool isInTray() const { return m_inTray; }
    // A second start of the program asked this one to come forward.
    void comeForward();
    // A window a start asked for by name (the menu entry's actions): "calendar" opens the moon
    // calendar, "dream" the whole-dream window; any other name does nothing.
    void openRequestedWindow(const QString &window);

    // The command toolbar's actions. ShowTolk opens the viewer when the "Tolk" button is pressed
    // and closes it when the button is released.
    void ShowTolk();
    void ShowCalen();
    // The options window on its first tab, modal.
    void ShowOptions();
    // The options window on a tab (1: "Общие", 2: "Настройки местности"), owned by this window;
    // each opening reads the current values, and "Ok" makes them this window's. Modal: returns
    // once it has closed. One at a time: an open one comes forward on the tab asked for.
    void showOptionsWindow(int tab, bool modal);
    // The about box: modal from the main window, modeless from the tray popup.
    void ShowAbout(bool modal = true);
    // The "Весь сон" window (Ctrl+D): a whole dream read at once.
    void ShowDream();
    // The "Дневник снов" window (Ctrl+J).
    void ShowJournal();
    journal::JournalWindow *journalWindow() const;
    // The "Поиск по толкованиям" window (Ctrl+F): the articles whose text holds the words. The
    // first use starts indexing the books; every use picks up books changed since.
    void ShowFulltext();
    // The search behind that window, made on first use; null before.
    fulltext::FulltextSearch *fulltextSearch() const { return m_fulltext; }

    // What the load read, for the windows that show and change it.
    bool toTrayOnClose() const { return m_toTrayOnClose; }
    void setToTrayOnClose(bool on) { m_toTrayOnClose = on; }
    // The tray popup's opacity (0 and 255: none applied); the options window's slider sets it
    // at once, also when the window is cancelled.
    int menuTransparency() const { return m_menuTransparency; }
    void setMenuTransparency(int value) { m_menuTransparency = value; }
    const calendar::Location &location() const { return m_location; }
    void setLocation(const calendar::Location &location) { m_location = location; }
    QString booksPath() const { return m_booksPath; }
    QString textsPath() const { return m_textsPath; }
    // Whether the literature tree has the focus (the viewer then shows the article).
    bool litHasFocus() const { return m_litHasFocus; }

Q_SIGNALS:
    // FromTray closes the secondary windows.
    void secondaryWindowsClosing();
    // ExitApp unloads every window.
    void windowsUnloading();
    // The calendar and options commands ran (toolbar, Ctrl+M / Ctrl+O, the tray popup).
    void calendarRequested();
    void optionsRequested();

protected:
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildUi();
    void buildCommandToolbar();
    void buildStatusBar();
    void buildWindowKeys();
    void buildCommandsMenu();
    // A command of the "Сервис" menu with its key, which works in the whole window whatever
    // has the focus.
    QAction *addCommand(const QString &key, const QString &caption, const QKeySequence &shortcut,
                        const std::function<void()> &handler);
    void connectDictionary();
    void connectLiterature();
    // Enter in the window: the interpretation of the selected word, or the selected article
    // while the literature has the focus.
    void activateSelection();
    void restoreGeometry();
    void SelectListMode(int button);
    void CheckAdminSet();
    void LoadBooks();
    void ShowLit();
    void LoadLastWord();
    void SaveLastWord();
    ExitState collectExitState() const;
    void saveUserState();
    void onActivated();
    void onBusyEnded();
    void closeSplash();
    void updateWindowKeys();
    void showBooksWarning();
    // Writes the settings to the file now; a file that cannot be written is reported.
    void saveSettings();
    // The options window confirmed: its values become this window's.
    void takeOptions(const options::OptionsForm &form);
    // The viewer on the selected word or, while the literature has the focus, the selected
    // article; listWord: the selected word in any case.
    void openViewer(bool listWord = false);
    void buildTrayCommands();
    void closeViewer();
    void releaseInterpretation();
    // A headword asked for by the whole-dream window or the journal, in the viewer.
    void showWordInViewer(const QString &word);
    // The word list's selected word; none without a selection.
    std::optional<QString> selectedListWord() const;

    platform::SettingsStore &m_store;
    Options m_options;

    QAction *m_interpretAction = nullptr;
    QAction *m_calendarAction = nullptr;
    QAction *m_optionsAction = nullptr;
    LinkLabel *m_aboutLink = nullptr;
    PaneAccordion *m_panes = nullptr;
    DictionaryPane *m_dictionary = nullptr;
    viewer::LiteraturePane *m_literature = nullptr;
    QLabel *m_selectedWord = nullptr;
    StatusCaption *m_statusCaption = nullptr;
    platform::ProcessAnimation *m_busy = nullptr;
    platform::TrayArea *m_tray = nullptr;
    QTimer *m_busyTimer = nullptr;
    QTimer *m_splashTimer = nullptr;
    QList<QShortcut *> m_windowKeys;
    QPointer<QWidget> m_splash;
    QPointer<platform::FormAbout> m_about;
    QPointer<viewer::Tolk> m_viewer;
    QPointer<calendar::Calen> m_calendar;
    QPointer<dream::DreamWindow> m_dreamWindow;
    fulltext::FulltextSearch *m_fulltext = nullptr;
    QPointer<fulltext::FulltextWindow> m_fulltextWindow;
    QPointer<journal::JournalWindow> m_journalWindow;
    QPointer<options::OptionsForm> m_optionsWindow;
    // The popup has no parent (a transient of the hidden main window could stay hidden with
    // it); the window deletes one still open.
    QPointer<tray::TrayMenu> m_trayMenu;
    std::unique_ptr<tray::TrayCommands> m_trayCommands;
    QMenu *m_trayHostMenu = nullptr;
    QMenu *m_commandsMenu = nullptr;
    QString m_booksWarning;

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
