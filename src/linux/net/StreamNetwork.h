#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/net/PacedStarts.h"
#include "linux/net/RedirectCache.h"
#include "linux/net/RedirectMemory.h"
#include "linux/net/WarmLimit.h"

#include <chrono>
#include <filesystem>
#include <libsoup/soup.h>
#include <optional>
#include <set>
#include <string>

namespace tunora {

// The session stream requests share; timeout bounds every step of a request,
// one that nobody waits for any more included.
GObjectPtr<SoupSession> makeStreamSession(std::chrono::seconds timeout);

// Everything the program's stream requests share, in one place: the one
// session on the main loop, the certificates the listener chose, where the
// dispatchers send stations (in memory and across runs), the turns requests
// wait for, and the connections opened ahead. Stream players ask for a
// stream through a StreamRequest and know nothing of what is in here.
class StreamNetwork {
  public:
    struct Options {
        std::chrono::seconds timeout{10};
        std::optional<std::string> caFile; // instead of the system's certificates
        std::optional<std::filesystem::path> redirectCache;
    };

    explicit StreamNetwork(Options options) : options_(std::move(options)) {}
    StreamNetwork(const StreamNetwork&) = delete;
    StreamNetwork& operator=(const StreamNetwork&) = delete;

    // Makes the session: no connection, no TLS yet.
    void open();
    // Null until open().
    SoupSession* session() const { return session_.get(); }
    // What is needed only once the listener is about to use the network (the
    // menu opens, a station is chosen), loaded then and once: the CA file,
    // and where stations were served from last time.
    void prepare();
    // Why https is refused (the chosen CA file cannot be read); empty: it is not.
    const std::string& httpsRefused() const { return tlsProblem_; }

    // Where to ask for `station` first: a remembered target, unless https is refused there.
    std::optional<std::string> rememberedTarget(const std::string& station) const;
    void rememberRedirect(const std::string& station, const std::string& target);
    void forgetRedirect(const std::string& station);
    const RedirectMemory& redirects() const { return redirects_; }

    WarmLimit& warmLimit() { return warmLimit_; }
    // Origins a connection is being opened ahead to, one at a time each.
    std::set<std::string>& preconnecting() { return preconnecting_; }
    // Every stream request waits its turn here: one per intent, not per command.
    PacedStarts& starts() { return starts_; }

  private:
    void saveRedirects(RedirectMemory::Clock::time_point now) const;

    Options options_;
    GObjectPtr<SoupSession> session_;
    bool prepared_ = false;
    std::string tlsProblem_;
    RedirectMemory redirects_;
    std::optional<RedirectCache> redirectCache_;
    WarmLimit warmLimit_;
    std::set<std::string> preconnecting_;
    PacedStarts starts_;
};

} // namespace tunora
