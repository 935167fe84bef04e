#pragma once

#include "core/catalogue/OndoChannel.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// Where the user asked streams to come from instead of the built-in hosts, and
// one line per setting that was ignored because it was invalid.
struct StreamOriginConfig {
    StreamAddressOverrides overrides;
    std::vector<std::string> problems;
    // The listener's file, and whether it was there but ignored for an error.
    std::filesystem::path hostsFile;
    bool hostsFileIgnored = false;
};

// Whole stream addresses longer than this are refused: no station needs one.
inline constexpr std::size_t maximumStationUrlLength = 2048;

// TUNORA_STREAM_ORIGIN (every host on one origin) wins; otherwise the optional
// file, which maps built-in hosts to origins ("st01.ondoria.invalid":
// "https://radio.example.org") and station ids to whole stream addresses
// ("ondo": "http://radio.example.org:8000/live"). Each source is applied whole
// or not at all.
StreamOriginConfig loadStreamOriginConfig(const std::optional<std::string>& environmentOrigin,
                                          const std::filesystem::path& hostsFile);

} // namespace tunora
