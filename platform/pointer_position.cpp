#include "platform/pointer_position.h"

#include <QCursor>
#include <QGuiApplication>

namespace kelmor::platform {

bool hasGlobalPointerPosition()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::optional<QPoint> globalPointerPosition()
{
    if (!hasGlobalPointerPosition())
        return std::nullopt;
    return QCursor::pos();
}

} // namespace kelmor::platform
