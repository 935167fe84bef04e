#pragma once

#include "platform/HotkeyEventServices.h"

#include <string>

namespace tunora {

// A desktop's description of the trigger it bound ("Ctrl+Alt+1" from KDE,
// "Press <Alt>1" from GNOME) as a binding: the text made fit for a menu (valid
// UTF-8, no control characters, at most 64 characters), and the key with its
// modifiers when the text names exactly one key with known modifiers.
HotKeyBinding bindingForTrigger(const std::string& description);

} // namespace tunora
