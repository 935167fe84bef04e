#include "core/catalogue/Network.h"

namespace tunora {
namespace {

constexpr std::array<std::string_view, 8> rawValues = {"Ondoria", "NDR", "WDR", "BR",
                                                       "HR",      "SWR", "MDR", "rbb"};

} // namespace

std::optional<Network> Network::fromRawValue(std::string_view rawValue) {
    for (Network network : allCases()) {
        if (network.rawValue() == rawValue) {
            return network;
        }
    }
    return std::nullopt;
}

const std::array<Network, 8>& Network::allCases() {
    static constexpr std::array<Network, 8> cases = {ondo, ndr, wdr, br, hr, swr, mdr, rbb};
    return cases;
}

std::string_view Network::rawValue() const {
    return rawValues[value_];
}

} // namespace tunora
