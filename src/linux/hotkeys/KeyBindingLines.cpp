#include "linux/hotkeys/KeyBindingLines.h"

#include "core/hotkeys/KeyLabel.h"
#include "linux/strings/GettextStrings.h"

namespace tunora {
namespace {

std::string asciiLowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return lower;
}

bool listsDesktop(const std::string& currentDesktops, std::string_view name) {
    const std::string listed = ":" + asciiLowerCase(currentDesktops) + ":";
    return listed.find(":" + std::string(name) + ":") != std::string::npos;
}

} // namespace

// Budgie runs on labwc, but Budgie's settings are the place there: its labwc
// bridge writes Budgie's own rc.xml from them, and labwc reads no other.
Compositor compositorOf(const SessionNames& session) {
    if (session.swaySocket || listsDesktop(session.currentDesktops, "sway")) {
        return Compositor::sway;
    }
    if (session.hyprlandSignature || listsDesktop(session.currentDesktops, "hyprland")) {
        return Compositor::hyprland;
    }
    if (listsDesktop(session.currentDesktops, "budgie")) {
        return Compositor::budgie;
    }
    return Compositor::other;
}

const char* compositorName(Compositor compositor) {
    switch (compositor) {
    case Compositor::sway:
        return "sway";
    case Compositor::hyprland:
        return "hyprland";
    case Compositor::budgie:
        return "budgie";
    case Compositor::other:
        break;
    }
    return "wayland";
}

std::vector<std::string> keyBindingLines(Compositor compositor, const std::string& applicationId,
                                         const std::vector<RegisteredShortcut>& shortcuts) {
    std::vector<std::string> lines;
    for (const auto& shortcut : shortcuts) {
        const std::string command = "tunora --slot " + std::to_string(shortcut.slot);
        const std::string key(1, shortcut.digit);
        switch (compositor) {
        case Compositor::sway:
            lines.push_back(
                "bindsym " +
                modifierPrefix(shortcut.modifiers, {"Ctrl+", "Mod1+", "Shift+", "Mod4+"}) + key +
                " exec " + command);
            break;
        case Compositor::hyprland: {
            std::string modifiers =
                modifierPrefix(shortcut.modifiers, {"CTRL ", "ALT ", "SHIFT ", "SUPER "});
            if (!modifiers.empty()) {
                modifiers.pop_back();
            }
            lines.push_back("bind = " + modifiers + ", " + key + ", global, " + applicationId +
                            ":" + shortcut.id);
            break;
        }
        case Compositor::budgie:
        case Compositor::other:
            lines.push_back(keyLabel(shortcut.modifiers, key) + ": " + command);
            break;
        }
    }
    return lines;
}

// Short lines, what to do first: Budgie's popups show a title of about 35
// characters and two lines of about 40 of each line of the text; mako's (Sway's
// usual one) five lines of 35 in all, the title among them.
KeyAdviceTexts keyAdviceTexts(Compositor compositor) {
    switch (compositor) {
    case Compositor::sway:
        return {N_("Station keys on Sway"), N_("~/.config/sway/config, then reload:")};
    case Compositor::hyprland:
        return {N_("Station keys on Hyprland"), N_("In ~/.config/hypr/hyprland.conf:")};
    case Compositor::budgie:
        return {N_("Station keys on Budgie"),
                N_("Budgie Control Center \u2192 Keyboard \u2192 Custom Shortcuts:")};
    case Compositor::other:
        break;
    }
    return {N_("Station keys on this desktop"), N_("It offers none. Bind these keys:")};
}

} // namespace tunora
