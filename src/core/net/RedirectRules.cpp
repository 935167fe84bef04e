#include "core/net/RedirectRules.h"

#include "core/net/UrlRules.h"

#include <algorithm>

namespace tunora {

RedirectVerdict redirectVerdict(std::string_view from, std::string_view target, int followed) {
    if (target.empty()) {
        return RedirectVerdict::invalid; // a redirect to nowhere: an error like any other
    }
    if (isHttps(from) && !isHttps(target)) {
        // to plain text, which would hand what was asked for to anyone on the path
        return RedirectVerdict::insecure;
    }
    return followed >= mostRedirects ? RedirectVerdict::tooMany : RedirectVerdict::follow;
}

void RedirectMemory::remember(const std::string& station, const std::string& target,
                              Clock::time_point now) {
    const std::string dispatcher = originOf(station);
    const std::string edge = originOf(target);
    if (dispatcher.empty() || edge.empty() || (isHttps(station) && !isHttps(target))) {
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
            if (fresh(at, now) && edge != own && (!isHttps(own) || isHttps(edge))) {
                origins.push_back(edge);
            }
        }
    }
    return origins;
}

} // namespace tunora
