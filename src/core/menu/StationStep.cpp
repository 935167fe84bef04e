#include "core/menu/StationStep.h"

#include <algorithm>

namespace tunora {
namespace {

// The stations in the order the menu lists them: the national ones, then each
// regional network's.
std::vector<std::string> menuOrder() {
    std::vector<std::string> ids;
    for (const OndoChannel& channel : OndoChannel::nationalChannels()) {
        ids.push_back(channel.id());
    }
    for (Network network : OndoChannel::regionalNetworks()) {
        for (const OndoChannel& channel : OndoChannel::channels(network)) {
            ids.push_back(channel.id());
        }
    }
    return ids;
}

// The bound stations in slot order, each once (a station bound to two slots is
// one preset, found at its lower slot).
std::vector<std::string> presets(const std::vector<OndoChannel>& channels,
                                 const std::vector<std::optional<std::string>>& slotIds) {
    std::vector<std::string> ids;
    for (const std::optional<std::string>& id : slotIds) {
        if (id && findChannelIndex(channels, *id) &&
            std::find(ids.begin(), ids.end(), *id) == ids.end()) {
            ids.push_back(*id);
        }
    }
    return ids;
}

} // namespace

std::optional<std::size_t>
steppedChannelIndex(const std::vector<OndoChannel>& channels,
                    const std::vector<std::optional<std::string>>& slotIds,
                    std::string_view currentId, int step) {
    std::vector<std::string> ring = presets(channels, slotIds);
    if (ring.empty()) {
        ring = menuOrder();
    }
    if (ring.empty() || step == 0) {
        return std::nullopt;
    }
    const auto size = static_cast<long>(ring.size());
    const auto found = std::find(ring.begin(), ring.end(), currentId);
    long target = 0;
    if (found == ring.end()) {
        target = step > 0 ? 0 : size - 1;
    } else {
        target = ((found - ring.begin() + step) % size + size) % size;
    }
    return findChannelIndex(channels, ring[static_cast<std::size_t>(target)]);
}

} // namespace tunora
