#pragma once

#include "platform/HotkeyEventServices.h"
#include "platform/ProblemLog.h"

#include <memory>

namespace tunora {

// How global shortcuts are had: as the session offers them, or as the listener
// chose with TUNORA_SHORTCUTS.
enum class ShortcutChoice { bySession, portal, x11 };

// Global shortcuts as the session offers them: through the desktop portal in a
// Wayland session (WAYLAND_DISPLAY set, or XDG_SESSION_TYPE=wayland), where key
// grabs see nothing, and as X11 key grabs otherwise. Where the portal gives no
// keys that the compositor's configuration could, `problems` tells the listener
// the lines, once for good; and what else stops the keys.
std::shared_ptr<HotkeyEventServices> makeHotkeyEventServices(ShortcutChoice choice,
                                                             std::shared_ptr<ProblemLog> problems);

} // namespace tunora
