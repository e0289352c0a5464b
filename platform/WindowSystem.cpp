#include "platform/WindowSystem.h"

#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace platform::WindowSystem {

bool OnWayland()
{
    // "wayland", "wayland-egl", "wayland-brcm": every flavour of the plugin.
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

namespace {

bool x11CompositorRuns()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *c = x11 ? x11->connection() : nullptr;
    if (!c)
        return false;
    // The selection names the screen the program runs on; Qt opens the
    // display's default one.
    int screen = 0;
    if (const char *display = std::getenv("DISPLAY")) {
        const QByteArray d(display);
        const int dot = d.lastIndexOf('.');
        const int colon = d.lastIndexOf(':');
        if (dot > colon && colon >= 0)
            screen = d.mid(dot + 1).toInt();
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(name.size()), name.constData()), nullptr),
        &std::free);
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false; // nobody ever named it: no compositor
    const std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, atom->atom), nullptr), &std::free);
    return owner && owner->owner != XCB_NONE;
}

} // namespace

bool CompositorDrawsAlpha()
{
    return OnWayland() || x11CompositorRuns();
}

} // namespace platform::WindowSystem
