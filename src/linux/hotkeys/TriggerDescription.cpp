#include "linux/hotkeys/TriggerDescription.h"

#include "linux/glib/GObjectPtr.h"

#include <glib.h>
#include <optional>
#include <string_view>
#include <utility>

namespace tunora {
namespace {

constexpr glong maximumCharacters = 64;

// Valid UTF-8 without control characters, cut at a character with "…".
std::string fitForMenu(const std::string& text) {
    const GCharPtr valid(g_utf8_make_valid(text.data(), gssize(text.size())));
    std::string fit;
    glong characters = 0;
    for (const gchar* at = valid.get(); *at != '\0'; at = g_utf8_next_char(at)) {
        if (g_unichar_iscntrl(g_utf8_get_char(at))) {
            continue;
        }
        if (++characters > maximumCharacters) {
            return fit + "\u2026";
        }
        fit.append(at, std::size_t(g_utf8_next_char(at) - at));
    }
    return fit;
}

std::optional<std::uint32_t> modifierNamed(std::string_view name) {
    const GCharPtr lower(g_ascii_strdown(name.data(), gssize(name.size())));
    const std::string_view folded = lower.get();
    if (folded == "ctrl" || folded == "control" || folded == "primary") {
        return controlKey;
    }
    if (folded == "alt" || folded == "mod1") {
        return optionKey;
    }
    if (folded == "shift") {
        return shiftKey;
    }
    if (folded == "super" || folded == "meta" || folded == "logo" || folded == "mod4") {
        return cmdKey;
    }
    return std::nullopt;
}

// "<Control><Alt>1" or "Ctrl+Alt+1"; false when the text says anything else.
bool parseTrigger(std::string_view text, HotKeyBinding& binding) {
    std::uint32_t modifiers = 0;
    while (!text.empty() && text.front() == '<') {
        const auto close = text.find('>');
        const auto modifier = close == std::string_view::npos
                                  ? std::nullopt
                                  : modifierNamed(text.substr(1, close - 1));
        if (!modifier) {
            return false;
        }
        modifiers |= *modifier;
        text.remove_prefix(close + 1);
    }
    for (auto plus = text.find('+'); plus != std::string_view::npos && plus + 1 < text.size();
         plus = text.find('+')) {
        const auto modifier = modifierNamed(text.substr(0, plus));
        if (!modifier) {
            return false;
        }
        modifiers |= *modifier;
        text.remove_prefix(plus + 1);
    }
    if (text.size() != 1 || !g_ascii_isalnum(text.front())) {
        return false;
    }
    binding.key = std::string(1, g_ascii_tolower(text.front()));
    binding.modifiers = modifiers;
    return true;
}

} // namespace

HotKeyBinding bindingForTrigger(const std::string& description) {
    HotKeyBinding binding;
    binding.description = fitForMenu(description);
    std::string_view text = binding.description;
    if (text.starts_with("Press ")) {
        text.remove_prefix(6);
    }
    if (parseTrigger(text, binding)) {
        // GNOME says "Press <Control><Alt>1"; the menu names every key alike.
        binding.description = keyLabel(binding.modifiers, binding.key);
    } else {
        binding.key.clear();
        binding.modifiers = 0;
    }
    return binding;
}

} // namespace tunora
