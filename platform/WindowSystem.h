#pragma once

// What the desktop lets a window do for itself. On Wayland the compositor
// draws each window from its pixels, alpha included, and places and moves
// it; a window can neither cut its own shape nor choose its position.
namespace platform::WindowSystem {

// True when the program runs as a Wayland client.
bool OnWayland();

// True when a compositor draws the windows from their pixels' alpha: always
// on Wayland; on X11 while a compositing manager runs (it owns the screen's
// _NET_WM_CM_S0 selection), as under XWayland, KWin or picom. Without one,
// X11 shows a translucent pixel as black, so only the window's shape can
// cut it there.
bool CompositorDrawsAlpha();

} // namespace platform::WindowSystem
