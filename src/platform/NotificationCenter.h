#pragma once

#include <functional>

namespace tunora {

class NotificationCenter {
  public:
    static constexpr unsigned alertOption = 4;
    virtual ~NotificationCenter() = default;
    // Asks for permission to show notifications; completion may run on any thread.
    virtual void requestAuthorization(unsigned options,
                                      std::function<void(bool granted)> completion) = 0;
};

} // namespace tunora
