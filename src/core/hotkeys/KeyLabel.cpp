#include "core/hotkeys/KeyLabel.h"

#include "platform/HotkeyEventServices.h"

#include <utility>

namespace tunora {

std::string modifierPrefix(std::uint32_t modifiers, const ModifierNames& names) {
    std::string text;
    const std::pair<std::uint32_t, const char*> bits[] = {{controlKey, names.control},
                                                          {optionKey, names.alt},
                                                          {shiftKey, names.shift},
                                                          {cmdKey, names.super}};
    for (const auto& [bit, name] : bits) {
        if (modifiers & bit) {
            text += name;
        }
    }
    return text;
}

std::string keyLabel(std::uint32_t modifiers, const std::string& key) {
    std::string text = modifierPrefix(modifiers, {"Ctrl+", "Alt+", "Shift+", "Super+"});
    for (const char c : key) {
        text += c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; // ASCII only, as keys are named
    }
    return text;
}

} // namespace tunora
