#pragma once

#include "platform/NotificationCenter.h"

namespace tunora {

// Asks the desktop's notification server (org.freedesktop.Notifications) for
// its capabilities, which is all there is to "permission" on Linux. Fully
// asynchronous; without a session bus or a server the completion says no.
class FreedesktopNotifications : public NotificationCenter {
  public:
    void requestAuthorization(unsigned options, std::function<void(bool)> completion) override;
};

} // namespace tunora
