#include "core/net/PacedStarts.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;
using Clock = PacedStarts::Clock;

// Two listeners' wishes to start a stream, and when each went out.
struct Wishes {
    PacedStarts starts;
    std::vector<std::string> started;
    const int first = 1;
    const int second = 2;

    void wish(const int& who, const std::string& what) {
        starts.queue(&who, [this, what] { started.push_back(what); });
    }
    // Runs whatever is due at `now`, as the loop's timer would.
    void runDue(Clock::time_point now) {
        const auto due = starts.due(now);
        if (due && *due <= now) {
            starts.take(now)();
        }
    }
};

TEST(PacedStartsTest, OnlyTheNewestWishGoesOutAtEachTurn) {
    Wishes wishes;
    const auto t0 = Clock::time_point{} + 1h;
    EXPECT_EQ(wishes.starts.due(t0), std::nullopt);
    EXPECT_FALSE(wishes.starts.take(t0));

    wishes.wish(wishes.first, "a");
    EXPECT_EQ(wishes.starts.due(t0), t0) << "a first click goes at once";
    wishes.runDue(t0);

    // A burst: each wish replaces the last; the turn after the gap takes the newest.
    wishes.wish(wishes.first, "b");
    wishes.wish(wishes.first, "c");
    EXPECT_EQ(wishes.starts.due(t0 + 10ms), t0 + RequestPacer::firstGap);
    wishes.runDue(t0 + 10ms);
    wishes.runDue(t0 + RequestPacer::firstGap);
    EXPECT_EQ(wishes.started, (std::vector<std::string>{"a", "c"}));

    // Two listeners: the newer goes first, the older at the next turn, unless it gave up.
    wishes.wish(wishes.first, "d");
    wishes.wish(wishes.second, "e");
    const auto turn = *wishes.starts.due(t0 + 150ms);
    wishes.runDue(turn);
    EXPECT_EQ(wishes.started.back(), "e");
    wishes.starts.cancel(&wishes.first);
    EXPECT_EQ(wishes.starts.due(turn), std::nullopt);

    // A fallback that went out on its own still counts against the pace.
    const auto quiet = turn + RequestPacer::quiet;
    wishes.starts.startedWithoutWaiting(quiet);
    wishes.wish(wishes.second, "f");
    EXPECT_EQ(wishes.starts.due(quiet), quiet + RequestPacer::firstGap);
}

} // namespace
} // namespace tunora
