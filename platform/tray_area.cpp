#include "platform/tray_area.h"

#include <QSystemTrayIcon>

namespace kelmor::platform {

TrayArea::TrayArea(QObject *parent)
    : QObject(parent)
{
}

TrayArea::~TrayArea()
{
    // Leave no stale icon behind.
    if (m_tray)
        m_tray->hide();
}

bool TrayArea::isSystemTrayAvailable()
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayArea::ensureIcon()
{
    if (m_tray)
        return;
    m_tray = new QSystemTrayIcon(this);
    m_tray->setToolTip(m_toolTip.left(MaxToolTipLength));
    if (!m_icon.isNull())
        m_tray->setIcon(m_icon);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::Trigger:
                    Q_EMIT MouseDown(LeftButton);
                    Q_EMIT MouseUp(LeftButton);
                    break;
                case QSystemTrayIcon::Context:
                    Q_EMIT MouseDown(RightButton);
                    Q_EMIT MouseUp(RightButton);
                    break;
                case QSystemTrayIcon::DoubleClick:
                    Q_EMIT DblClick();
                    break;
                default:
                    break;
                }
            });
}

void TrayArea::setIcon(const QIcon &icon)
{
    m_icon = icon;
    if (icon.isNull()) {
        setVisible(false);
        return;
    }
    if (m_tray)
        m_tray->setIcon(icon);
}

void TrayArea::setToolTip(const QString &text)
{
    m_toolTip = text.trimmed();
    if (m_tray)
        m_tray->setToolTip(m_toolTip.left(MaxToolTipLength));
}

void TrayArea::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (visible) {
        ensureIcon();
        m_tray->show();
    } else if (m_tray) {
        m_tray->hide();
    }
}

void TrayArea::showMessage(const QString &title, const QString &text)
{
    if (m_visible && m_tray)
        m_tray->showMessage(title, text, QSystemTrayIcon::Warning);
}

} // namespace kelmor::platform
