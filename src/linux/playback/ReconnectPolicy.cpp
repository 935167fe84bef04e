#include "linux/playback/ReconnectPolicy.h"

#include <algorithm>

namespace tunora {

ReconnectPolicy::ReconnectPolicy(const PlaybackSettings& settings)
    : giveUp_(settings.reconnectGiveUp), firstDelay_(settings.firstReconnectDelay),
      longestDelay_(settings.longestReconnectDelay), steadyPlay_(settings.steadyPlay),
      nextDelay_(settings.firstReconnectDelay) {}

void ReconnectPolicy::chosen() {
    inTrouble_ = false;
    nextDelay_ = firstDelay_;
}

void ReconnectPolicy::revived(Clock::time_point now) {
    inTrouble_ = true;
    troubleSince_ = now;
    nextDelay_ = firstDelay_;
}

void ReconnectPolicy::flowing(Clock::time_point now) {
    flowingSince_ = now;
}

ReconnectPolicy::Decision ReconnectPolicy::dropped(Clock::time_point now, bool wasFlowing) {
    using Action = Decision::Action;
    if (wasFlowing) {
        if (!inTrouble_ || now - flowingSince_ >= steadyPlay_) {
            inTrouble_ = true;
            troubleSince_ = now;
            nextDelay_ = firstDelay_;
        }
    } else if (!inTrouble_) {
        return {Action::failNow, {}};
    }
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(now - troubleSince_);
    if (spent >= giveUp_) {
        inTrouble_ = false;
        return {Action::giveUp, {}};
    }
    const auto delay = std::clamp(nextDelay_, std::chrono::milliseconds(0), giveUp_ - spent);
    nextDelay_ = std::min(nextDelay_ * 2, longestDelay_);
    return {Action::retry, delay};
}

} // namespace tunora
