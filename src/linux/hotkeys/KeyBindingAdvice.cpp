#include "linux/hotkeys/KeyBindingAdvice.h"

#include "linux/hotkeys/TriggerDescription.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"

#include <glib.h>

namespace tunora {
namespace {

bool currentDesktopIs(const std::string& name) {
    const auto desktops = nonEmptyVariable("XDG_CURRENT_DESKTOP");
    if (!desktops) {
        return false;
    }
    const std::string wanted = ":" + name + ":";
    std::string listed = ":" + *desktops + ":";
    for (char& c : listed) {
        c = char(g_ascii_tolower(c));
    }
    return listed.find(wanted) != std::string::npos;
}

const char* compositorName(Compositor compositor) {
    switch (compositor) {
    case Compositor::sway:
        return "sway";
    case Compositor::hyprland:
        return "hyprland";
    case Compositor::other:
        break;
    }
    return "wayland";
}

// A notification's title, and what to do with the lines. Short: notification
// servers show a few lines (mako, Sway's usual one, about five), and the lines
// should be among them.
std::string title(Compositor compositor) {
    switch (compositor) {
    case Compositor::sway:
        return GettextStrings::translate(N_("Station keys on Sway"));
    case Compositor::hyprland:
        return GettextStrings::translate(N_("Station keys on Hyprland"));
    case Compositor::other:
        break;
    }
    return GettextStrings::translate(N_("Station keys on this desktop"));
}

std::string instructions(Compositor compositor) {
    switch (compositor) {
    case Compositor::sway:
        return GettextStrings::translate(N_("In ~/.config/sway/config:"));
    case Compositor::hyprland:
        return GettextStrings::translate(N_("In ~/.config/hypr/hyprland.conf:"));
    case Compositor::other:
        break;
    }
    return GettextStrings::translate(N_("It has no global shortcuts. Bind keys to:"));
}

} // namespace

Compositor sessionCompositor() {
    if (nonEmptyVariable("SWAYSOCK") || currentDesktopIs("sway")) {
        return Compositor::sway;
    }
    if (nonEmptyVariable("HYPRLAND_INSTANCE_SIGNATURE") || currentDesktopIs("hyprland")) {
        return Compositor::hyprland;
    }
    return Compositor::other;
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
        case Compositor::other:
            lines.push_back(command);
            break;
        }
    }
    return lines;
}

KeyBindingAdvice::KeyBindingAdvice(std::shared_ptr<ProblemLog> problems)
    : problems_(std::move(problems)) {}

// Desktops whose portal binds keys, and refuse them only when the user says
// so, get no advice: there the desktop's own settings are the place.
void KeyBindingAdvice::keysOff(KeysOff why, const std::string& applicationId,
                               const std::vector<RegisteredShortcut>& shortcuts) {
    const Compositor compositor = sessionCompositor();
    if (!problems_ || shortcuts.empty() ||
        (why == KeysOff::noKeysBound && compositor != Compositor::hyprland)) {
        return;
    }
    std::string body = instructions(compositor);
    for (const auto& line : keyBindingLines(compositor, applicationId, shortcuts)) {
        body += "\n" + line;
    }
    if (compositor == Compositor::sway) {
        body += "\n" + GettextStrings::translate(N_("then reload Sway."));
    }
    problems_->tell({.topic = std::string("keys-told-") + compositorName(compositor),
                     .title = title(compositor),
                     .body = body,
                     .lasting = true});
}

} // namespace tunora
