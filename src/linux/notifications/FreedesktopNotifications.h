#pragma once

#include "platform/NotificationCenter.h"

namespace tunora {

// The desktop's notification server (org.freedesktop.Notifications), reached
// asynchronously on the session bus. Asking for "permission" reads its
// capabilities, which is all there is to it on Linux. Only the transport:
// what is told, and when, is ProblemNotices' to decide.
class FreedesktopNotifications : public NotificationCenter {
  public:
    void requestAuthorization(unsigned options, std::function<void(bool)> completion) override;
    void post(const std::string& title, const std::string& body) override;

    // For a process that is about to end, before any main loop runs: waits for
    // the server (at most 2 s).
    static void postBeforeExit(const std::string& title, const std::string& body);
};

} // namespace tunora
