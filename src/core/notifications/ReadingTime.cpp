#include "core/notifications/ReadingTime.h"

#include <algorithm>

namespace tunora {
namespace {

constexpr int noticeMs = 5000;   // to see that something came and turn to it
constexpr int perWordMs = 250;   // an unhurried 240 words a minute
constexpr int shortestMs = 6000; // what servers default to
constexpr int longestMs = 15000; // a popup should not outstay its welcome

int wordsIn(std::string_view text) {
    int words = 0;
    bool inWord = false;
    for (char c : text) {
        const bool space = c == ' ' || c == '\n' || c == '\t';
        words += !space && !inWord ? 1 : 0;
        inWord = !space;
    }
    return words;
}

} // namespace

int readingTimeMs(std::string_view title, std::string_view body) {
    const int words = wordsIn(title) + wordsIn(body);
    return std::clamp(noticeMs + words * perWordMs, shortestMs, longestMs);
}

} // namespace tunora
