#include "core/net/RedirectRules.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;
using Strings = std::vector<std::string>;

const std::string station = "https://dispatch.example:8443/one.mp3?aac=0";
const std::string edge = "https://edge2.example/one.mp3";

TEST(RedirectRulesTest, KeepsATargetForADayUntilItFails) {
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
    memory.remember("HTTPS://dispatch.example/x", "http://edge2.example/x", t0);
    EXPECT_EQ(memory.target("HTTPS://dispatch.example/x", t0), std::nullopt);
    memory.remember("http://plain.example/x", edge, t0);
    EXPECT_EQ(memory.target("http://plain.example/x", t0), edge);
}

TEST(RedirectRulesTest, WarmsTheTargetOrTheDispatcherWithItsEdges) {
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
}

TEST(RedirectRulesTest, RedirectsStayOnHttpsAndEndAfterAFew) {
    using enum RedirectVerdict;
    struct Case {
        const char* from;
        const char* target;
        int followed;
        RedirectVerdict verdict;
    };
    for (const Case& c : {
             Case{"https://a/x", "https://b/y", 0, follow},
             Case{"http://a/x", "https://b/y", 0, follow},
             Case{"http://a/x", "http://b/y", mostRedirects - 1, follow},
             Case{"HTTPS://a/x", "https://b/y", 0, follow},
             Case{"https://a/x", "http://b/y", 0, insecure},
             Case{"https://a/x", "HTTP://b/y", mostRedirects, insecure},
             Case{"http://a/x", "http://b/y", mostRedirects, tooMany},
             Case{"https://a/x", "", 0, invalid}, // no Location: an error like any other
         }) {
        EXPECT_EQ(redirectVerdict(c.from, c.target, c.followed), c.verdict)
            << c.from << " -> " << c.target << " after " << c.followed;
    }
}

} // namespace
} // namespace tunora
