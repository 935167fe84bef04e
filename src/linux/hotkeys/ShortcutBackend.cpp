#include "linux/hotkeys/ShortcutBackend.h"

#include "linux/hotkeys/PortalHotkeyEventServices.h"
#include "linux/hotkeys/X11HotkeyEventServices.h"
#include "linux/system/Environment.h"

namespace tunora {

std::shared_ptr<HotkeyEventServices> makeHotkeyEventServices(ShortcutChoice choice,
                                                             std::shared_ptr<ProblemLog> problems) {
    const bool portal =
        choice == ShortcutChoice::bySession ? inWaylandSession() : choice == ShortcutChoice::portal;
    if (portal) {
        auto advice = std::make_shared<KeyBindingAdvice>(problems);
        return std::make_shared<PortalHotkeyEventServices>(
            [advice](KeysOff why, const std::vector<RegisteredShortcut>& shortcuts) {
                advice->keysOff(why, PortalHotkeyEventServices::applicationId, shortcuts);
            },
            problems);
    }
    return std::make_shared<X11HotkeyEventServices>();
}

} // namespace tunora
