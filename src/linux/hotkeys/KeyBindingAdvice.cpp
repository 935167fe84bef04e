#include "linux/hotkeys/KeyBindingAdvice.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"

#include <glib.h>
#include <system_error>

namespace tunora {

Compositor sessionCompositor() {
    return compositorOf(
        {.swaySocket = nonEmptyVariable("SWAYSOCK").has_value(),
         .hyprlandSignature = nonEmptyVariable("HYPRLAND_INSTANCE_SIGNATURE").has_value(),
         .currentDesktops = nonEmptyVariable("XDG_CURRENT_DESKTOP").value_or("")});
}

KeyBindingAdvice::KeyBindingAdvice(std::shared_ptr<NotificationCenter> notifications,
                                   std::filesystem::path stateFolder)
    : notifications_(std::move(notifications)), stateFolder_(std::move(stateFolder)) {}

std::filesystem::path KeyBindingAdvice::defaultStateFolder() {
    return std::filesystem::path(g_get_user_state_dir()) / "tunora";
}

// Desktops whose portal binds keys, and refuse them only when the user says
// so, get no advice: there the desktop's own settings are the place.
void KeyBindingAdvice::keysOff(KeysOff why, const std::string& applicationId,
                               const std::vector<RegisteredShortcut>& shortcuts) {
    const Compositor compositor = sessionCompositor();
    if (toldThisRun_ || shortcuts.empty() ||
        (why == KeysOff::noKeysBound && compositor != Compositor::hyprland)) {
        return;
    }
    toldThisRun_ = true;
    const auto marker = stateFolder_ / (std::string("keys-told-") + compositorName(compositor));
    std::error_code error;
    if (std::filesystem::exists(marker, error)) {
        return;
    }
    const KeyAdviceTexts texts = keyAdviceTexts(compositor);
    std::string body = GettextStrings::translate(texts.instruction);
    for (const auto& line : keyBindingLines(compositor, applicationId, shortcuts)) {
        body += "\n" + line;
    }
    notifications_->post(GettextStrings::translate(texts.title), body);
    std::filesystem::create_directories(stateFolder_, error);
    if (!g_file_set_contents(marker.c_str(), body.c_str(), gssize(body.size()), nullptr)) {
        g_message("cannot remember that the key advice was given (%s)", marker.c_str());
    }
}

} // namespace tunora
