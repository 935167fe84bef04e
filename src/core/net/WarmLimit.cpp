#include "core/net/WarmLimit.h"

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
    heldUntil_.erase(origin); // the stream has it now; another would be one too many
}

void WarmLimit::hold(const std::vector<std::string>& origins, Clock::time_point now) {
    for (const std::string& origin : origins) {
        if (warmed_.contains(origin)) {
            heldUntil_[origin] = now + holdFor;
        }
    }
}

std::vector<std::string> WarmLimit::held(Clock::time_point now) {
    std::erase_if(heldUntil_, [now](const auto& entry) { return entry.second <= now; });
    std::vector<std::string> origins;
    for (const auto& entry : heldUntil_) {
        origins.push_back(entry.first);
    }
    return origins;
}

} // namespace tunora
