#pragma once

#include <chrono>
#include <map>
#include <string>
#include <vector>

namespace tunora {

// How many connections are opened ahead: a few hosts per opening of a menu,
// each host at most once a minute, so that a listener who browses the menu
// costs the servers nothing they would notice. A host whose warm connection a
// chosen stream went on to use may be warmed again at the next opening: that
// connection is no longer waiting idle. Time comes from the caller.
class WarmLimit {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t hostsPerOpening = 8;
    static constexpr std::chrono::minutes perHost{1};

    // Of `origins`, in their order and without repeats, those to open now.
    std::vector<std::string> take(const std::vector<std::string>& origins, Clock::time_point now);
    // A chosen stream was fetched from `origin`.
    void used(const std::string& origin);

  private:
    std::map<std::string, Clock::time_point> warmed_;
};

} // namespace tunora
