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
    // Tells the user something that needs their attention: a notification where
    // the desktop shows them, and always the same line in the program's log.
    virtual void post(const std::string& title, const std::string& body) = 0;
};

} // namespace tunora
