#pragma once

#include "platform/ProblemLog.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// A shortcut the program registered, as a compositor's configuration names it.
struct RegisteredShortcut {
    std::string id;              // the portal's shortcut id, "slot1"
    int slot = 0;                // 1 to 5, as `tunora --slot N` takes it
    std::uint32_t modifiers = 0; // hot-key modifier bits
    char digit = '1';            // the key
};

// Why no key reaches the program.
enum class KeysOff {
    // No portal runs, or it has no GlobalShortcuts (Sway and other wlroots
    // compositors).
    noPortalShortcuts,
    // The portal took the shortcuts but bound no key to them (Hyprland, until
    // its configuration binds them).
    noKeysBound,
};

// Compositors whose configuration binds keys to commands or to a portal's
// shortcuts, as the session names them.
enum class Compositor { sway, hyprland, other };
Compositor sessionCompositor();

// The lines that give the shortcuts their keys there: Sway's bindsym lines run
// `tunora --slot N`; Hyprland's bind lines fire the portal's shortcuts by
// application and shortcut id; elsewhere the commands to bind.
std::vector<std::string> keyBindingLines(Compositor compositor, const std::string& applicationId,
                                         const std::vector<RegisteredShortcut>& shortcuts);

// Tells the listener, once for good on each compositor, how to give the
// station keys their keys where the desktop does not: a notification with the
// lines for its configuration.
class KeyBindingAdvice {
  public:
    explicit KeyBindingAdvice(std::shared_ptr<ProblemLog> problems);

    void keysOff(KeysOff why, const std::string& applicationId,
                 const std::vector<RegisteredShortcut>& shortcuts);

  private:
    std::shared_ptr<ProblemLog> problems_;
};

} // namespace tunora
