#include "platform/process_animation.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace kelmor::platform {

ProcessAnimation::ProcessAnimation(QWidget *parent)
    : QWidget(parent)
{
    m_timer.setInterval(100);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_frame = (m_frame + 1) % FrameCount;
        update();
    });
    setFixedSize(sizeHint());
}

void ProcessAnimation::ProgressPlay()
{
    m_timer.start();
}

void ProcessAnimation::ProgressStop()
{
    m_timer.stop();
}

void ProcessAnimation::ProgressReset()
{
    m_frame = 0;
    update();
}

void ProcessAnimation::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QPointF centre = QRectF(rect()).center();
    const double radius = std::min(width(), height()) / 2.0 - 2.5;
    const QColor base = palette().color(QPalette::Mid);
    const QColor bright = palette().color(QPalette::Highlight);
    for (int i = 0; i < FrameCount; ++i) {
        const double angle = 2 * std::numbers::pi * i / FrameCount - std::numbers::pi / 2;
        const QPointF dot = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
        p.setBrush(i == m_frame ? bright : base);
        p.drawEllipse(dot, 2.0, 2.0);
    }
}

} // namespace kelmor::platform
