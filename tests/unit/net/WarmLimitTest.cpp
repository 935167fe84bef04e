#include "core/net/WarmLimit.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

TEST(WarmLimitTest, WarmsEightHostsAnOpeningAndEachOnceAMinute) {
    WarmLimit limit;
    const auto t0 = WarmLimit::Clock::time_point{};
    Strings many;
    for (int i = 0; i < 10; ++i) {
        many.push_back("https://h" + std::to_string(i));
    }
    many.insert(many.begin() + 1, "https://h0");
    EXPECT_EQ(limit.take(many, t0), Strings(many.begin() + 1, many.begin() + 9));
    EXPECT_EQ(limit.take(many, t0 + 59s), (Strings{"https://h8", "https://h9"}));
    limit.used("https://h3");
    EXPECT_EQ(limit.take(many, t0 + 59s), Strings{"https://h3"});
    // A minute after the first opening its hosts are due again, the later ones not yet.
    EXPECT_EQ(limit.take(many, t0 + 60s),
              (Strings{"https://h0", "https://h1", "https://h2", "https://h4", "https://h5",
                       "https://h6", "https://h7"}));
}

TEST(WarmLimitTest, KeepsWhatAnOpeningWarmedForHalfAMinuteUnlessAStreamTookIt) {
    WarmLimit limit;
    const auto t0 = WarmLimit::Clock::time_point{};
    const Strings offered{"https://a", "https://b", "https://c"};
    limit.take({"https://a", "https://b"}, t0);
    limit.hold(offered, t0); // c was not warmed: nothing to keep
    EXPECT_EQ(limit.held(t0 + 1s), (Strings{"https://a", "https://b"}));
    limit.used("https://a");
    limit.hold(offered, t0 + 20s); // opened again: b is kept longer
    EXPECT_EQ(limit.held(t0 + 40s), Strings{"https://b"});
    EXPECT_EQ(limit.held(t0 + 20s + WarmLimit::holdFor), Strings{});
}

} // namespace
} // namespace tunora
