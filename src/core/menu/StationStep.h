#pragma once

#include "core/catalogue/OndoChannel.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunora {

// Where Next (step +1) and Previous (step -1) go from the current station, as on
// a car radio with the listener's presets: through the stations bound to the
// slots, in slot order, skipping empty slots and wrapping around. From a station
// bound to no slot, Next goes to the first bound station and Previous to the
// last. With no slot bound, the steps go through every station in menu order.
//
// slotIds holds the binding of each slot (ids that name no station count as
// empty). The result is the target's index in channels.
std::optional<std::size_t>
steppedChannelIndex(const std::vector<OndoChannel>& channels,
                    const std::vector<std::optional<std::string>>& slotIds,
                    std::string_view currentId, int step);

} // namespace tunora
