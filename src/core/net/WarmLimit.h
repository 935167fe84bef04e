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
// connection is no longer waiting idle. While a menu may still be open, what
// it warmed is kept usable (one connection per host at a time, never a
// request), until it closes. Time comes from the caller.
class WarmLimit {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t hostsPerOpening = 8;
    static constexpr std::chrono::minutes perHost{1};
    // How long after an opening its connections are kept usable at most: a
    // listener reads a menu for seconds, rarely for half a minute, and a panel
    // that never says the menu closed must not keep hosts busy for ever.
    static constexpr std::chrono::seconds holdFor{30};

    // Of `origins`, in their order and without repeats, those to open now.
    std::vector<std::string> take(const std::vector<std::string>& origins, Clock::time_point now);
    // A chosen stream was fetched from `origin`.
    void used(const std::string& origin);

    // A menu that offers `origins` opened: those warmed are to be kept usable
    // while it may still be open.
    void hold(const std::vector<std::string>& origins, Clock::time_point now);
    // The origins to keep warm at `now`; none once the last opening is long past.
    std::vector<std::string> held(Clock::time_point now);
    // The menu closed: nothing is kept usable for it any more.
    void release() { heldUntil_.clear(); }

  private:
    std::map<std::string, Clock::time_point> warmed_;
    std::map<std::string, Clock::time_point> heldUntil_;
};

} // namespace tunora
