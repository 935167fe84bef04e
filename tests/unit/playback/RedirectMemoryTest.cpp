#include "linux/net/RedirectMemory.h"
#include "linux/net/WarmLimit.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

const std::string station = "https://dispatch.example:8443/one.mp3?aac=0";
const std::string edge = "https://edge2.example/one.mp3";

TEST(RedirectMemoryTest, KeepsATargetForADayUntilItFails) {
    RedirectMemory memory;
    const auto t0 = RedirectMemory::Clock::time_point{};
    EXPECT_EQ(memory.target(station, t0), std::nullopt);
    memory.remember(station, edge, t0);
    EXPECT_EQ(memory.target(station, t0 + 23h), edge);
    EXPECT_EQ(memory.target(station, t0 + RedirectMemory::keep), std::nullopt);
    memory.remember(station, edge, t0 + 10min);
    EXPECT_EQ(memory.target("https://dispatch.example:8443/two.mp3", t0 + 10min), std::nullopt);
    memory.forget(station);
    EXPECT_EQ(memory.target(station, t0 + 10min), std::nullopt);
    // https never becomes http, not even from memory.
    memory.remember(station, "http://edge2.example/one.mp3", t0);
    EXPECT_EQ(memory.target(station, t0), std::nullopt);
    memory.remember("http://plain.example/x", edge, t0);
    EXPECT_EQ(memory.target("http://plain.example/x", t0), edge);
}

TEST(RedirectMemoryTest, WarmsTheTargetOrTheDispatcherWithItsEdges) {
    RedirectMemory memory;
    const auto t0 = RedirectMemory::Clock::time_point{};
    EXPECT_EQ(memory.originsToWarm(station, t0), Strings{"https://dispatch.example:8443"});
    memory.remember(station, edge, t0);
    EXPECT_EQ(memory.originsToWarm(station, t0), Strings{"https://edge2.example"});
    // Another station of the same dispatcher: the dispatcher and where it sends.
    const std::string other = "https://dispatch.example:8443/two.mp3";
    EXPECT_EQ(memory.originsToWarm(other, t0),
              (Strings{"https://dispatch.example:8443", "https://edge2.example"}));
    for (int i = 3; i <= 7; ++i) {
        memory.remember(station, "https://edge" + std::to_string(i) + ".example/a", t0 + 1s * i);
    }
    EXPECT_EQ(memory.originsToWarm(other, t0 + 8s).size(), 1 + RedirectMemory::edgesPerDispatcher);
    EXPECT_EQ(memory.originsToWarm(other, t0 + 8s + RedirectMemory::keep),
              Strings{"https://dispatch.example:8443"});
    EXPECT_EQ(originOf("https://user@host/x"), "");
    EXPECT_EQ(originOf("ftp://host/x"), "");
    EXPECT_EQ(originOf("https://host"), "https://host");
}

TEST(RedirectMemoryTest, WarmsEightHostsAnOpeningAndEachOnceAMinute) {
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

TEST(RedirectMemoryTest, KeepsWhatAnOpeningWarmedForHalfAMinuteUnlessAStreamTookIt) {
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
