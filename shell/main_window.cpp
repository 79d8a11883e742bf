#include "shell/main_window.h"

#include "calendar/calen.h"
#include "calendar/location_settings.h"
#include "dream/dream_window.h"
#include "fulltext/fulltext_search.h"
#include "fulltext/fulltext_window.h"
#include "journal/journal_window.h"
#include "options/options_form.h"
#include "platform/about_box.h"
#include "platform/pointer_position.h"
#include "platform/process_animation.h"
#include "platform/program_path.h"
#include "platform/settings.h"
#include "platform/tray_area.h"
#include "platform/twips.h"
#include "platform/version.h"
#include "shell/app_icon.h"
#include "shell/autorun.h"
#include "shell/dictionary_pane.h"
#include "shell/geometry.h"
#include "shell/link_label.h"
#include "shell/logging.h"
#include "shell/pane_accordion.h"
#include "shell/startup.h"
#include "shell/status_caption.h"
#include "tray/exit_question.h"
#include "tray/tray_commands.h"
#include "tray/tray_icons.h"
#include "tray/tray_menu.h"
#include "viewer/catalogue_books.h"
#include "viewer/literature_pane.h"
#include "viewer/messages.h"
#include "viewer/tolk.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>

namespace kelmor::shell {

using platform::SettingsSection;
using platform::twipsToPixels;

namespace {

// Minimum tracking size while the user resizes, in pixels.
constexpr QSize MinimumTrackingSize(260, 360);
// The busy animation runs this long after a rebuild; the splash closes this long after the
// window first shows or is activated.
constexpr int BusyAnimationMs = 2000;
constexpr int SplashCloseMs = 300;

// The available areas of every screen, in twips.
QList<QRectF> desktopTwips()
{
    QList<QRectF> areas;
    for (const QScreen *screen : QGuiApplication::screens()) {
        const QRect a = screen->availableGeometry();
        areas.append(QRectF(platform::pixelsToTwips(a.x()), platform::pixelsToTwips(a.y()),
                            platform::pixelsToTwips(a.width()),
                            platform::pixelsToTwips(a.height())));
    }
    return areas;
}

void reportSaveFailureToUser(const QString &message)
{
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    // Without a display to show it on, the terminal line is all the user gets.
    if (QGuiApplication::platformName() == QLatin1String("offscreen") ||
        QGuiApplication::platformName() == QLatin1String("minimal"))
        return;
    QMessageBox box(QMessageBox::Warning, platform::ApplicationTitle, message, QMessageBox::Ok);
    box.exec();
}

} // namespace

MainWindow::Options MainWindow::defaultOptions()
{
    Options options;
    options.trayAvailable = platform::TrayArea::isSystemTrayAvailable();
    return options;
}

MainWindow::MainWindow(platform::SettingsStore &store, Options options, QWidget *parent)
    : QMainWindow(parent)
    , m_store(store)
    , m_options(std::move(options))
{
    if (m_options.programFolder.isEmpty())
        m_options.programFolder = platform::programFolder();
    if (m_options.executableBaseName.isEmpty())
        m_options.executableBaseName = QFileInfo(platform::programPath()).completeBaseName();
    if (!m_options.endProcess) {
        // Queued, so that an end during the load (before the event loop runs) still ends it.
        m_options.endProcess = [] {
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        };
    }
    if (!m_options.reportSaveFailure)
        m_options.reportSaveFailure = reportSaveFailureToUser;
    if (!m_options.isAutorunOn)
        m_options.isAutorunOn = IsAutorunOn;
    if (!m_options.setAutorun)
        m_options.setAutorun = SetAutorun;
    if (!m_options.pointerPosition)
        m_options.pointerPosition = platform::globalPointerPosition;
    buildUi();
}

MainWindow::~MainWindow()
{
    // The search window reads the search: it goes first.
    delete m_fulltextWindow.data();
    // The popup is a window of its own, without a parent.
    delete m_trayMenu.data();
}

void MainWindow::buildUi()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(platform::ProgramName);
    setWindowIcon(applicationIcon());

    buildCommandToolbar();

    m_panes = new PaneAccordion(this);
    setCentralWidget(m_panes);
    connect(m_panes, &PaneAccordion::dictionaryShown, this, [this] {
        if (!m_dictionary)
            return;
        m_dictionary->setDictionaryShown(true);
        m_litHasFocus = false;
    });
    connect(m_panes, &PaneAccordion::literatureShown, this, [this] {
        if (m_dictionary)
            m_dictionary->setDictionaryShown(false);
    });

    buildStatusBar();

    m_tray = new platform::TrayArea(this);
    m_tray->setObjectName(QStringLiteral("Tray1"));
    m_tray->setToolTip(platform::ApplicationTitle);
    connect(m_tray, &platform::TrayArea::MouseDown, this, [this](int button) {
        if (button == platform::TrayArea::LeftButton)
            FromTray();
        else if (button == platform::TrayArea::RightButton)
            ShowTrayMenu();
    });
    buildTrayCommands();

    m_busyTimer = new QTimer(this);
    m_busyTimer->setObjectName(QStringLiteral("Timer1"));
    m_busyTimer->setInterval(BusyAnimationMs);
    connect(m_busyTimer, &QTimer::timeout, this, &MainWindow::onBusyEnded);

    m_splashTimer = new QTimer(this);
    m_splashTimer->setObjectName(QStringLiteral("Timer2"));
    m_splashTimer->setInterval(SplashCloseMs);
    connect(m_splashTimer, &QTimer::timeout, this, &MainWindow::closeSplash);

    buildWindowKeys();
    buildCommandsMenu();
    connect(this, &MainWindow::secondaryWindowsClosing, this, &MainWindow::closeViewer);
    connect(this, &MainWindow::windowsUnloading, this, &MainWindow::closeViewer);
    const auto closeSecondaryWindows = [this] {
        if (m_optionsWindow)
            m_optionsWindow->reject();
        if (m_calendar)
            m_calendar->close();
        if (m_dreamWindow)
            m_dreamWindow->close();
        if (m_journalWindow)
            m_journalWindow->close();
        if (m_fulltextWindow)
            m_fulltextWindow->close();
    };
    connect(this, &MainWindow::secondaryWindowsClosing, this, closeSecondaryWindows);
    connect(this, &MainWindow::windowsUnloading, this, closeSecondaryWindows);
    connect(this, &MainWindow::windowsUnloading, this, [this] {
        if (m_trayMenu)
            m_trayMenu->close();
    });
    // The end of the program stops the indexing; the books done stay in the cache.
    connect(this, &MainWindow::windowsUnloading, this, [this] {
        if (m_fulltext)
            m_fulltext->stop();
    });
}

void MainWindow::buildTrayCommands()
{
    tray::TrayCommands::Context commands;
    commands.fromTray = [this] {
        FromTray();
        if (m_dictionary)
            m_dictionary->showSelected();
    };
    commands.unloadAll = [this] { closeSecondaryWindows(); };
    commands.showCalendar = [this] { ShowCalen(); };
    commands.showAbout = [this] { ShowAbout(false); };
    commands.showOptions = [this] {
        Q_EMIT optionsRequested();
        showOptionsWindow(1, false);
    };
    commands.isAutorunOn = [this] { return m_options.isAutorunOn(); };
    commands.unloadQ = [this] { return tray::storedUnloadQ(m_store); };
    commands.showExitQuestion = [this] { showExitQuestion(); };
    commands.exitApp = [this] { ExitApp(false); };
    m_trayCommands = std::make_unique<tray::TrayCommands>(std::move(commands));

    // Where the notification area shows only menus of its own, the icon's menu opens the
    // popup and runs its commands.
    m_trayHostMenu = new QMenu(this);
    m_trayHostMenu->setObjectName(QStringLiteral("mnuTray"));
    QAction *search = m_trayHostMenu->addAction(tray::rowIcon(tray::RowPicture::Search),
                                                QStringLiteral("Быстрый поиск…"));
    connect(search, &QAction::triggered, this, &MainWindow::ShowTrayMenu);
    m_trayHostMenu->addSeparator();
    const std::pair<int, tray::RowPicture> rows[] = {
        {tray::TrayCommands::Restore, tray::RowPicture::Restore},
        {tray::TrayCommands::Calendar, tray::RowPicture::Calendar},
        {tray::TrayCommands::Options, tray::RowPicture::Options},
        {tray::TrayCommands::About, tray::RowPicture::About},
        {tray::TrayCommands::Exit, tray::RowPicture::Exit},
    };
    for (const auto &[row, picture] : rows) {
        if (row == tray::TrayCommands::Exit)
            m_trayHostMenu->addSeparator();
        QAction *action =
            m_trayHostMenu->addAction(tray::rowIcon(picture), tray::TrayCommands::caption(row));
        connect(action, &QAction::triggered, this, [this, row] { m_trayCommands->run(row); });
    }
    m_tray->setHostMenu(m_trayHostMenu);
}

void MainWindow::buildCommandToolbar()
{
    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setIconSize(QSize(20, 20));
    toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, toolbar);

    const auto addButton = [this, toolbar](const QString &key, const QString &caption,
                                           const QString &tip, QStyle::StandardPixmap icon) {
        QAction *action = toolbar->addAction(style()->standardIcon(icon), caption);
        action->setObjectName(key);
        action->setToolTip(tip);
        return action;
    };
    m_interpretAction = addButton(QStringLiteral("Tolk"), QStringLiteral("Толкование"),
                                  QStringLiteral("Показать толкование / книгу (Enter)"),
                                  QStyle::SP_FileDialogContentsView);
    m_interpretAction->setCheckable(true);
    m_calendarAction = addButton(QStringLiteral("Calen"), QStringLiteral("Календарь"),
                                 QStringLiteral("Календарь сбываемости снов (Ctrl+M)"),
                                 QStyle::SP_FileDialogDetailedView);
    // Pressed while the calendar is open.
    m_calendarAction->setCheckable(true);
    m_optionsAction =
        addButton(QStringLiteral("HLP"), QStringLiteral("Настройки"),
                  QStringLiteral("Настройки программы"), QStyle::SP_FileDialogInfoView);
    connect(m_interpretAction, &QAction::triggered, this, &MainWindow::ShowTolk);
    connect(m_calendarAction, &QAction::triggered, this, &MainWindow::ShowCalen);
    connect(m_optionsAction, &QAction::triggered, this, &MainWindow::ShowOptions);

    // The strip above the command toolbar, with the "О программе" link at its right.
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("Image3"));
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(2, 0, 8, 0);
    // The "Сервис" menu: the program's commands beyond the dictionary and the calendar.
    auto *commands = new QToolButton(header);
    commands->setObjectName(QStringLiteral("Commands"));
    commands->setText(QStringLiteral("Сервис"));
    commands->setAutoRaise(true);
    commands->setPopupMode(QToolButton::InstantPopup);
    commands->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_commandsMenu = new QMenu(commands);
    m_commandsMenu->setObjectName(QStringLiteral("mnuCommands"));
    commands->setMenu(m_commandsMenu);
    headerLayout->addWidget(commands);
    headerLayout->addStretch();
    m_aboutLink = new LinkLabel(QStringLiteral("О программе"), header);
    m_aboutLink->setObjectName(QStringLiteral("Label3"));
    headerLayout->addWidget(m_aboutLink);
    setMenuWidget(header);
    connect(m_aboutLink, &LinkLabel::clicked, this, [this] {
        m_aboutLink->unsetCursor();
        m_aboutLink->setTextColor(LinkLabel::normalColor());
        ShowAbout();
        m_aboutLink->setCursor(Qt::PointingHandCursor);
    });
}

void MainWindow::buildStatusBar()
{
    auto *statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_selectedWord = new QLabel(statusBar);
    m_selectedWord->setObjectName(QStringLiteral("Label6"));
    m_selectedWord->setStyleSheet(QStringLiteral("font-weight: bold;"));
    statusBar->addWidget(m_selectedWord);
    m_statusCaption = new StatusCaption(statusBar);
    m_statusCaption->setObjectName(QStringLiteral("Label7"));
    statusBar->addWidget(m_statusCaption, 1);
    m_busy = new platform::ProcessAnimation(statusBar);
    m_busy->setObjectName(QStringLiteral("Process1"));
    m_busy->setVisible(false);
    statusBar->addPermanentWidget(m_busy);
    setStatusBar(statusBar);
}

void MainWindow::buildWindowKeys()
{
    // Keys the window handles before its controls, only while "Tolk" is enabled (the word list
    // is not empty); otherwise they reach the focused control.
    const auto addKey = [this](const QKeySequence &key, auto action) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
        m_windowKeys.append(shortcut);
    };
    addKey(QKeySequence(Qt::Key_Return), [this] { activateSelection(); });
    addKey(QKeySequence(Qt::Key_Enter), [this] { activateSelection(); });
    addKey(QKeySequence(Qt::Key_Escape), [this] {
        if (m_interpretAction->isChecked())
            releaseInterpretation();
    });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_M), [this] { ShowCalen(); });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { ShowOptions(); });
    updateWindowKeys();
    connect(m_interpretAction, &QAction::changed, this, &MainWindow::updateWindowKeys);
}

void MainWindow::activateSelection()
{
    if (m_litHasFocus && m_literature) {
        if (m_literature->isTolkEnabled()) {
            m_interpretAction->setChecked(true);
            ShowTolk();
        }
    } else if (m_dictionary) {
        m_dictionary->activateSelected();
    }
}

void MainWindow::buildCommandsMenu()
{
    addCommand(QStringLiteral("mnuDream"), QStringLiteral("Весь сон…"),
               QKeySequence(Qt::CTRL | Qt::Key_D), [this] { ShowDream(); });
    addCommand(QStringLiteral("mnuJournal"), QStringLiteral("Дневник снов…"),
               QKeySequence(Qt::CTRL | Qt::Key_J), [this] { ShowJournal(); });
    addCommand(QStringLiteral("mnuFulltext"), QStringLiteral("Поиск по толкованиям…"),
               QKeySequence(Qt::CTRL | Qt::Key_F), [this] { ShowFulltext(); });
}

QAction *MainWindow::addCommand(const QString &key, const QString &caption,
                                const QKeySequence &shortcut, const std::function<void()> &handler)
{
    QAction *action = m_commandsMenu->addAction(caption);
    action->setObjectName(key);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    // Also a shortcut of the window itself, so the key works while the menu is closed.
    addAction(action);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void MainWindow::updateWindowKeys()
{
    for (QShortcut *key : std::as_const(m_windowKeys))
        key->setEnabled(m_interpretAction->isEnabled());
}

void MainWindow::restoreGeometry()
{
    QSizeF screenTwips(platform::pixelsToTwips(1024), platform::pixelsToTwips(768));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        screenTwips = QSizeF(platform::pixelsToTwips(screen->geometry().width()),
                             platform::pixelsToTwips(screen->geometry().height()));
    const WindowGeometry g = readWindowGeometry(m_store, screenTwips, desktopTwips());
    move(twipsToPixels(g.left), twipsToPixels(g.top));
    resize(twipsToPixels(g.width), twipsToPixels(g.height));
}

void MainWindow::Load()
{
    // Data folders.
    m_booksPath = platform::BooksPath();
    m_textsPath = platform::TextsPath();
    // The menu transparency is read again below.
    m_menuTransparency = 0;
    // Minimum tracking size, for the program under its own name only.
    if (m_options.executableBaseName.toUpper() == QLatin1String("KELMOR")) {
        setMinimumSize(MinimumTrackingSize);
        m_minimumSizeRule = true;
    }
    // Geometry, in twips, with its corrections.
    restoreGeometry();
    setWindowTitle(platform::ProgramName + QLatin1Char(' ') + platform::VersionString());
    // The observer's place, with its decimal degrees.
    m_location = calendar::readLocation(m_store);
    // Preferences.
    m_toTrayOnClose = m_store.readBool(SettingsSection, QStringLiteral("ToTray"), false);
    // An opacity outside 0..255 is garbage and gives the default.
    m_menuTransparency = m_store.readInt(SettingsSection, QStringLiteral("MenuTransp"), 205);
    if (m_menuTransparency < 0 || m_menuTransparency > 255)
        m_menuTransparency = 205;
    m_adminCommands = m_store.read(SettingsSection, QStringLiteral("AdminCommands"));
    const int listMode = m_store.readInt(SettingsSection, QStringLiteral("ListMode"), 1);
    SelectListMode(listMode == 1 ? 1 : 2);
    CheckAdminSet();
    // Busy animation while the books load.
    m_busy->setVisible(true);
    m_busy->ProgressPlay();
    // Books (may end the program), literature, last word.
    LoadBooks();
    if (m_ended)
        return;
    ShowLit();
    LoadLastWord();
    m_busyTimer->start();
    qCInfo(lcShell) << "main window loaded";
}

ExitState MainWindow::collectExitState() const
{
    ExitState state;
    const Qt::WindowStates s = windowState();
    if (!(s & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))) {
        state.normalGeometry =
            WindowGeometry{platform::pixelsToTwips(y()), platform::pixelsToTwips(x()),
                           platform::pixelsToTwips(width()), platform::pixelsToTwips(height())};
    }
    if (m_dictionary) {
        for (const auto &[path, enabled] : m_dictionary->catalogue().states())
            state.books.append({path, enabled});
    }
    if (m_literature) {
        const viewer::Literature::SavedState lit = m_literature->savedState();
        for (const auto &[key, tag] : lit.nodes)
            state.litNodes.append({key, tag});
        state.litAExpanded = lit.allExpanded;
        state.litFExpanded = lit.favExpanded;
    }
    state.ordinaryList = m_ordinaryList;
    return state;
}

void MainWindow::saveUserState()
{
    saveExitState(m_store, collectExitState());
    SaveLastWord();
}

void MainWindow::ExitApp(bool fast)
{
    // Once only, also when a termination signal arrives while a box of the exit is open.
    if (m_ended || m_exiting)
        return;
    m_exiting = true;
    // Tray icon and minimum size rule.
    m_tray->setVisible(false);
    if (m_minimumSizeRule) {
        setMinimumSize(0, 0);
        m_minimumSizeRule = false;
    }
    // The user's state.
    if (!fast)
        saveUserState();
    // "article.doc" in the program's folder; a failure does not matter.
    const QString article = QDir(m_options.programFolder).filePath(QStringLiteral("article.doc"));
    if (QFileInfo::exists(article))
        QFile::remove(article);
    // Unloading must not divert to the tray.
    m_toTrayOnClose = false;
    // Unload the windows.
    m_busyTimer->stop();
    m_splashTimer->stop();
    if (m_about)
        m_about->close();
    if (m_splash)
        m_splash->close();
    Q_EMIT windowsUnloading();
    hide();
    // What was saved, with the geometry the viewer wrote as it unloaded, reaches the file. A
    // file that cannot be written keeps its old content, and the user hears why.
    if (!fast)
        saveSettings();
    m_ended = true;
    qCInfo(lcShell) << "exit" << (fast ? "without saving" : "with saving");
    m_options.endProcess();
}

void MainWindow::saveSettings()
{
    QString reason;
    if (!m_store.sync(&reason)) {
        m_options.reportSaveFailure(QStringLiteral("Не удалось сохранить настройки в файл %1: %2")
                                        .arg(QDir::toNativeSeparators(m_store.fileName()), reason));
    }
}

void MainWindow::ToTray()
{
    setWindowState((windowState() & ~Qt::WindowActive) | Qt::WindowMinimized);
    if (!m_options.trayAvailable) {
        // No notification area: a hidden window could not be reached again.
        showMinimized();
        qCInfo(lcShell) << "to tray: no notification area, minimised";
        return;
    }
    m_tray->setIcon(windowIcon());
    m_tray->setVisible(true);
    hide();
    m_inTray = true;
    qCInfo(lcShell) << "to tray";
}

void MainWindow::closeSecondaryWindows()
{
    if (m_about)
        m_about->close();
    Q_EMIT secondaryWindowsClosing();
}

void MainWindow::ShowTrayMenu()
{
    if (m_ended || m_exiting)
        return;
    // A popup still open comes forward at the mouse; one that has closed (it lost the keyboard
    // to the click on the icon) is on its way out, and a new one opens.
    if (m_trayMenu && m_trayMenu->isVisible()) {
        m_trayMenu->popUp();
        return;
    }
    tray::TrayMenu::Context context;
    context.menuTransparency = m_menuTransparency;
    context.mirrorText = [this](const QString &text) {
        if (m_dictionary)
            m_dictionary->setSearchText(text);
    };
    context.selectedWord = [this] { return selectedListWord(); };
    context.showInterpretation = [this] { showTrayWord(); };
    context.runCommand = [this](int row) { m_trayCommands->run(row); };
    context.pointerPosition = m_options.pointerPosition;
    m_trayMenu = new tray::TrayMenu(std::move(context));
    m_trayMenu->popUp();
}

tray::TrayMenu *MainWindow::trayMenu() const
{
    return m_trayMenu;
}

void MainWindow::showTrayWord()
{
    if (!m_dictionary)
        return;
    if (!m_litHasFocus) {
        // The word list's double click: "Tolk" pressed, the viewer on the selected word.
        m_dictionary->activateSelected();
        return;
    }
    // The literature had the focus: the viewer still shows the word, not the article.
    if (!m_dictionary->isTolkEnabled())
        return;
    m_interpretAction->setChecked(true);
    try {
        openViewer(true);
    } catch (const std::exception &error) {
        viewer::showMessage(this, viewer::MessageIcon::Critical, QStringLiteral("ShowTolk"),
                            QString::fromUtf8(error.what()));
    }
}

void MainWindow::showExitQuestion()
{
    tray::ExitQuestionDialog::Context context;
    context.store = &m_store;
    context.setAutorun = m_options.setAutorun;
    context.exitApp = [this] { ExitApp(false); };
    context.picture = windowIcon();
    // Without a parent: the main window is hidden in the tray.
    tray::ExitQuestionDialog question(std::move(context));
    question.exec();
}

void MainWindow::FromTray()
{
    closeSecondaryWindows();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    m_tray->setVisible(false);
    m_inTray = false;
    qCInfo(lcShell) << "from tray";
}

void MainWindow::CheckAdminSet()
{
    if (hasGoToTrayCommand(m_adminCommands))
        ToTray();
}

void MainWindow::comeForward()
{
    qCInfo(lcShell) << "a second start asked to come forward";
    if (m_ended)
        return;
    // Only leaving the tray closes the secondary windows; a window that is merely minimised
    // comes back with its viewer and history as they were.
    if (m_inTray || isHidden()) {
        FromTray();
    } else {
        if (windowState() & Qt::WindowMinimized)
            setWindowState(windowState() & ~Qt::WindowMinimized);
        show();
        raise();
        activateWindow();
    }
    qCInfo(lcShell) << "came forward";
}

void MainWindow::openRequestedWindow(const QString &window)
{
    if (m_ended || window.isEmpty())
        return;
    qCInfo(lcShell).noquote() << "window requested:" << window;
    if (window == QLatin1String("calendar"))
        ShowCalen();
    else if (window == QLatin1String("dream"))
        ShowDream();
}

void MainWindow::SelectListMode(int button)
{
    if (button != 1 && button != 2)
        return;
    m_ordinaryList = button == 1;
    if (m_dictionary)
        m_dictionary->setListMode(button);
}

void MainWindow::LoadBooks()
{
    if (!m_dictionary)
        return;
    // Enabled states by the book file's full path; a book never seen starts enabled.
    const auto states = [this](const QString &path) -> std::optional<int> {
        return m_store.readInt(platform::BooksSection, path, 1);
    };
    if (!m_dictionary->LoadBooks(m_booksPath, states))
        return; // the pane has shown its message and asked for ExitApp(true)
    m_interpretAction->setEnabled(m_dictionary->isTolkEnabled());
}

void MainWindow::showBooksWarning()
{
    if (m_booksWarning.isEmpty() || m_ended)
        return;
    const QString text = m_booksWarning;
    m_booksWarning.clear();
    if (m_inTray) {
        m_tray->showMessage(platform::ApplicationTitle, text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, platform::ApplicationTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::ShowLit()
{
    if (m_literature)
        m_literature->ShowLit(m_textsPath, m_store);
}

void MainWindow::LoadLastWord()
{
    if (m_dictionary)
        m_dictionary->LoadLastWord(m_store.read(SettingsSection, QStringLiteral("LastWord")));
}

void MainWindow::SaveLastWord()
{
    if (!m_dictionary)
        return;
    if (const std::optional<QString> word = m_dictionary->lastWordToSave())
        m_store.write(SettingsSection, QStringLiteral("LastWord"), *word);
}

void MainWindow::ShowTolk()
{
    try {
        if (m_interpretAction->isChecked())
            openViewer();
        else
            closeViewer();
    } catch (const std::exception &error) {
        viewer::showMessage(this, viewer::MessageIcon::Critical, QStringLiteral("ShowTolk"),
                            QString::fromUtf8(error.what()));
    }
}

std::optional<QString> MainWindow::selectedListWord() const
{
    if (!m_dictionary || m_dictionary->selectedRow() < 0)
        return std::nullopt;
    return m_dictionary->selectedWord();
}

void MainWindow::openViewer(bool listWord)
{
    const bool article = m_litHasFocus && m_literature && !listWord;
    if (!m_viewer) {
        // A new viewer starts with an empty history, its "Back" button disabled.
        viewer::Tolk::Context context;
        if (DictionaryPane *dictionary = m_dictionary) {
            context.books = [dictionary] {
                return viewer::interpretationBooks(dictionary->catalogue());
            };
        }
        context.selectedWord = [this] { return selectedListWord(); };
        context.resolveWord = [this](const QString &word) -> std::optional<QString> {
            if (!m_dictionary)
                return std::nullopt;
            if (const std::optional<books::FormResolver::Match> match =
                    m_dictionary->resolveForm(word))
                return match->headword;
            return std::nullopt;
        };
        context.litHasFocus = [this] { return m_litHasFocus; };
        context.mainTopTwips = platform::pixelsToTwips(y());
        context.executableBaseName = m_options.executableBaseName;
        auto *window = new viewer::Tolk(std::move(context), &m_store, this);
        // Closing the viewer, by any way, releases the button.
        connect(window, &viewer::Tolk::unloaded, this, [this] {
            m_viewer.clear(); // deleted later; a new press opens a new window
            m_interpretAction->setChecked(false);
        });
        m_viewer = window;
        // The load restores the geometry and shows the selected word; with nothing to show it
        // has said so, and the window goes again.
        if (!window->load()) {
            window->close();
            return;
        }
        if (article) {
            window->ShowArticle(m_literature->selectedKey(), m_literature->selectedText());
        } else if (m_litHasFocus) {
            // The load showed nothing while the literature has the focus.
            const std::optional<QString> word = selectedListWord();
            if (!word || !window->ShowInterpretation(*word)) {
                window->close();
                return;
            }
        }
    } else {
        // Already open: on the selected word or article, out of the task bar if it was
        // minimised. The history buttons follow the history, also when the word was already
        // shown.
        if (m_viewer->isMinimized())
            m_viewer->showNormal();
        if (article)
            m_viewer->ShowArticle(m_literature->selectedKey(), m_literature->selectedText());
        else if (const std::optional<QString> word = selectedListWord())
            m_viewer->ShowInterpretation(*word);
        m_viewer->CheckBack();
    }
    m_viewer->show();
    m_viewer->raise();
    m_viewer->activateWindow();
}

void MainWindow::closeViewer()
{
    if (m_viewer)
        m_viewer->close();
}

void MainWindow::releaseInterpretation()
{
    m_interpretAction->setChecked(false);
    closeViewer();
}

void MainWindow::ShowCalen()
{
    Q_EMIT calendarRequested();
    if (!m_calendar) {
        calendar::Calen::Context context;
        context.location = [this] { return m_location; };
        context.store = &m_store;
        context.logo = windowIcon();
        m_calendar = new calendar::Calen(std::move(context), this);
        connect(m_calendar, &calendar::Calen::unloaded, this,
                [this] { m_calendarAction->setChecked(false); });
        // The settlement: the location page of the options, then the place again.
        connect(m_calendar, &calendar::Calen::locationEditRequested, this, [this] {
            showOptionsWindow(2, true);
            if (m_calendar)
                m_calendar->locationChanged();
        });
    }
    m_calendarAction->setChecked(true);
    m_calendar->showNormal();
    m_calendar->raise();
    m_calendar->activateWindow();
}

void MainWindow::ShowOptions()
{
    Q_EMIT optionsRequested();
    showOptionsWindow(1, true);
}

void MainWindow::showOptionsWindow(int tab, bool modal)
{
    if (m_optionsWindow) {
        m_optionsWindow->SetTab(tab);
        m_optionsWindow->raise();
        m_optionsWindow->activateWindow();
        return;
    }
    options::OptionsForm::Context context;
    context.toTrayOnClose = m_toTrayOnClose;
    context.menuTransparency = m_menuTransparency;
    context.location = m_location;
    context.setMenuTransparency = [this](int value) { setMenuTransparency(value); };
    context.isAutorunOn = m_options.isAutorunOn;
    context.setAutorun = m_options.setAutorun;
    auto *form = new options::OptionsForm(m_store, std::move(context), this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    m_optionsWindow = form;
    connect(form, &QDialog::accepted, this, [this, form] { takeOptions(*form); });
    form->SetTab(tab);
    if (modal) {
        // The window deletes itself as it closes.
        form->exec();
    } else {
        form->setModal(false);
        form->show();
    }
}

void MainWindow::takeOptions(const options::OptionsForm &form)
{
    m_location = form.location();
    m_toTrayOnClose = form.toTrayOnClose();
    m_menuTransparency = form.menuTransparency();
    saveSettings();
}

void MainWindow::ShowDream()
{
    if (!m_dreamWindow) {
        dream::DreamWindow::Context context;
        if (DictionaryPane *dictionary = m_dictionary) {
            context.books = [dictionary] {
                return viewer::interpretationBooks(dictionary->catalogue());
            };
            context.resolver = [dictionary] { return dictionary->resolver(); };
        } else {
            context.books = [] { return std::vector<viewer::InterpretationBook>(); };
            context.resolver = [] { return std::shared_ptr<const books::FormResolver>(); };
        }
        context.place = [this] { return m_location; };
        m_dreamWindow = new dream::DreamWindow(std::move(context), this);
        m_dreamWindow->setAttribute(Qt::WA_DeleteOnClose);
        // A cross-reference the report has no section for is shown in the viewer.
        connect(m_dreamWindow, &dream::DreamWindow::wordRequested, this,
                &MainWindow::showWordInViewer);
        connect(m_dreamWindow, &dream::DreamWindow::saveToJournalRequested, this,
                [this](const QString &text) {
                    ShowJournal();
                    if (m_journalWindow)
                        m_journalWindow->newEntry(text);
                });
    }
    if (m_dreamWindow->isMinimized())
        m_dreamWindow->showNormal();
    m_dreamWindow->show();
    m_dreamWindow->raise();
    m_dreamWindow->activateWindow();
}

void MainWindow::ShowFulltext()
{
    if (!m_fulltext) {
        fulltext::FulltextSearch::Options options;
        if (m_dictionary)
            options.forms = m_dictionary->wordForms();
        m_fulltext = new fulltext::FulltextSearch(std::move(options), this);
        if (DictionaryPane *dictionary = m_dictionary) {
            m_fulltext->setBooks(fulltext::fulltextBooks(dictionary->catalogue()));
            connect(&dictionary->catalogue(), &books::Catalogue::enabledChanged, m_fulltext,
                    [this, dictionary] {
                        m_fulltext->setBooks(fulltext::fulltextBooks(dictionary->catalogue()));
                    });
        }
    }
    m_fulltext->start();
    if (!m_fulltextWindow) {
        m_fulltextWindow = new fulltext::FulltextWindow(*m_fulltext, this);
        connect(m_fulltextWindow, &fulltext::FulltextWindow::headwordRequested, this,
                &MainWindow::showWordInViewer);
    }
    if (m_fulltextWindow->isMinimized())
        m_fulltextWindow->showNormal();
    m_fulltextWindow->show();
    m_fulltextWindow->raise();
    m_fulltextWindow->activateWindow();
}

void MainWindow::showWordInViewer(const QString &word)
{
    m_litHasFocus = false;
    if (m_dictionary)
        m_dictionary->search(word);
    m_interpretAction->setChecked(true);
    ShowTolk();
    if (m_viewer)
        m_viewer->ShowInterpretation(word);
}

journal::JournalWindow *MainWindow::journalWindow() const
{
    return m_journalWindow;
}

void MainWindow::ShowJournal()
{
    if (!m_journalWindow) {
        journal::JournalWindow::Context context;
        if (DictionaryPane *dictionary = m_dictionary)
            context.resolver = [dictionary] { return dictionary->resolver(); };
        context.place = [this] { return m_location; };
        m_journalWindow = new journal::JournalWindow(std::move(context), this);
        m_journalWindow->setAttribute(Qt::WA_DeleteOnClose);
        // A symbol of an entry is shown in the viewer.
        connect(m_journalWindow, &journal::JournalWindow::wordRequested, this,
                &MainWindow::showWordInViewer);
    }
    if (m_journalWindow->isMinimized())
        m_journalWindow->showNormal();
    m_journalWindow->show();
    m_journalWindow->raise();
    m_journalWindow->activateWindow();
}

void MainWindow::ShowAbout(bool modal)
{
    if (!m_about) {
        m_about = new platform::FormAbout(this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (modal) {
        m_about->exec();
        return;
    }
    m_about->setModal(false);
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::setDictionaryPane(DictionaryPane *pane)
{
    if (m_dictionary == pane)
        return;
    m_panes->setDictionaryPane(pane);
    m_dictionary = pane;
    if (m_dictionary)
        connectDictionary();
}

void MainWindow::connectDictionary()
{
    DictionaryPane *d = m_dictionary;
    connect(d, &DictionaryPane::splashCloseRequested, this, [this] {
        if (m_splash)
            m_splash->close();
    });
    connect(d, &DictionaryPane::exitRequested, this, &MainWindow::ExitApp);
    connect(d, &DictionaryPane::booksSkipped, this, [this](const QString &message) {
        // Shown once the splash screen has closed (as a notification in a tray start).
        m_booksWarning = message;
        if (!m_splash)
            QTimer::singleShot(0, this, &MainWindow::showBooksWarning);
    });
    connect(d, &DictionaryPane::statusTextChanged, m_statusCaption, &StatusCaption::setFullText);
    connect(d, &DictionaryPane::tolkEnabledChanged, m_interpretAction, &QAction::setEnabled);
    connect(d, &DictionaryPane::selectedWordChanged, m_selectedWord, &QLabel::setText);
    connect(d, &DictionaryPane::tolkRequested, this, [this] {
        m_interpretAction->setChecked(true);
        ShowTolk();
    });
    connect(d, &DictionaryPane::litFocusCleared, this, [this] { m_litHasFocus = false; });
    // A new word picked in the list starts the viewer's history again, and an open viewer
    // shows it.
    connect(d, &DictionaryPane::itemClicked, this, [this](const QString &word) {
        if (!m_viewer)
            return;
        m_viewer->clearHistory();
        if (m_viewer->isVisible())
            m_viewer->ShowInterpretation(word);
    });
    // A rebuilt list invalidates what the viewer shows.
    connect(d, &DictionaryPane::viewerCloseRequested, this, &MainWindow::closeViewer);
    connect(d, &DictionaryPane::busyStarted, this, [this] {
        m_busy->setVisible(true);
        m_busy->ProgressPlay();
    });
    connect(d, &DictionaryPane::busyFinished, this, [this] { m_busyTimer->start(); });
    connect(d, &DictionaryPane::listModeChanged, this,
            [this](int button) { m_ordinaryList = button == 1; });
    connect(d, &DictionaryPane::formFound, m_statusCaption, &StatusCaption::setNote);
}

void MainWindow::setLiteraturePane(viewer::LiteraturePane *pane)
{
    if (m_literature == pane)
        return;
    m_panes->setLiteraturePane(pane);
    m_literature = pane;
    if (m_literature)
        connectLiterature();
}

void MainWindow::connectLiterature()
{
    viewer::LiteraturePane *l = m_literature;
    connect(l, &viewer::LiteraturePane::litFocusGained, this, [this] { m_litHasFocus = true; });
    connect(l, &viewer::LiteraturePane::statusTextChanged, m_statusCaption,
            &StatusCaption::setFullText);
    connect(l, &viewer::LiteraturePane::tolkEnabledChanged, m_interpretAction,
            &QAction::setEnabled);
    connect(l, &viewer::LiteraturePane::selectedTextChanged, this,
            [this](const QString &text) { m_selectedWord->setText(IfLong(text, 20)); });
    connect(l, &viewer::LiteraturePane::tolkRequested, this, [this] {
        m_interpretAction->setChecked(true);
        ShowTolk();
    });
}

void MainWindow::setSplash(QWidget *splash)
{
    m_splash = splash;
}

void MainWindow::onActivated()
{
    if (m_startingUp && !m_splashTimer->isActive())
        m_splashTimer->start();
    const bool words = m_dictionary && m_dictionary->wordList().count() > 0;
    if (words && !m_litHasFocus && m_panes->isDictionaryActive())
        m_dictionary->focusWordList();
    if (!words) {
        m_interpretAction->setEnabled(false);
        if (m_dictionary)
            m_dictionary->disableSearch();
    }
}

void MainWindow::onBusyEnded()
{
    m_busyTimer->stop();
    m_busy->setVisible(false);
    m_busy->ProgressStop();
}

void MainWindow::closeSplash()
{
    m_splashTimer->stop();
    if (m_splash) {
        qCInfo(lcShell) << "splash closed";
        m_splash->close();
    }
    if (!m_booksWarning.isEmpty())
        showBooksWarning();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        onActivated();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    // Where the window manager never activates the window, the splash would stay on top for
    // good: close it after the first show as well.
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (m_startingUp && !m_splashTimer->isActive())
            m_splashTimer->start();
    }
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_exiting) {
        event->accept();
        return;
    }
    if (m_toTrayOnClose) {
        event->ignore();
        ToTray();
        return;
    }
    ExitApp(false);
    event->accept();
}

} // namespace kelmor::shell
