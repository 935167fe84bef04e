#pragma once

#include "core/catalogue/OndoChannel.h"

#include <string>
#include <vector>

namespace tunora {

// What a first start binds to the shortcut slots, in slot order: the three
// national stations, each only where it has a stream address. A key that could
// only say "cannot be played" would be a fault shown as a feature, so such a
// slot stays free ("") for the listener to bind in Keyboard Shortcuts; once the
// station has an address, the next start with every slot empty binds it.
std::vector<std::string> defaultSlotChannelIds(const std::vector<OndoChannel>& channels);

} // namespace tunora
