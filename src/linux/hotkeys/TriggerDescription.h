#pragma once

#include "platform/HotkeyEventServices.h"

#include <cstdint>
#include <string>

namespace tunora {

// A desktop's description of the trigger it bound ("Ctrl+Alt+1" from KDE,
// "Press <Alt>1" from GNOME) as a binding. When the text names exactly one key
// with known modifiers, the binding holds that key and its modifiers, described
// as keyLabel does; otherwise only the text, made fit for a menu (valid UTF-8,
// no control characters, at most 64 characters).
HotKeyBinding bindingForTrigger(const std::string& description);

// What each modifier is called in one notation, each with its separator.
struct ModifierNames {
    const char* control;
    const char* alt;
    const char* shift;
    const char* super;
};

// The names of the modifiers set in the hot-key bits, in the order Ctrl, Alt,
// Shift, Super: "Ctrl+Alt+" for keyLabel, "CTRL+ALT+" for a portal trigger.
std::string modifierPrefix(std::uint32_t modifiers, const ModifierNames& names);

// A key combination as keyboards label it: "Alt+1", "Ctrl+Alt+1".
std::string keyLabel(std::uint32_t modifiers, const std::string& key);

} // namespace tunora
