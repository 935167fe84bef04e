#include "linux/hotkeys/ShortcutBackend.h"

#include "linux/hotkeys/PortalHotkeyEventServices.h"
#include "linux/hotkeys/X11HotkeyEventServices.h"
#include "linux/system/Environment.h"

#include <glib.h>
#include <string>

namespace tunora {
namespace {

bool usePortal() {
    if (const auto forced = nonEmptyVariable("TUNORA_SHORTCUTS")) {
        const std::string& choice = *forced;
        if (choice == "portal" || choice == "x11") {
            return choice == "portal";
        }
        g_message("TUNORA_SHORTCUTS=%s is neither portal nor x11; choosing by the session",
                  choice.c_str());
    }
    return inWaylandSession();
}

} // namespace

std::shared_ptr<HotkeyEventServices>
makeHotkeyEventServices(std::shared_ptr<NotificationCenter> notifications) {
    if (usePortal()) {
        auto advice = std::make_shared<KeyBindingAdvice>(std::move(notifications),
                                                         KeyBindingAdvice::defaultStateFolder());
        return std::make_shared<PortalHotkeyEventServices>(
            [advice](KeysOff why, const std::vector<RegisteredShortcut>& shortcuts) {
                advice->keysOff(why, PortalHotkeyEventServices::applicationId, shortcuts);
            });
    }
    return std::make_shared<X11HotkeyEventServices>();
}

} // namespace tunora
