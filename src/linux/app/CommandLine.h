#pragma once

#include "linux/app/InstanceClient.h"

#include <optional>

namespace tunora {

// What the command line asks for: a list, the version, a command for the
// running program, or (none of these) the tray itself.
struct CommandLine {
    bool listStations = false;
    bool version = false;
    // Started by a command that found no Tunora: quiet when one runs after all.
    bool service = false;
    std::optional<ForwardedCommand> command;
};

// Parses the options; none (after saying why on stderr) when they make no sense.
std::optional<CommandLine> parseCommandLine(int& argc, char**& argv);

} // namespace tunora
