#pragma once

#include "linux/system/UniqueFd.h"

#include <filesystem>

namespace tunora {

// Held by the one running Tunora of a user session: an flock on a file in the
// runtime folder, released by the kernel however the program ends. Works
// without a session bus.
class SingleInstanceLock {
  public:
    explicit SingleInstanceLock(const std::filesystem::path& folder);
    // False when another Tunora holds the lock.
    bool acquired() const { return acquired_; }

  private:
    UniqueFd fd_;
    bool acquired_ = false;
};

} // namespace tunora
