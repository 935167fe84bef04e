#include "linux/playback/ReconnectPolicy.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;
using Action = ReconnectPolicy::Decision::Action;

class ReconnectPolicyTest : public ::testing::Test {
  protected:
    static PlaybackSettings rules() {
        PlaybackSettings settings;
        settings.reconnectGiveUp = 60s;
        settings.firstReconnectDelay = 1s;
        settings.longestReconnectDelay = 4s;
        settings.steadyPlay = 30s;
        return settings;
    }
    // Plays for `played`, drops, and waits out the delay the policy asks for.
    ReconnectPolicy::Decision playThenDrop(std::chrono::milliseconds played) {
        policy.flowing(now);
        now += played;
        const auto decision = policy.dropped(now, true);
        now += decision.delay;
        return decision;
    }

    ReconnectPolicy policy{rules()};
    ReconnectPolicy::Clock::time_point now{};
};

TEST_F(ReconnectPolicyTest, AStreamThatNeverPlayedFailsAtOnceAndOneThatDroppedIsRetriedLonger) {
    policy.chosen();
    EXPECT_EQ(policy.dropped(now, false).action, Action::failNow);

    policy.chosen();
    std::vector<long> delays;
    ReconnectPolicy::Decision decision = playThenDrop(10s);
    while (decision.action == Action::retry && delays.size() < 100) {
        delays.push_back(decision.delay.count());
        decision = policy.dropped(now, false); // each try fails before any audio
        now += decision.delay;
    }
    EXPECT_EQ(decision.action, Action::giveUp);
    ASSERT_GE(delays.size(), 4u);
    EXPECT_EQ(std::vector<long>(delays.begin(), delays.begin() + 4),
              (std::vector<long>{1000, 2000, 4000, 4000}));
    EXPECT_LE(delays.back(), 4000) << "the last wait ends with the window";
}

TEST_F(ReconnectPolicyTest, OnlyASteadyPlayOpensANewWindow) {
    policy.chosen();
    // Dies 5 s after every start: still the same run of trouble.
    ReconnectPolicy::Decision decision = playThenDrop(10s);
    int drops = 1;
    while (decision.action == Action::retry && drops < 100) {
        decision = playThenDrop(5s);
        ++drops;
    }
    EXPECT_EQ(decision.action, Action::giveUp);
    EXPECT_LT(drops, 15) << "given up within the 60 s window";

    // 30 s of steady play since the last drop: the next drop gets a whole window again.
    policy.chosen();
    playThenDrop(10s);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(playThenDrop(30s).action, Action::retry) << "drop " << i;
    }
}

TEST_F(ReconnectPolicyTest, AReviveGivesAFailedStreamTheWholeWindow) {
    policy.chosen();
    policy.revived(now);
    now += 59s;
    const auto decision = policy.dropped(now, false);
    EXPECT_EQ(decision.action, Action::retry);
    EXPECT_EQ(decision.delay, 1s);
    now += 1s;
    EXPECT_EQ(policy.dropped(now, false).action, Action::giveUp);
}

} // namespace
} // namespace tunora
