#include "platform/window_alpha.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QWidget>

#ifdef KELMOR_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

#include <algorithm>

namespace kelmor::platform {

namespace {

#ifdef KELMOR_HAVE_XCB
// A compositing manager owns the selection _NET_WM_CM_S<screen>.
bool x11CompositorRunning()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof(name) - 1, name), nullptr);
    if (!atom)
        return false;
    xcb_get_selection_owner_reply_t *owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const bool running = owner && owner->owner != XCB_NONE;
    std::free(owner);
    std::free(atom);
    return running;
}
#endif

} // namespace

bool windowOpacitySupported()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
        platform == QLatin1String("vnc"))
        return false;
    if (platform == QLatin1String("xcb")) {
#ifdef KELMOR_HAVE_XCB
        return x11CompositorRunning();
#else
        return true;
#endif
    }
    return true;
}

bool SetWindowAlpha(QWidget *window, int opacity)
{
    if (!window)
        return false;
    opacity = std::clamp(opacity, 0, 255);
    window->setWindowOpacity(opacity / 255.0);

    // Colour key: cut the pixels of exactly RGB(128, 0, 0) out of the window.
    window->ensurePolished();
    const QImage image = window->grab().toImage();
    if (!image.isNull()) {
        // The bitmap's set pixels are those not of the key colour: the part that stays.
        QBitmap kept =
            QBitmap::fromImage(image.createMaskFromColor(qRgb(128, 0, 0), Qt::MaskInColor));
        kept.setDevicePixelRatio(image.devicePixelRatio());
        const QRegion keep(kept);
        if (keep == QRegion(window->rect()))
            window->clearMask();
        else
            window->setMask(keep);
    }
    return windowOpacitySupported();
}

} // namespace kelmor::platform
