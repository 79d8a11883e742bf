#pragma once

// The tray popup `TrayMenu`: a small borderless, topmost, partly transparent panel that opens
// at the tray icon, with five command rows and a search field that looks words up without the
// main window.

#include "tray/idle_counter.h"

#include <QPoint>
#include <QWidget>

#include <functional>
#include <optional>

class QLineEdit;
class QTimer;

namespace kelmor::tray {

class TrayMenu : public QWidget
{
    Q_OBJECT
public:
    struct Context
    {
        // The popup's opacity, 0..255; 0 and 255 leave it opaque.
        int menuTransparency = 0;
        // The main window's search field: the typed text goes there, which selects the first
        // word of the list that begins with it.
        std::function<void(const QString &text)> mirrorText;
        // The main list's selected word; std::nullopt when none is selected.
        std::function<std::optional<QString>()> selectedWord;
        // Enter on the selected word: its interpretation in the viewer.
        std::function<void()> showInterpretation;
        // A row's command (TrayCommands::run).
        std::function<void(int row)> runCommand;
        // The mouse on the screen; std::nullopt where the desktop does not tell (then the popup
        // opens at the bottom-right of the screen and the mouse counts as over it while Qt sees
        // it there). Default: platform::globalPointerPosition.
        std::function<std::optional<QPoint>()> pointerPosition;
        // A warning box over the popup (the program's title, OK). Default: a QMessageBox.
        std::function<void(QWidget *parent, const QString &text)> warn;
    };

    explicit TrayMenu(Context context, QWidget *parent = nullptr);
    ~TrayMenu() override;

    // Places the popup with its bottom-right corner at the mouse, shows it on top and gives
    // the search field the keyboard.
    void popUp();

    // The highlight bar `Image111` behind a row (0..4), or hidden.
    void ShowCur(int row);
    void HideCur();
    // The row the highlight bar is behind; -1 when hidden.
    int highlightedRow() const { return m_highlighted; }

    // The size of the frame `Shape2`, the popup's size.
    QSize panelSize() const;
    QLineEdit *searchField() const { return m_field; }
    int idleCount() const { return m_idle.count(); }

    // One tick of the idle timer `Timer1` (run by the timer every 10 ms).
    void tick();
    // A row's click: the popup hides, the command runs, the popup closes.
    void clickRow(int row);

Q_SIGNALS:
    // The popup has closed (it deletes itself).
    void closed();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    class Panel;
    class HotArea;
    class HighlightBar;

    // Design lengths are in twips; the layout scales them to the font.
    int px(double twips) const;
    void layoutPanel();
    void activated();
    void keyPressed(QKeyEvent *event, bool *consumed);
    void keyReleased(int key);
    void warn(const QString &text);

    Context m_context;
    double m_scale = 1.0;
    Panel *m_panel = nullptr;
    HighlightBar *m_bar = nullptr;
    QList<HotArea *> m_rows;
    QLineEdit *m_field = nullptr;
    QTimer *m_timer = nullptr;
    IdleCounter m_idle;
    int m_highlighted = -1;
    bool m_warning = false;
    bool m_closing = false;
    bool m_closeReported = false;
};

} // namespace kelmor::tray
