#pragma once

class QWidget;

namespace kelmor::platform {

// Makes a top-level window partly transparent: opacity 0..255 (255 opaque) for the whole window,
// and pixels of exactly RGB(128, 0, 0) fully transparent (cut out by the window's mask).
// Returns false where the platform cannot show window opacity (X11 without a compositing
// manager, the offscreen platform); never throws, and the caller goes on without transparency.
bool SetWindowAlpha(QWidget *window, int opacity);

// True when the running platform shows window opacity.
bool windowOpacitySupported();

} // namespace kelmor::platform
