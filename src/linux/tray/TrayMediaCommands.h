#pragma once

#include "platform/RemoteCommandCenter.h"

#include <map>
#include <vector>

namespace tunora {

// The media commands the tray item gives: a middle click on it plays or
// pauses, by the same handlers the desktop's media keys reach.
class TrayMediaCommands : public RemoteCommandCenter {
  public:
    void addHandler(RemoteCommand command, Handler handler) override {
        handlers_[command].push_back(std::move(handler));
    }

    void send(RemoteCommand command) {
        for (const Handler& handler : handlers_[command]) {
            handler();
        }
    }

  private:
    std::map<RemoteCommand, std::vector<Handler>> handlers_;
};

} // namespace tunora
