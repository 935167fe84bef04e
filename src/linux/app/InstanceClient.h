#pragma once

#include <string>

namespace tunora {

// One command for the running program, as the command line gives it.
struct ForwardedCommand {
    enum class Kind { station, slot, toggle, play, pause, next, previous, status, quit };
    Kind kind = Kind::status;
    std::string station; // the station id, for Kind::station
    int slot = 0;        // 1 to 5, for Kind::slot
};

// Exit statuses of a forwarded command.
inline constexpr int commandDone = 0;
inline constexpr int commandFailed = 1;
inline constexpr int noInstanceRuns = 3;

// Hands command to the Tunora of this session over the session bus; when none
// answers, starts one (except to ask its status or to end it) and then hands it
// over. Prints the status line, or one line on stderr when the command cannot
// be done. Quit returns once the program has ended.
int forwardCommand(const ForwardedCommand& command);

} // namespace tunora
