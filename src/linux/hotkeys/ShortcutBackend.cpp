#include "linux/hotkeys/ShortcutBackend.h"

#include "linux/hotkeys/PortalHotkeyEventServices.h"
#include "linux/hotkeys/X11HotkeyEventServices.h"

#include <glib.h>
#include <string>

namespace tunora {
namespace {

bool inWaylandSession() {
    const char* display = g_getenv("WAYLAND_DISPLAY");
    const char* sessionType = g_getenv("XDG_SESSION_TYPE");
    return (display != nullptr && *display != '\0') ||
           (sessionType != nullptr && std::string(sessionType) == "wayland");
}

bool usePortal() {
    const char* forced = g_getenv("TUNORA_SHORTCUTS");
    if (forced != nullptr && *forced != '\0') {
        const std::string choice = forced;
        if (choice == "portal" || choice == "x11") {
            return choice == "portal";
        }
        g_message("TUNORA_SHORTCUTS=%s is neither portal nor x11; choosing by the session", forced);
    }
    return inWaylandSession();
}

} // namespace

std::shared_ptr<HotkeyEventServices> makeHotkeyEventServices() {
    if (usePortal()) {
        return std::make_shared<PortalHotkeyEventServices>();
    }
    return std::make_shared<X11HotkeyEventServices>();
}

} // namespace tunora
