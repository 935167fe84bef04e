#pragma once

#include "linux/playback/PlaybackSettings.h"

#include <chrono>

namespace tunora {

// When a stream that dropped is tried again, and when it is given up on.
//
// A stream that never delivered audio fails at once. One that drops after
// audio flowed opens a give-up window and is retried with waits that double,
// until the window closes. Only a stream that played steadily since its last
// drop opens a new window: one that breaks again soon after each start is
// still failing. Time comes from the caller, so the rules can be followed
// without waiting.
class ReconnectPolicy {
  public:
    using Clock = std::chrono::steady_clock;

    struct Decision {
        enum class Action { failNow, giveUp, retry };
        Action action = Action::failNow;
        std::chrono::milliseconds delay{}; // for retry
    };

    explicit ReconnectPolicy(const PlaybackSettings& settings);

    // The listener chose the stream: no trouble so far.
    void chosen();
    // Something that may have cured the trouble happened (the network came
    // back, the machine woke up): the stream gets the whole window again.
    void revived(Clock::time_point now);
    void flowing(Clock::time_point now);
    Decision dropped(Clock::time_point now, bool wasFlowing);

  private:
    std::chrono::milliseconds giveUp_;
    std::chrono::milliseconds firstDelay_;
    std::chrono::milliseconds longestDelay_;
    std::chrono::milliseconds steadyPlay_;
    std::chrono::milliseconds nextDelay_;
    bool inTrouble_ = false;
    Clock::time_point troubleSince_{};
    Clock::time_point flowingSince_{};
};

} // namespace tunora
