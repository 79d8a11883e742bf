#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QSystemTrayIcon;

namespace kelmor::platform {

// The notification-area icon: properties Icon, ToolTip and Visible, and the mouse events of the
// icon. Wraps QSystemTrayIcon; the desktop's click reports are mapped to the events (a click
// with the left button gives MouseDown(1) then MouseUp(1), the context-menu request gives
// MouseDown(2) then MouseUp(2), a double click gives DblClick).
class TrayArea : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QIcon Icon READ icon WRITE setIcon)
    Q_PROPERTY(QString ToolTip READ toolTip WRITE setToolTip)
    Q_PROPERTY(bool Visible READ isVisible WRITE setVisible)
public:
    // Longest tooltip the icon carries; longer text is cut.
    static constexpr int MaxToolTipLength = 64;

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

    // Mouse buttons in the events.
    enum Button { LeftButton = 1, RightButton = 2 };

Q_SIGNALS:
    void MouseMove();
    void MouseDown(int button);
    void MouseUp(int button);
    void DblClick();

private:
    void ensureIcon();
    QIcon m_icon;
    QString m_toolTip;
    bool m_visible = false;
    QSystemTrayIcon *m_tray = nullptr;
};

} // namespace kelmor::platform
