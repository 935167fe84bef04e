#pragma once

#include "platform/UpdateController.h"

namespace tunora {

// Stands in until an update feed is configured: "Check for Updates…" says so
// in a small dialog.
class UnconfiguredUpdateController : public UpdateController {
  public:
    void performAction(const std::string& action, const MenuItem& sender) override;
};

} // namespace tunora
