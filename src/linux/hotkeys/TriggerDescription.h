#pragma once

#include "core/hotkeys/KeyLabel.h"
#include "platform/HotkeyEventServices.h"

#include <string>

namespace tunora {

// A desktop's description of the trigger it bound ("Ctrl+Alt+1" from KDE,
// "Press <Alt>1" from GNOME) as a binding. When the text names exactly one key
// with known modifiers, the binding holds that key and its modifiers, described
// as keyLabel does; otherwise only the text, made fit for a menu (valid UTF-8,
// no control characters, at most 64 characters).
HotKeyBinding bindingForTrigger(const std::string& description);

} // namespace tunora
