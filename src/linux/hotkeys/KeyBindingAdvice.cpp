#include "linux/hotkeys/KeyBindingAdvice.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"

namespace tunora {

Compositor sessionCompositor() {
    return compositorOf(
        {.swaySocket = nonEmptyVariable("SWAYSOCK").has_value(),
         .hyprlandSignature = nonEmptyVariable("HYPRLAND_INSTANCE_SIGNATURE").has_value(),
         .currentDesktops = nonEmptyVariable("XDG_CURRENT_DESKTOP").value_or("")});
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
    const KeyAdviceTexts texts = keyAdviceTexts(compositor);
    std::string body = GettextStrings::translate(texts.instruction);
    for (const auto& line : keyBindingLines(compositor, applicationId, shortcuts)) {
        body += "\n" + line;
    }
    problems_->tell({.topic = std::string("keys-told-") + compositorName(compositor),
                     .title = GettextStrings::translate(texts.title),
                     .body = body,
                     .lasting = true});
}

} // namespace tunora
