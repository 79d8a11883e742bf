#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace kelmor::platform {

// The notification-area icon: properties Icon, ToolTip and Visible, and the mouse events of the
// icon. Wraps QSystemTrayIcon, which speaks both protocols of Linux desktops: StatusNotifierItem
// over D-Bus where a StatusNotifierWatcher runs (KDE Plasma; GNOME Shell with its AppIndicator
// extension) and the X11 system tray (XEmbed) elsewhere. The desktop's click reports are mapped
// to the events: a click with the left button (the item's Activate) gives MouseDown(1) then
// MouseUp(1), the context-menu request (a right click; the item's ContextMenu) gives MouseDown(2)
// then MouseUp(2), a double click gives DblClick. The desktop reports no mouse moves over the
// icon, so MouseMove is never raised; middle clicks raise nothing.
class TrayArea : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QIcon Icon READ icon WRITE setIcon)
    Q_PROPERTY(QString ToolTip READ toolTip WRITE setToolTip)
    Q_PROPERTY(bool Visible READ isVisible WRITE setVisible)
public:
    // Longest tooltip the icon carries; longer text is cut.
    static constexpr int MaxToolTipLength = 64;

    // The tooltip the icon carries: at most 64 characters of the text, never half of a
    // character written as a surrogate pair.
    static QString cutToolTip(const QString &text);

    // Whether the desktop's notification area shows only menus of its own: GNOME Shell's
    // extension never passes the right button to an icon without a menu. desktop is the value
    // of XDG_CURRENT_DESKTOP (names separated by ":").
    static bool hostShowsOnlyMenus(const QString &desktop);

    explicit TrayArea(QObject *parent = nullptr);
    ~TrayArea() override;

    // Whether the desktop has a notification area at all.
    static bool isSystemTrayAvailable();

    QIcon icon() const { return m_icon; }
    // A null icon hides the icon.
    void setIcon(const QIcon &icon);

    QString toolTip() const { return m_toolTip; }
    // Stored trimmed of surrounding spaces; the icon gets at most 64 characters of it.
    void setToolTip(const QString &text);

    bool isVisible() const { return m_visible; }
    void setVisible(bool visible);

    // A warning notification from the icon, while the icon is shown.
    void showMessage(const QString &title, const QString &text);

    // The menu the icon carries where the notification area shows only menus of its own
    // (hostShowsOnlyMenus of the running desktop); elsewhere the right button raises
    // MouseDown(2) and the menu is not used. The menu is not owned.
    void setHostMenu(QMenu *menu);
    // Whether the icon carries the host menu on this desktop.
    bool usesHostMenu() const;

    // Mouse buttons in the events.
    enum Button { LeftButton = 1, RightButton = 2 };

Q_SIGNALS:
    void MouseMove();
    void MouseDown(int button);
    void MouseUp(int button);
    void DblClick();

private:
    void ensureIcon();
    QPointer<QMenu> m_hostMenu;
    QIcon m_icon;
    QString m_toolTip;
    bool m_visible = false;
    QSystemTrayIcon *m_tray = nullptr;
};

} // namespace kelmor::platform
