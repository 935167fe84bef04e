#pragma once

#include "platform/HotkeyEventServices.h"

#include <memory>

namespace tunora {

// Global shortcuts as the session offers them: through the desktop portal in a
// Wayland session (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland), where key
// grabs see nothing, and as X11 key grabs otherwise. TUNORA_SHORTCUTS=portal|x11
// chooses one regardless.
std::shared_ptr<HotkeyEventServices> makeHotkeyEventServices();

} // namespace tunora
