#pragma once

#include "linux/hotkeys/KeyBindingLines.h"
#include "platform/NotificationCenter.h"

#include <filesystem>
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

// Tells the listener, once per desktop, how to give the station keys their keys
// where the desktop does not: a notification with the lines for its
// configuration. Whether it was told is kept as a file in `stateFolder`.
class KeyBindingAdvice {
  public:
    KeyBindingAdvice(std::shared_ptr<NotificationCenter> notifications,
                     std::filesystem::path stateFolder);

    void keysOff(KeysOff why, const std::string& applicationId,
                 const std::vector<RegisteredShortcut>& shortcuts);

    // $XDG_STATE_HOME/tunora.
    static std::filesystem::path defaultStateFolder();

  private:
    std::shared_ptr<NotificationCenter> notifications_;
    std::filesystem::path stateFolder_;
    bool toldThisRun_ = false;
};

} // namespace tunora
