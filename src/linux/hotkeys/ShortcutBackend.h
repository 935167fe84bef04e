#pragma once

#include "platform/HotkeyEventServices.h"
#include "platform/NotificationCenter.h"

#include <memory>

namespace tunora {

// Global shortcuts as the session offers them: through the desktop portal in a
// Wayland session (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland), where key
// grabs see nothing, and as X11 key grabs otherwise. TUNORA_SHORTCUTS=portal|x11
// chooses one regardless. Where the portal gives no keys that the compositor's
// configuration could, `notifications` tells the listener the lines, once.
std::shared_ptr<HotkeyEventServices>
makeHotkeyEventServices(std::shared_ptr<NotificationCenter> notifications);

} // namespace tunora
