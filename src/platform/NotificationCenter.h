#pragma once

#include <functional>
#include <string>

namespace tunora {

class NotificationCenter {
  public:
    static constexpr unsigned alertOption = 4;
    virtual ~NotificationCenter() = default;
    // Asks for permission to show notifications; completion may run on any thread.
    virtual void requestAuthorization(unsigned options,
                                      std::function<void(bool granted)> completion) = 0;
    // Shows a notification where the desktop shows them. Only the transport:
    // everything goes through the ProblemLog, which says what is told and when.
    virtual void post(const std::string& title, const std::string& body) = 0;
};

} // namespace tunora
