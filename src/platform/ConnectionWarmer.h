#pragma once

#include <string>
#include <vector>

namespace tunora {

// Opens connections ahead (name look-up, TCP, TLS) to where streams the
// listener is about to choose from would be fetched, so that a choice only
// has to send its request. Never asks for a stream; what it does is bounded
// and may be nothing at all (a metered network, no network).
class ConnectionWarmer {
  public:
    virtual ~ConnectionWarmer() = default;
    // The stream URLs a menu that is opening offers, most likely first.
    virtual void warm(const std::vector<std::string>& streamUrls) = 0;
    // The menu closed: what its openings warmed need not be kept usable any more.
    virtual void menuDidClose() = 0;
};

} // namespace tunora
