#pragma once

// What the desktop lets a window do for itself. On Wayland the compositor
// draws each window from its pixels, alpha included, and places and moves
// it; a window can neither cut its own shape nor choose its position.
namespace platform::WindowSystem {

// True when the program runs as a Wayland client.
bool OnWayland();

} // namespace platform::WindowSystem
