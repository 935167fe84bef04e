#pragma once

#include "linux/net/RedirectMemory.h"

#include <filesystem>

namespace tunora {

// Where the dispatchers sent the stations, kept in a file of the user's cache
// ($XDG_CACHE_HOME/tunora/redirects.json) with the time each was learnt, so a
// fresh start goes (and opens connections) straight to the edge that served a
// station last time. The file is a hint only: whatever in it is not a well-made
// entry of this program (a corrupt file, someone else's, an https station sent
// to plain http, an entry from the future or older than a day) is ignored, and
// an entry is only ever a host to try first, which falls back to the station's
// own address at the first failure. A file that is not one of ours is set
// aside (files::setAside) before a new one is written.
class RedirectCache {
  public:
    explicit RedirectCache(std::filesystem::path file) : file_(std::move(file)) {}

    void load(RedirectMemory& memory, RedirectMemory::Clock::time_point now) const;
    // Writes what `memory` holds at `now`; a failure only costs the next start a round trip.
    void save(const RedirectMemory& memory, RedirectMemory::Clock::time_point now) const;

  private:
    std::filesystem::path file_;
};

} // namespace tunora
