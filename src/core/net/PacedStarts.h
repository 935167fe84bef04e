#pragma once

#include "core/net/RequestPacer.h"

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tunora {

// The stream requests that wait for their turn. Each waiter is a listener's
// wish to hear a stream; only the newest goes out when the pacer allows, so
// a burst of commands ends in one request for what was wanted last. Time
// comes from the caller, who runs a start when it is due.
class PacedStarts {
  public:
    using Clock = RequestPacer::Clock;
    using Start = std::function<void()>;

    // `who` wants to start: replaces its earlier wish and goes last in line.
    void queue(const void* who, Start start);
    // `who` no longer wants to start (paused, gone).
    void cancel(const void* who);
    // A request that went out without waiting (a fallback of the same choice)
    // still counts against the pace.
    void startedWithoutWaiting(Clock::time_point now) { pacer_.started(now); }

    // When the next start is due; none while nobody waits.
    std::optional<Clock::time_point> due(Clock::time_point now) const;
    // The newest wish, taken out of the line and counted as started at `now`;
    // empty while nobody waits. Older wishes wait for the next turn.
    Start take(Clock::time_point now);

  private:
    RequestPacer pacer_;
    std::vector<std::pair<const void*, Start>> waiting_; // oldest first
};

} // namespace tunora
