#pragma once

#include <QPoint>

#include <optional>

namespace kelmor::platform {

// Whether the desktop tells a program where the mouse is on the screen. Wayland does not (a
// program sees the pointer only over its own windows); X11 does.
bool hasGlobalPointerPosition();

// The mouse on the screen, in the device-independent pixels of window positions; std::nullopt
// where the desktop does not tell.
std::optional<QPoint> globalPointerPosition();

} // namespace kelmor::platform
