#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tunora {

// A shortcut the program registered, as a compositor's configuration names it.
struct RegisteredShortcut {
    std::string id;              // the portal's shortcut id, "slot1"
    int slot = 0;                // 1 to 5, as `tunora --slot N` takes it
    std::uint32_t modifiers = 0; // hot-key modifier bits
    char digit = '1';            // the key
};

// Desktops whose own configuration or settings give keys where their portal
// gives none: Sway's and Hyprland's configuration files, Budgie's Keyboard
// settings (whose labwc bridge writes them into Budgie's own labwc rc.xml).
enum class Compositor { sway, hyprland, budgie, other };

// What the session says about itself.
struct SessionNames {
    bool swaySocket = false;        // SWAYSOCK is set
    bool hyprlandSignature = false; // HYPRLAND_INSTANCE_SIGNATURE is set
    std::string currentDesktops;    // XDG_CURRENT_DESKTOP, a colon-separated list
};
Compositor compositorOf(const SessionNames& session);

// A short name for the compositor, for file names.
const char* compositorName(Compositor compositor);

// The lines that give the shortcuts their keys there: Sway's bindsym lines run
// `tunora --slot N`; Hyprland's bind lines fire the portal's shortcuts by
// application and shortcut id; elsewhere each key with the command to bind it
// to, "Alt+1: tunora --slot 1".
std::vector<std::string> keyBindingLines(Compositor compositor, const std::string& applicationId,
                                         const std::vector<RegisteredShortcut>& shortcuts);

// What the listener is told there, in English (each marked for translation):
// the notification's title, and the instruction that goes before the lines:
// where they go and what else to do, so that popups that show a few lines show
// it first.
struct KeyAdviceTexts {
    const char* title;
    const char* instruction;
};
KeyAdviceTexts keyAdviceTexts(Compositor compositor);

} // namespace tunora
