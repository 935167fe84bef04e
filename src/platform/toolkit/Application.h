#pragma once

#include "platform/toolkit/Menu.h"

namespace tunora {

class ApplicationDelegate {
  public:
    virtual ~ApplicationDelegate() = default;
    // Called once, on the main thread, when the event loop has started.
    virtual void applicationDidFinishLaunching() = 0;
};

// The application object and its event loop. It takes the "terminate:" action
// of items that have no target.
class Application : public ActionTarget {
  public:
    virtual void setDelegate(ApplicationDelegate* delegate) = 0;
    // Runs the main event loop; returns when it ends.
    virtual void run() = 0;
    virtual void terminate() = 0;

    void performAction(const std::string& action, const MenuItem&) override {
        if (action == "terminate:") {
            terminate();
        }
    }
};

} // namespace tunora
