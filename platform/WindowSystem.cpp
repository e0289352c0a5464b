#include "platform/WindowSystem.h"

#include <QGuiApplication>

namespace platform::WindowSystem {

bool OnWayland()
{
    // "wayland", "wayland-egl", "wayland-brcm": every flavour of the plugin.
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

} // namespace platform::WindowSystem
