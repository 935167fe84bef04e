#include "linux/net/RedirectCache.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;

const RedirectCacheTime now{RedirectMemory::Clock::time_point{} + 48h,
                            std::chrono::system_clock::time_point{} + 1700000000s};

std::string file(const std::string& targets) {
    return R"({"format": "tunora-redirects-1", "targets": [)" + targets + "]}";
}
std::string entry(const std::string& station, const std::string& target,
                  const std::string& learnt) {
    return R"({"station": ")" + station + R"(", "target": ")" + target + R"(", "learnt": )" +
           learnt + "}";
}
std::string secondsAgo(std::chrono::seconds age) {
    return std::to_string((now.wall.time_since_epoch() - age) / 1s);
}

TEST(RedirectCacheTest, WhatIsNotOursIsRefusedWhole) {
    for (const std::string& contents :
         {std::string(""), std::string("{"), std::string("[]"), std::string(R"({"targets": []})"),
          std::string(R"({"format": "tunora-redirects-2", "targets": []})"),
          std::string(R"({"format": "tunora-redirects-1", "targets": {}})")}) {
        RedirectMemory memory;
        EXPECT_FALSE(readRedirectCache(contents, memory, now)) << contents;
        EXPECT_TRUE(memory.entries(now.steady).empty()) << contents;
    }
}

TEST(RedirectCacheTest, OnlyWellMadeEntriesOfTheLastDayAreTried) {
    const std::string station = "https://dispatch.example/one.mp3";
    const std::string edge = "https://edge.example/one.mp3";
    struct Case {
        std::string entry;
        bool kept;
    };
    for (const Case& c : {
             Case{entry(station, edge, secondsAgo(1h)), true},
             Case{entry("http://plain.example/x", "https://edge.example/x", secondsAgo(0s)), true},
             Case{entry(station, edge, secondsAgo(24h)), false},  // too old to be worth a try
             Case{entry(station, edge, secondsAgo(-60s)), false}, // from a clock that was wrong
             Case{entry(station, "http://edge.example/one.mp3", secondsAgo(1h)), false},
             Case{entry(station, "https://edge.example/a b", secondsAgo(1h)), false},
             Case{entry(station, "https://edge.example/" + std::string(2100, 'x'), secondsAgo(1h)),
                  false},
             Case{entry("ndr2", edge, secondsAgo(1h)), false},
             Case{entry(station, edge, "\"1700000000\""), false},
             Case{entry(station, edge, "1.5"), false},
             Case{R"({"station": ")" + station + R"("})", false},
             Case{"17", false},
         }) {
        RedirectMemory memory;
        ASSERT_TRUE(readRedirectCache(file(c.entry), memory, now)) << c.entry;
        EXPECT_EQ(memory.entries(now.steady).size(), c.kept ? 1u : 0u) << c.entry;
    }
}

TEST(RedirectCacheTest, WhatIsWrittenReadsBackWithTheTimeItWasLearnt) {
    RedirectMemory memory;
    memory.remember("https://a.example/1", "https://edge.example/1", now.steady - 2h);
    memory.remember("http://b.example/2", "http://edge.example/2", now.steady - 10min);
    memory.remember("http://c.example/3", "http://edge.example/3", now.steady - 25h); // stale
    const std::string written = writeRedirectCache(memory, now);

    // Read an hour later, in another run whose steady clock started elsewhere.
    const RedirectCacheTime later{RedirectMemory::Clock::time_point{} + 5h, now.wall + 1h};
    RedirectMemory read;
    ASSERT_TRUE(readRedirectCache(written, read, later)) << written;
    EXPECT_EQ(read.entries(later.steady).size(), 2u) << written;
    // Learnt 3 h and 70 min before: kept for the rest of their day.
    EXPECT_EQ(read.target("https://a.example/1", later.steady + 20h), "https://edge.example/1");
    EXPECT_EQ(read.target("https://a.example/1", later.steady + 21h), std::nullopt);
    EXPECT_EQ(read.target("http://b.example/2", later.steady + 22h), "http://edge.example/2");
    EXPECT_EQ(read.target("http://b.example/2", later.steady + 22h + 50min), std::nullopt);
}

} // namespace
} // namespace tunora
