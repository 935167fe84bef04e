#include "core/notifications/ReadingTime.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

TEST(ReadingTime, GrowsWithTheWordsBetweenAFloorAndACeiling) {
    const struct {
        const char* title;
        const char* body;
        int ms;
    } cases[] = {
        {"", "", 6000},
        {"Ondoria cannot be played", "the station sends no sound", 7250},
        {"Station keys on Budgie",
         "Budgie Control Center \u2192 Keyboard \u2192 Custom Shortcuts:\n"
         "Alt+1: tunora --slot 1\nAlt+2: tunora --slot 2\nAlt+3: tunora --slot 3\n"
         "Alt+4: tunora --slot 4\nAlt+5: tunora --slot 5",
         13000},
        {"  spaced   out  ", "\n\ttabs\tand\nlines\n", 6250},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(readingTimeMs(c.title, c.body), c.ms) << c.title;
    }
    std::string essay;
    for (int i = 0; i < 100; ++i) {
        essay += "word ";
    }
    EXPECT_EQ(readingTimeMs("", essay), 15000);
}

} // namespace
} // namespace tunora
