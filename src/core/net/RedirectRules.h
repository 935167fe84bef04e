#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunora {

// The program's rules for redirects, in one place: which are followed, and
// which are remembered for how long. HttpExchange follows them.

// Whether a redirect is followed: https stays https, and only a few in a row.
enum class RedirectVerdict { follow, insecure, tooMany, invalid };
constexpr int mostRedirects = 5;
// `target`: the Location header resolved against `from`; empty when there was
// none. `followed`: the redirects already followed on the way to `from`.
RedirectVerdict redirectVerdict(std::string_view from, std::string_view target, int followed);

// Where the dispatchers sent each station lately, so that the next start, a
// reconnect or a resume goes straight to the host that served it, and the
// hosts worth opening connections to ahead are known.
//
// A redirect is temporary and dispatchers spread listeners over their edges:
// a target is kept for a day at most, also across runs (RedirectCache), and
// forgotten as soon as anything fails there; the station's own address is
// then asked again, so an edge that moved costs one round trip. An https
// station is never sent to a plain http target. Time comes from the caller,
// so the rules can be followed without waiting.
class RedirectMemory {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::hours keep{24};
    static constexpr std::size_t edgesPerDispatcher = 4;

    // The stream of `station` was served from `target`, reached by redirects.
    void remember(const std::string& station, const std::string& target, Clock::time_point now);
    // Where to start `station` now; none: at its own address.
    std::optional<std::string> target(const std::string& station, Clock::time_point now) const;
    // A start at the remembered target failed: the station's own address is used again.
    void forget(const std::string& station);
    // The origins that `station` would be fetched from, most likely first: the
    // remembered target's, or the station's own and the edges its dispatcher
    // sent any station to lately.
    std::vector<std::string> originsToWarm(const std::string& station, Clock::time_point now) const;

    struct Entry {
        std::string station;
        std::string target;
        Clock::time_point at; // when the dispatcher sent it there
    };
    // The targets still worth trying at `now`, to keep them across runs.
    std::vector<Entry> entries(Clock::time_point now) const;

  private:
    struct Target {
        std::string url;
        Clock::time_point at;
    };
    bool fresh(Clock::time_point at, Clock::time_point now) const { return now - at < keep; }

    std::map<std::string, Target> targets_;
    // dispatcher origin -> edge origin -> when it was last sent there
    std::map<std::string, std::map<std::string, Clock::time_point>> edges_;
};

} // namespace tunora
