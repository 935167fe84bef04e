#include "linux/net/WarmLimit.h"

#include <algorithm>

namespace tunora {

std::vector<std::string> WarmLimit::take(const std::vector<std::string>& origins,
                                         Clock::time_point now) {
    std::erase_if(warmed_, [now](const auto& entry) { return now - entry.second >= perHost; });
    std::vector<std::string> chosen;
    for (const std::string& origin : origins) {
        if (chosen.size() == hostsPerOpening) {
            break;
        }
        if (!origin.empty() && !warmed_.contains(origin)) {
            warmed_[origin] = now;
            chosen.push_back(origin);
        }
    }
    return chosen;
}

void WarmLimit::used(const std::string& origin) {
    warmed_.erase(origin);
}

} // namespace tunora
