#pragma once

#include <cstdint>
#include <string>

namespace tunora {

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
