#include "platform/tray_area.h"

#include <QMenu>
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

QString TrayArea::cutToolTip(const QString &text)
{
    if (text.size() <= MaxToolTipLength)
        return text;
    qsizetype length = MaxToolTipLength;
    if (text.at(length - 1).isHighSurrogate() && text.at(length).isLowSurrogate())
        --length;
    return text.left(length);
}

bool TrayArea::hostShowsOnlyMenus(const QString &desktop)
{
    const QStringList names = desktop.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &name : names) {
        if (name.trimmed().compare(QLatin1String("GNOME"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

void TrayArea::setHostMenu(QMenu *menu)
{
    m_hostMenu = menu;
    if (m_tray)
        m_tray->setContextMenu(usesHostMenu() ? m_hostMenu.data() : nullptr);
}

bool TrayArea::usesHostMenu() const
{
    return m_hostMenu && hostShowsOnlyMenus(QString::fromLocal8Bit(qgetenv("XDG_CURRENT_DESKTOP")));
}

void TrayArea::ensureIcon()
{
    if (m_tray)
        return;
    m_tray = new QSystemTrayIcon(this);
    m_tray->setToolTip(cutToolTip(m_toolTip));
    if (!m_icon.isNull())
        m_tray->setIcon(m_icon);
    if (usesHostMenu())
        m_tray->setContextMenu(m_hostMenu);
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
        m_tray->setToolTip(cutToolTip(m_toolTip));
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
