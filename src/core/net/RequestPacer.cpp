#include "core/net/RequestPacer.h"

#include <algorithm>

namespace tunora {

std::chrono::milliseconds RequestPacer::gap(Clock::time_point now) const {
    if (!anyStarted_ || now - lastStart_ >= quiet) {
        return std::chrono::milliseconds(0);
    }
    // 100, 200, 400, 500, 500 ms …: a burst of any length stays at a few
    // requests a second, and a short one costs only its first and its last.
    const int doublings = std::min(inBurst_ - 1, 8);
    return std::min(firstGap * (1 << std::max(doublings, 0)), longestGap);
}

RequestPacer::Clock::time_point RequestPacer::nextStart(Clock::time_point now) const {
    const auto wait = gap(now);
    return wait.count() == 0 ? now : lastStart_ + wait;
}

void RequestPacer::started(Clock::time_point now) {
    inBurst_ = (!anyStarted_ || now - lastStart_ >= quiet) ? 1 : inBurst_ + 1;
    anyStarted_ = true;
    lastStart_ = now;
}

} // namespace tunora
