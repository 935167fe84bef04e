#pragma once

#include "platform/RemoteCommandCenter.h"

#include <memory>
#include <vector>

namespace tunora {

// Media commands come from more than one place (the desktop over MPRIS, later
// starts of the program): every handler installed here is installed in each.
class RemoteCommandFanOut : public RemoteCommandCenter {
  public:
    explicit RemoteCommandFanOut(std::vector<std::shared_ptr<RemoteCommandCenter>> centers)
        : centers_(std::move(centers)) {}

    void addHandler(RemoteCommand command, Handler handler) override {
        for (const auto& center : centers_) {
            center->addHandler(command, handler);
        }
    }
    void setVolumeHandler(std::function<void(double)> handler) override {
        for (const auto& center : centers_) {
            center->setVolumeHandler(handler);
        }
    }

  private:
    std::vector<std::shared_ptr<RemoteCommandCenter>> centers_;
};

} // namespace tunora
