#pragma once

#include <chrono>

namespace tunora {

// When the next stream request may go out. A listener who clicks once is
// never kept waiting; one who sends a burst of commands (a held media key, a
// script, a panel that repeats events) gets ever fewer requests the longer it
// lasts, and the last command still goes out within half a second. Time comes
// from the caller.
class RequestPacer {
  public:
    using Clock = std::chrono::steady_clock;
    // After this long without a request, the next one goes out at once.
    static constexpr std::chrono::milliseconds quiet{1000};
    static constexpr std::chrono::milliseconds firstGap{100};
    static constexpr std::chrono::milliseconds longestGap{500};

    // The earliest moment a request may start; `now` or earlier: at once.
    Clock::time_point nextStart(Clock::time_point now) const;
    // A request started at `now`.
    void started(Clock::time_point now);

  private:
    std::chrono::milliseconds gap(Clock::time_point now) const;

    Clock::time_point lastStart_{};
    bool anyStarted_ = false;
    int inBurst_ = 0; // requests started since the last quiet moment
};

} // namespace tunora
