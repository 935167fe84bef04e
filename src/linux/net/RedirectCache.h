#pragma once

#include "core/net/RedirectRules.h"

#include <chrono>
#include <string>
#include <string_view>

namespace tunora {

// Where the dispatchers sent the stations, as kept in a file of the user's
// cache ($XDG_CACHE_HOME/tunora/redirects.json) with the wall-clock time each
// was learnt, so that a fresh start goes (and opens connections) straight to
// the edge that served a station last time. The file is a hint only: whatever
// in it is not a well-made entry of this program (someone else's file, an
// https station sent to plain http, an entry from the future or older than a
// day) is ignored, and an entry is only ever a host to try first, which falls
// back to the station's own address at the first failure.
struct RedirectCacheTime {
    RedirectMemory::Clock::time_point steady;
    std::chrono::system_clock::time_point wall;
};

// Adds the entries of `contents` worth trying to `memory`; false when the
// contents are not a redirect cache of this program at all.
bool readRedirectCache(std::string_view contents, RedirectMemory& memory, RedirectCacheTime now);
// What `memory` holds at `now`, as the file keeps it.
std::string writeRedirectCache(const RedirectMemory& memory, RedirectCacheTime now);

} // namespace tunora
