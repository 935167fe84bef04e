#include "linux/net/RedirectMemory.h"

#include <algorithm>

namespace tunora {
namespace {

bool https(std::string_view url) {
    return url.starts_with("https://");
}

} // namespace

std::string originOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos ||
        (url.substr(0, scheme) != "http" && url.substr(0, scheme) != "https")) {
        return {};
    }
    const std::size_t end = url.find_first_of("/?#", scheme + 3);
    const std::string_view origin = url.substr(0, end);
    if (origin.size() == scheme + 3 || origin.find('@') != std::string_view::npos) {
        return {}; // no host, or credentials that must not travel to another request
    }
    return std::string(origin);
}

void RedirectMemory::remember(const std::string& station, const std::string& target,
                              Clock::time_point now) {
    const std::string dispatcher = originOf(station);
    const std::string edge = originOf(target);
    if (dispatcher.empty() || edge.empty() || (https(station) && !https(target))) {
        return;
    }
    targets_[station] = {target, now};
    auto& edges = edges_[dispatcher];
    edges[edge] = now;
    while (edges.size() > edgesPerDispatcher) {
        edges.erase(std::min_element(edges.begin(), edges.end(), [](const auto& a, const auto& b) {
            return a.second < b.second;
        }));
    }
}

std::optional<std::string> RedirectMemory::target(const std::string& station,
                                                  Clock::time_point now) const {
    const auto found = targets_.find(station);
    if (found == targets_.end() || !fresh(found->second.at, now)) {
        return std::nullopt;
    }
    return found->second.url;
}

void RedirectMemory::forget(const std::string& station) {
    targets_.erase(station);
}

std::vector<RedirectMemory::Entry> RedirectMemory::entries(Clock::time_point now) const {
    std::vector<Entry> kept;
    for (const auto& [station, target] : targets_) {
        if (fresh(target.at, now)) {
            kept.push_back({station, target.url, target.at});
        }
    }
    return kept;
}

std::vector<std::string> RedirectMemory::originsToWarm(const std::string& station,
                                                       Clock::time_point now) const {
    if (const std::optional<std::string> remembered = target(station, now)) {
        return {originOf(*remembered)};
    }
    const std::string own = originOf(station);
    if (own.empty()) {
        return {};
    }
    std::vector<std::string> origins{own};
    if (const auto edges = edges_.find(own); edges != edges_.end()) {
        for (const auto& [edge, at] : edges->second) {
            if (fresh(at, now) && edge != own && (!https(own) || https(edge))) {
                origins.push_back(edge);
            }
        }
    }
    return origins;
}

} // namespace tunora
