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
    StreamOriginOverrides overrides;
    std::vector<std::string> problems;
};

// TUNORA_STREAM_ORIGIN (every host on one origin) wins; otherwise the optional
// host-to-origin file. Each source is applied whole or not at all.
StreamOriginConfig loadStreamOriginConfig(const std::optional<std::string>& environmentOrigin,
                                          const std::filesystem::path& hostsFile);

} // namespace tunora
