#pragma once

#include <string>

namespace tunora {

// Whether the program starts when the user logs in.
class LoginItemService {
  public:
    static constexpr int statusNotRegistered = 0;
    static constexpr int statusEnabled = 1;

    virtual ~LoginItemService() = default;
    // statusEnabled, or any other value for not enabled.
    virtual int status() = 0;
    // Each reports success.
    virtual bool registerApplication() = 0;
    virtual bool unregisterApplication() = 0;
    // Why the last change failed; empty after a success.
    virtual std::string lastProblem() const { return {}; }
};

} // namespace tunora
