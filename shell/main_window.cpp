#include "shell/main_window.h"

#include "books/dictionary_pane.h"
#include "books/wordlist.h"
#include "platform/about_box.h"
#include "platform/process_animation.h"
#include "platform/settings.h"
#include "platform/tray_area.h"
#include "platform/twips.h"
#include "platform/version.h"
#include "shell/app_icon.h"
#include "shell/link_label.h"
#include "shell/logging.h"
#include "shell/startup.h"
#include "viewer/catalogue_books.h"
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
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <limits>

namespace kelmor::shell {

using platform::LocationSection;
using platform::SettingsSection;
using platform::twipsToPixels;

namespace {

// Designed caption; the load appends a space and VersionString.
const QString DesignedCaption = QStringLiteral("Сонник ZEL Kelmor");
// Minimum tracking size while the user resizes, in pixels.
constexpr QSize MinimumTrackingSize(260, 360);
// Caption of the warning about books that could not be opened: the application title.
const QString BooksWarningCaption = QStringLiteral("Сонник ZEL Kelmor 3");
// Height of a pane's header strip: 330 twips.
constexpr int HeaderStripTwips = 330;
// Width of the status image at the right end of the status bar; 85 twips per status character.
constexpr int StatusImageTwips = 255;

// A pane's header strip: its caption, and at its right end the state image (the arrow points
// to the pane that is open).
QToolButton *makeHeaderStrip(const QString &name, const QString &caption, QWidget *parent)
{
    auto *strip = new QToolButton(parent);
    strip->setObjectName(name);
    strip->setText(caption);
    strip->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    strip->setAutoRaise(true);
    strip->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    strip->setFixedHeight(twipsToPixels(HeaderStripTwips));
    strip->setCursor(Qt::PointingHandCursor);
    strip->setStyleSheet(QStringLiteral(
        "QToolButton { text-align: left; font-weight: bold; color: #1f3a7a;"
        " border-top: 1px solid palette(mid); border-bottom: 1px solid palette(mid);"
        " background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #f4f6fb, stop:1 #dde3f0); }"));
    return strip;
}

std::int16_t readInt16(const platform::SettingsStore &store, const QString &key,
                       std::int16_t defaultValue)
{
    const int value = store.readInt(LocationSection, key, defaultValue);
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max())
        return defaultValue;
    return std::int16_t(value);
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
        m_options.programFolder = QCoreApplication::applicationDirPath();
    if (m_options.executableBaseName.isEmpty())
        m_options.executableBaseName =
            QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    if (!m_options.endProcess) {
        // Queued, so that an end during the load (before the event loop runs) still ends it.
        m_options.endProcess = [] {
            QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        };
    }
    buildUi();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildUi()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(DesignedCaption);
    setWindowIcon(applicationIcon());

    m_toolbar = new QToolBar(this);
    m_toolbar->setObjectName(QStringLiteral("Toolbar1"));
    m_toolbar->setMovable(false);
    m_toolbar->setFloatable(false);
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolbar->setIconSize(QSize(20, 20));
    m_toolbar->setContextMenuPolicy(Qt::PreventContextMenu);
    addToolBar(Qt::TopToolBarArea, m_toolbar);

    auto addButton = [this](const QString &key, const QString &caption, const QString &tip,
                            QStyle::StandardPixmap icon) {
        QAction *action = m_toolbar->addAction(style()->standardIcon(icon), caption);
        action->setObjectName(key);
        action->setToolTip(tip);
        return action;
    };
    m_tolk = addButton(QStringLiteral("Tolk"), QStringLiteral("Толкование"),
                       QStringLiteral("Показать толкование / книгу (Enter)"),
                       QStyle::SP_FileDialogContentsView);
    m_tolk->setCheckable(true);
    m_calen = addButton(QStringLiteral("Calen"), QStringLiteral("Календарь"),
                        QStringLiteral("Календарь сбываемости снов (Ctrl+M)"),
                        QStyle::SP_FileDialogDetailedView);
    m_hlp = addButton(QStringLiteral("HLP"), QStringLiteral("Настройки"),
                      QStringLiteral("Настройки программы"), QStyle::SP_FileDialogInfoView);
    connect(m_tolk, &QAction::triggered, this, &MainWindow::ShowTolk);
    connect(m_calen, &QAction::triggered, this, &MainWindow::ShowCalen);
    connect(m_hlp, &QAction::triggered, this, &MainWindow::ShowOptions);

    // The header strip above the command toolbar, with the "О программе" link at its right.
    auto *header = new QWidget(this);
    header->setObjectName(QStringLiteral("Image3"));
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(6, 2, 8, 0);
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

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("PaneArea"));
    m_paneLayout = new QVBoxLayout(central);
    m_paneLayout->setContentsMargins(0, 0, 0, 0);
    m_paneLayout->setSpacing(0);
    setCentralWidget(central);

    // The accordion: the literature pane under the command toolbar, the dictionary pane under
    // it; the active one fills the height, the other shows only its header strip.
    m_litHeader =
        makeHeaderStrip(QStringLiteral("Picture1"), QStringLiteral("Литература"), central);
    m_litContent = new QWidget(central);
    m_litContent->setObjectName(QStringLiteral("Picture3"));
    m_litLayout = new QVBoxLayout(m_litContent);
    m_litLayout->setContentsMargins(2, 2, 4, 3);
    m_dictHeader = makeHeaderStrip(QStringLiteral("Picture5"), QStringLiteral("Словарь"), central);
    m_dictContent = new QWidget(central);
    m_dictLayout = new QVBoxLayout(m_dictContent);
    m_dictLayout->setContentsMargins(0, 2, 0, 0);
    m_paneLayout->addWidget(m_litHeader);
    m_paneLayout->addWidget(m_litContent, 1);
    m_paneLayout->addWidget(m_dictHeader);
    m_paneLayout->addWidget(m_dictContent, 1);
    connect(m_litHeader, &QToolButton::clicked, this, &MainWindow::showLiterature);
    connect(m_dictHeader, &QToolButton::clicked, this, &MainWindow::showDictionary);

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_selectedWord = new QLabel(m_statusBar);
    m_selectedWord->setObjectName(QStringLiteral("Label6"));
    m_selectedWord->setStyleSheet(QStringLiteral("font-weight: bold;"));
    m_statusBar->addWidget(m_selectedWord);
    m_statusText = new QLabel(m_statusBar);
    m_statusText->setObjectName(QStringLiteral("Label7"));
    // The caption is shortened to the room it has; it never widens the window.
    m_statusText->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_statusText->installEventFilter(this);
    m_statusBar->addWidget(m_statusText, 1);
    m_process = new platform::ProcessAnimation(m_statusBar);
    m_process->setObjectName(QStringLiteral("Process1"));
    m_process->setVisible(false);
    m_statusBar->addPermanentWidget(m_process);
    setStatusBar(m_statusBar);

    m_tray = new platform::TrayArea(this);
    m_tray->setObjectName(QStringLiteral("Tray1"));
    m_tray->setToolTip(QStringLiteral("Сонник ZEL Kelmor 3"));
    connect(m_tray, &platform::TrayArea::MouseDown, this, [this](int button) {
        if (button == platform::TrayArea::LeftButton)
            FromTray();
    });

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(2000);
    connect(m_timer1, &QTimer::timeout, this, &MainWindow::onTimer1);

    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(300);
    connect(m_timer2, &QTimer::timeout, this, &MainWindow::onTimer2);

    // Keys the window handles before its controls, only while "Tolk" is enabled (the word list
    // is not empty); otherwise they reach the focused control.
    const auto addKey = [this](const QKeySequence &key, auto action) {
        auto *shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, action);
        m_windowKeys.append(shortcut);
    };
    const auto enter = [this] {
        if (m_dictionary)
            m_dictionary->activateSelected();
    };
    addKey(QKeySequence(Qt::Key_Return), enter);
    addKey(QKeySequence(Qt::Key_Enter), enter);
    addKey(QKeySequence(Qt::Key_Escape), [this] {
        if (m_tolk->isChecked()) {
            m_tolk->setChecked(false);
            Q_EMIT tolkCloseRequested();
        }
    });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_M), [this] { ShowCalen(); });
    addKey(QKeySequence(Qt::CTRL | Qt::Key_O), [this] { ShowOptions(); });
    updateWindowKeys();
    connect(m_tolk, &QAction::changed, this, &MainWindow::updateWindowKeys);
    connect(this, &MainWindow::tolkCloseRequested, this, &MainWindow::closeViewer);
    connect(this, &MainWindow::secondaryWindowsClosing, this, &MainWindow::closeViewer);
    connect(this, &MainWindow::windowsUnloading, this, &MainWindow::closeViewer);

    // The designed state: the dictionary open, the literature collapsed to its header strip.
    showDictionary();
}

void MainWindow::updateWindowKeys()
{
    for (QShortcut *key : std::as_const(m_windowKeys))
        key->setEnabled(m_tolk->isEnabled());
}

void MainWindow::Load()
{
    // 1. The settings names are the fixed constants of the settings store.
    // 2. Data folders.
    m_booksPath = platform::BooksPath();
    m_textsPath = platform::TextsPath();
    // 3. The menu transparency is read again below.
    m_menuTransparency = 0;
    // 4. Minimum tracking size, for the program under its own name only.
    if (m_options.executableBaseName.toUpper() == QLatin1String("KELMOR"))
        installMinimumSizeRule();
    // 5. Geometry, in twips, with its corrections.
    QSizeF screenTwips(platform::pixelsToTwips(1024), platform::pixelsToTwips(768));
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        screenTwips = QSizeF(platform::pixelsToTwips(screen->geometry().width()),
                             platform::pixelsToTwips(screen->geometry().height()));
    const WindowGeometry g = readWindowGeometry(m_store, screenTwips);
    move(twipsToPixels(g.left), twipsToPixels(g.top));
    resize(twipsToPixels(g.width), twipsToPixels(g.height));
    // 6. Caption.
    setWindowTitle(DesignedCaption + QLatin1Char(' ') + platform::VersionString());
    // 7. Location, then its decimal degrees (longitude first, then latitude).
    calendar::Location location;
    location.sGraduses = readInt16(m_store, QStringLiteral("SGraduses"), 55);
    location.sMinutes = readInt16(m_store, QStringLiteral("SMinutes"), 45);
    location.sM = readInt16(m_store, QStringLiteral("SM"), 1);
    location.dGraduses = readInt16(m_store, QStringLiteral("DGraduses"), 37);
    location.dMinutes = readInt16(m_store, QStringLiteral("DMinutes"), 35);
    location.dM = readInt16(m_store, QStringLiteral("DM"), 1);
    location.derive();
    m_location = location;
    // 8. Preferences.
    m_toTrayOnClose = m_store.readBool(SettingsSection, QStringLiteral("ToTray"), false);
    m_menuTransparency = m_store.readInt(SettingsSection, QStringLiteral("MenuTransp"), 205);
    m_adminCommands = m_store.read(SettingsSection, QStringLiteral("AdminCommands"));
    const int listMode = m_store.readInt(SettingsSection, QStringLiteral("ListMode"), 1);
    // 9. List mode.
    SelectListMode(listMode == 1 ? 1 : 2);
    // 10. Admin commands.
    CheckAdminSet();
    // 11. Busy animation while the books load.
    m_process->setVisible(true);
    m_process->ProgressPlay();
    // 12. Books (may end the program).
    LoadBooks();
    if (m_ended)
        return;
    // 13. Literature tree.
    ShowLit();
    // 14. Last word.
    LoadLastWord();
    // 15.
    m_timer1->start();
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
    if (m_bookStates)
        state.books = m_bookStates();
    if (m_literatureStates) {
        const LiteratureStates lit = m_literatureStates();
        state.litNodes = lit.nodes;
        state.litAExpanded = lit.allExpanded;
        state.litFExpanded = lit.favExpanded;
    }
    state.ordinaryList = m_ordinaryList;
    return state;
}

void MainWindow::ExitApp(bool fast)
{
    if (m_ended)
        return;
    // 1. Tray icon.
    m_tray->setVisible(false);
    // 2. Minimum size rule.
    removeMinimumSizeRule();
    // 3. The user's state.
    if (!fast) {
        saveExitState(m_store, collectExitState());
        SaveLastWord();
    }
    // 4. "article.doc" in the program's folder; a failure does not matter.
    const QString article = QDir(m_options.programFolder).filePath(QStringLiteral("article.doc"));
    if (QFileInfo::exists(article))
        QFile::remove(article);
    // 5. Unloading must not divert to the tray.
    m_toTrayOnClose = false;
    // 6. Unload the windows.
    m_exiting = true;
    m_timer1->stop();
    m_timer2->stop();
    if (m_about)
        m_about->close();
    if (m_splash)
        m_splash->close();
    Q_EMIT windowsUnloading();
    // What was saved, with the geometry the viewer wrote as it unloaded, reaches the file.
    if (!fast)
        m_store.sync();
    hide();
    // 7. End the process.
    m_ended = true;
    qCInfo(lcShell) << "exit" << (fast ? "without saving" : "with saving");
    m_options.endProcess();
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

void MainWindow::FromTray()
{
    if (m_about)
        m_about->close();
    Q_EMIT secondaryWindowsClosing();
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
    if (m_inTray || isHidden() || (windowState() & Qt::WindowMinimized)) {
        FromTray();
        return;
    }
    raise();
    activateWindow();
}

void MainWindow::SelectListMode(int button)
{
    if (button != 1 && button != 2)
        return;
    m_ordinaryList = button == 1;
    if (m_dictionary)
        m_dictionary->setListMode(button);
    Q_EMIT listModeSelected(button);
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
        return; // the catalogue has shown its message and called ExitApp(true)
    m_tolk->setEnabled(m_dictionary->isTolkEnabled());
}

void MainWindow::showBooksWarning()
{
    if (m_booksWarning.isEmpty() || m_ended)
        return;
    const QString text = m_booksWarning;
    m_booksWarning.clear();
    if (m_inTray) {
        m_tray->showMessage(BooksWarningCaption, text);
        return;
    }
    QMessageBox box(QMessageBox::Warning, BooksWarningCaption, text, QMessageBox::Ok, this);
    box.exec();
}

void MainWindow::LoadList()
{
    if (m_dictionary)
        m_dictionary->LoadList();
}

void MainWindow::ShowLit()
{
    // The literature tree is built here.
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
        if (m_tolk->isChecked())
            openViewer();
        else
            closeViewer();
    } catch (const std::exception &error) {
        viewer::showMessage(this, viewer::MessageIcon::Critical, QStringLiteral("ShowTolk"),
                            QString::fromUtf8(error.what()));
    }
}

viewer::Tolk *MainWindow::viewerWindow() const
{
    return m_viewer.data();
}

std::optional<QString> MainWindow::selectedListWord() const
{
    if (!m_dictionary || m_dictionary->selectedRow() < 0)
        return std::nullopt;
    return m_dictionary->selectedWord();
}

void MainWindow::openViewer()
{
    if (!m_viewer) {
        // A new viewer starts with an empty history, its "Back" button disabled.
        viewer::Tolk::Context context;
        if (books::DictionaryPane *dictionary = m_dictionary) {
            context.books = [dictionary] {
                return viewer::interpretationBooks(dictionary->catalogue());
            };
        }
        context.selectedWord = [this] { return selectedListWord(); };
        context.litHasFocus = [this] { return m_litHasFocus; };
        context.mainTopTwips = platform::pixelsToTwips(y());
        auto *window = new viewer::Tolk(std::move(context), &m_store, this);
        // Closing the viewer, by any way, releases the button.
        connect(window, &viewer::Tolk::unloaded, this, [this] {
            m_viewer.clear(); // deleted later; a new press opens a new window
            m_tolk->setChecked(false);
        });
        m_viewer = window;
        // The load restores the geometry and shows the selected word; with nothing to show it
        // has said so, and the window goes again.
        if (!window->load()) {
            window->close();
            return;
        }
    } else {
        // Already open: on the selected word, out of the task bar if it was minimised. The
        // history buttons follow the history, also when the word was already shown.
        if (m_viewer->isMinimized())
            m_viewer->showNormal();
        if (const std::optional<QString> word = selectedListWord(); word && !m_litHasFocus)
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

void MainWindow::ShowCalen()
{
    // The moon calendar window opens here.
    Q_EMIT calendarRequested();
}

void MainWindow::ShowOptions()
{
    // The options window opens here, on its first tab.
    Q_EMIT optionsRequested();
}

void MainWindow::ShowAbout()
{
    if (!m_about) {
        m_about = new platform::FormAbout(this);
        m_about->setAttribute(Qt::WA_DeleteOnClose);
    }
    m_about->exec();
}

void MainWindow::setDictionaryPane(QWidget *pane)
{
    if (m_dictionaryPane == pane)
        return;
    delete m_dictionaryPane;
    m_dictionaryPane = pane;
    m_dictionary = qobject_cast<books::DictionaryPane *>(pane);
    if (pane)
        m_dictLayout->addWidget(pane, 1);
    if (m_dictionary)
        connectDictionary();
}

void MainWindow::connectDictionary()
{
    books::DictionaryPane *d = m_dictionary;
    connect(d, &books::DictionaryPane::splashCloseRequested, this, [this] {
        if (m_splash)
            m_splash->close();
    });
    connect(d, &books::DictionaryPane::exitRequested, this, &MainWindow::ExitApp);
    connect(d, &books::DictionaryPane::booksSkipped, this, [this](const QString &message) {
        // Shown once the splash screen has closed (as a notification in a tray start).
        m_booksWarning = message;
        if (!m_splash)
            QTimer::singleShot(0, this, &MainWindow::showBooksWarning);
    });
    connect(d, &books::DictionaryPane::statusTextChanged, this, [this](const QString &text) {
        m_fullStatus = text;
        StText();
    });
    connect(d, &books::DictionaryPane::tolkEnabledChanged, m_tolk, &QAction::setEnabled);
    connect(d, &books::DictionaryPane::selectedWordChanged, m_selectedWord, &QLabel::setText);
    connect(d, &books::DictionaryPane::tolkRequested, this, [this] {
        m_tolk->setChecked(true);
        ShowTolk();
    });
    connect(d, &books::DictionaryPane::litFocusCleared, this, [this] { m_litHasFocus = false; });
    // A new word picked in the list starts the viewer's history again, and an open viewer
    // shows it.
    connect(d, &books::DictionaryPane::itemClicked, this, [this](const QString &word) {
        if (!m_viewer)
            return;
        m_viewer->clearHistory();
        if (m_viewer->isVisible())
            m_viewer->ShowInterpretation(word);
    });
    // A rebuilt list invalidates what the viewer shows.
    connect(d, &books::DictionaryPane::viewerCloseRequested, this, &MainWindow::closeViewer);
    connect(d, &books::DictionaryPane::busyStarted, this, [this] {
        m_process->setVisible(true);
        m_process->ProgressPlay();
    });
    connect(d, &books::DictionaryPane::busyFinished, this, [this] { m_timer1->start(); });
    connect(d, &books::DictionaryPane::listModeChanged, this,
            [this](int button) { m_ordinaryList = button == 1; });
    setBookStates([d] {
        QList<ExitState::Book> out;
        for (const auto &[path, enabled] : d->catalogue().states())
            out.append({path, enabled});
        return out;
    });
}

void MainWindow::setLiteraturePane(QWidget *pane)
{
    if (m_literaturePane == pane)
        return;
    delete m_literaturePane;
    m_literaturePane = pane;
    if (pane)
        m_litLayout->addWidget(pane, 1);
}

void MainWindow::showDictionary()
{
    m_dictionaryActive = true;
    m_litContent->setVisible(false);
    m_dictContent->setVisible(true);
    m_litHeader->setArrowType(Qt::RightArrow);
    m_dictHeader->setArrowType(Qt::DownArrow);
    if (!m_dictionary)
        return;
    m_dictionary->setDictionaryShown(true);
    m_litHasFocus = false;
}

void MainWindow::showLiterature()
{
    m_dictionaryActive = false;
    m_dictContent->setVisible(false);
    m_litContent->setVisible(true);
    m_litHeader->setArrowType(Qt::DownArrow);
    m_dictHeader->setArrowType(Qt::RightArrow);
    if (m_dictionary)
        m_dictionary->setDictionaryShown(false);
    if (m_literaturePane)
        m_literaturePane->setFocus(Qt::OtherFocusReason);
}

void MainWindow::StText()
{
    m_statusText->setToolTip(m_fullStatus);
    // Characters that fit: the room from the label's left edge (after the selected word) to the
    // status image, 85 twips per character. The label ends where the image begins, so the
    // inner width is its right edge plus the image. Our font's characters are often wider than
    // 85 twips, so the caption is shortened further until it fits: it ends in "..." instead of
    // being cut off.
    const int left = platform::pixelsToTwips(m_statusText->x());
    const int inner = left + platform::pixelsToTwips(m_statusText->width()) + StatusImageTwips;
    int limit = books::WhatLong(inner, StatusImageTwips, left);
    const QFontMetrics metrics(m_statusText->font());
    QString caption = books::IfLong(m_fullStatus, limit);
    while (limit > 0 && metrics.horizontalAdvance(caption) > m_statusText->width())
        caption = books::IfLong(m_fullStatus, --limit);
    m_statusText->setText(caption);
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The status label moves when the selected word beside it changes, and resizes with the
    // window and the status bar: its shortened caption follows.
    if (watched == m_statusText &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize) && !m_litHasFocus &&
        !m_fullStatus.isEmpty())
        StText();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::setBookStates(std::function<QList<ExitState::Book>()> states)
{
    m_bookStates = std::move(states);
}

void MainWindow::setLiteratureStates(std::function<LiteratureStates()> states)
{
    m_literatureStates = std::move(states);
}

void MainWindow::setSplash(QWidget *splash)
{
    m_splash = splash;
}

void MainWindow::setStatusText(const QString &text)
{
    m_statusText->setText(text);
}

QAction *MainWindow::toolbarButton(const QString &key) const
{
    for (QAction *action : {m_tolk, m_calen, m_hlp}) {
        if (action->objectName() == key)
            return action;
    }
    return nullptr;
}

int MainWindow::wordListCount() const
{
    return m_dictionary ? m_dictionary->wordList().count() : 0;
}

void MainWindow::onActivated()
{
    if (m_startingUp && !m_timer2->isActive())
        m_timer2->start();
    const int words = wordListCount();
    if (words > 0 && !m_litHasFocus && m_dictionary && m_dictionaryActive)
        m_dictionary->listView()->setFocus(Qt::ActiveWindowFocusReason);
    if (words == 0) {
        m_tolk->setEnabled(false);
        if (m_dictionary)
            m_dictionary->searchField()->setEnabled(false);
    }
}

void MainWindow::onTimer1()
{
    m_timer1->stop();
    m_process->setVisible(false);
    m_process->ProgressStop();
}

void MainWindow::onTimer2()
{
    m_timer2->stop();
    if (m_splash) {
        qCInfo(lcShell) << "splash closed";
        m_splash->close();
    }
    if (!m_booksWarning.isEmpty())
        showBooksWarning();
}

void MainWindow::installMinimumSizeRule()
{
    setMinimumSize(MinimumTrackingSize);
    m_minimumSizeRule = true;
}

void MainWindow::removeMinimumSizeRule()
{
    if (!m_minimumSizeRule)
        return;
    setMinimumSize(0, 0);
    m_minimumSizeRule = false;
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
        if (m_startingUp && !m_timer2->isActive())
            m_timer2->start();
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
