#include "shell/main_window.h"

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

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
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
    m_toolbar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
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

    auto *spacer = new QWidget(m_toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_toolbar->addWidget(spacer);
    m_aboutLink = new LinkLabel(QStringLiteral("О программе"), m_toolbar);
    m_aboutLink->setObjectName(QStringLiteral("Label3"));
    m_aboutLink->setContentsMargins(6, 0, 6, 0);
    m_toolbar->addWidget(m_aboutLink);
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

    m_statusBar = new QStatusBar(this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar1"));
    m_statusText = new QLabel(m_statusBar);
    m_statusText->setObjectName(QStringLiteral("Label7"));
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
        m_store.sync();
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
    Q_EMIT listModeSelected(button);
}

void MainWindow::LoadBooks()
{
    // The book catalogue opens the books and fills the word list here.
}

void MainWindow::LoadList()
{
    // The word list is rebuilt from the enabled books here.
}

void MainWindow::ShowLit()
{
    // The literature tree is built here.
}

void MainWindow::LoadLastWord()
{
    // The last word of the previous run is selected in the word list here.
}

void MainWindow::SaveLastWord()
{
    // The word selected in the word list is saved as LastWord here.
}

void MainWindow::ShowTolk()
{
    // The viewer shows the selected word's interpretation here; until then the button does not
    // stay pressed.
    m_tolk->setChecked(false);
}

void MainWindow::ShowCalen()
{
    // The moon calendar window opens here.
}

void MainWindow::ShowOptions()
{
    // The options window opens here, on its first tab.
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
    if (pane)
        m_paneLayout->addWidget(pane, 1);
}

void MainWindow::setLiteraturePane(QWidget *pane)
{
    if (m_literaturePane == pane)
        return;
    delete m_literaturePane;
    m_literaturePane = pane;
    if (pane)
        m_paneLayout->insertWidget(0, pane);
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
    // The word list tells its size here.
    return 0;
}

void MainWindow::onActivated()
{
    if (m_startingUp && !m_timer2->isActive())
        m_timer2->start();
    const int words = wordListCount();
    if (words > 0 && !m_litHasFocus && m_dictionaryPane) {
        // The word list takes the focus here.
    }
    if (words == 0)
        m_tolk->setEnabled(false);
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
