#pragma once

#include "platform/RemoteCommandCenter.h"

#include <functional>
#include <string>

namespace tunora {

// What the running program reports of itself to a later start.
struct PlayerStatus {
    enum class State { stopped, paused, playing };
    State state = State::stopped;
    std::string channelId;
    std::string channelName;
    std::string songTitle;
};

// Commands that a later start of the program in the same session hands to the
// running one ("tunora --station ndr2"). The media commands among them reach the
// handlers of RemoteCommandCenter, as the desktop's do; these are the others.
class InstanceCommandCenter {
  public:
    struct Handlers {
        // As choosing the station in the menu; commandFailed for an unknown id.
        std::function<RemoteCommandHandlerStatus(const std::string& channelId)> selectChannel;
        // As pressing the slot's hot key (slot 0 to 4); commandFailed for an empty slot.
        std::function<RemoteCommandHandlerStatus(int slot)> pressSlot;
        std::function<PlayerStatus()> status;
    };

    virtual ~InstanceCommandCenter() = default;
    // From here on later starts reach this program and these handlers, on the main thread.
    virtual void open(Handlers handlers) = 0;
};

} // namespace tunora
