#include "core/net/RequestPacer.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;

TEST(RequestPacerTest, AClickGoesAtOnceABurstGetsEverFewerRequests) {
    RequestPacer pacer;
    auto now = RequestPacer::Clock::time_point{} + 1h;
    EXPECT_EQ(pacer.nextStart(now), now);
    // Someone who asks all the time for 10 s gets a few requests a second.
    int started = 0;
    for (const auto end = now + 10s; now < end; now += 1ms) {
        if (pacer.nextStart(now) <= now) {
            pacer.started(now);
            ++started;
        }
    }
    EXPECT_GE(started, 10);
    EXPECT_LE(started, 10 * 1000 / RequestPacer::longestGap.count() + 4);
    // The last wish never waits longer than the longest gap.
    EXPECT_LE(pacer.nextStart(now) - now, RequestPacer::longestGap);
    // After a quiet moment, a click goes at once again.
    now += RequestPacer::quiet;
    EXPECT_EQ(pacer.nextStart(now), now);
    pacer.started(now);
    EXPECT_EQ(pacer.nextStart(now + 1ms), now + RequestPacer::firstGap);
}

} // namespace
} // namespace tunora
