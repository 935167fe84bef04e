#pragma once

#include "linux/hotkeys/KeyBindingLines.h"
#include "platform/ProblemLog.h"

#include <memory>
#include <string>
#include <vector>

namespace tunora {

// Why no key reaches the program.
enum class KeysOff {
    // No portal runs, or it has no GlobalShortcuts (Sway and other wlroots
    // compositors).
    noPortalShortcuts,
    // The portal took the shortcuts but bound no key to them (Hyprland, until
    // its configuration binds them).
    noKeysBound,
};

// The compositor this session runs on, as its environment names it.
Compositor sessionCompositor();

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
