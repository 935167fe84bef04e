#pragma once

#include "support/ChildProcess.h"

#include <memory>
#include <string>

namespace tunora::testing {

// A private X server for one test, on a display number it picks itself.
class XvfbServer {
  public:
    XvfbServer();
    const std::string& display() const { return display_; }

  private:
    std::unique_ptr<ChildProcess> process_;
    std::string display_;
};

} // namespace tunora::testing
