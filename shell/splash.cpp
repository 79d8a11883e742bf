#include "shell/splash.h"

#include "platform/twips.h"
#include "platform/version.h"
#include "platform/window_alpha.h"
#include "shell/app_icon.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace kelmor::shell {

namespace {
// Designed size in twips.
constexpr int SplashWidthTwips = 6000;
constexpr int SplashHeightTwips = 3300;
} // namespace

Splash::Splash(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("Splash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(platform::twipsToPixels(SplashWidthTwips),
                 platform::twipsToPixels(SplashHeightTwips));

    auto *title = new QLabel(platform::ApplicationTitle, this);
    QFont font = title->font();
    font.setPointSizeF(font.pointSizeF() * 1.8);
    font.setBold(true);
    title->setFont(font);
    title->setAlignment(Qt::AlignCenter);

    auto *subtitle = new QLabel(QStringLiteral("Электронный сонник и лунный календарь"), this);
    subtitle->setAlignment(Qt::AlignCenter);

    m_version = new QLabel(platform::VersionString(), this);
    m_version->setObjectName(QStringLiteral("LabelVersion"));
    m_version->setAlignment(Qt::AlignRight | Qt::AlignBottom);

    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor(240, 236, 255));
    for (QLabel *label : {title, subtitle, m_version})
        label->setPalette(p);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, height() / 4 + 24, 16, 10);
    layout->addWidget(title);
    layout->addWidget(subtitle);
    layout->addStretch();
    layout->addWidget(m_version);

    m_alphaApplied = platform::SetWindowAlpha(this, 220);
}

void Splash::showTopmost()
{
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - rect().center());
    }
    show();
    raise();
    repaint();
}

QString Splash::versionText() const
{
    return m_version->text();
}

void Splash::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height());
    sky.setColorAt(0, QColor(24, 22, 64));
    sky.setColorAt(1, QColor(70, 50, 120));
    p.fillRect(rect(), sky);
    const int side = height() / 4;
    p.drawPixmap((width() - side) / 2, 14, applicationIcon().pixmap(side, side));
    p.setPen(QColor(140, 120, 200));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace kelmor::shell
