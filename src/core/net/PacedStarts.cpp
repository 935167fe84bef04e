#include "core/net/PacedStarts.h"

#include <algorithm>

namespace tunora {

void PacedStarts::queue(const void* who, Start start) {
    cancel(who);
    waiting_.emplace_back(who, std::move(start));
}

void PacedStarts::cancel(const void* who) {
    std::erase_if(waiting_, [who](const auto& waiter) { return waiter.first == who; });
}

std::optional<PacedStarts::Clock::time_point> PacedStarts::due(Clock::time_point now) const {
    if (waiting_.empty()) {
        return std::nullopt;
    }
    return pacer_.nextStart(now);
}

PacedStarts::Start PacedStarts::take(Clock::time_point now) {
    if (waiting_.empty()) {
        return {};
    }
    Start start = std::move(waiting_.back().second);
    waiting_.pop_back();
    pacer_.started(now);
    return start;
}

} // namespace tunora
