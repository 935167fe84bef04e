#include "core/menu/DefaultSlots.h"

namespace tunora {

std::vector<std::string> defaultSlotChannelIds(const std::vector<OndoChannel>& channels) {
    std::vector<std::string> ids;
    for (const char* id : {"ondo", "ondo_kultur", "ondo_nova"}) {
        const std::optional<std::size_t> index = findChannelIndex(channels, id);
        ids.emplace_back(index && channels[*index].hasStreamAddress() ? id : "");
    }
    return ids;
}

} // namespace tunora
