#include "linux/net/RedirectCache.h"

#include "core/net/UrlRules.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace tunora {
namespace {

constexpr const char* format = "tunora-redirects-1";
constexpr std::size_t longestUrl = 2048;

using SystemClock = std::chrono::system_clock;

bool usableUrl(const nlohmann::json& value) {
    if (!value.is_string()) {
        return false;
    }
    const auto& text = value.get_ref<const std::string&>();
    return text.size() <= longestUrl && !originOf(text).empty() &&
           std::none_of(text.begin(), text.end(),
                        [](unsigned char c) { return c <= ' ' || c == 0x7f; });
}

} // namespace

bool readRedirectCache(std::string_view contents, RedirectMemory& memory, RedirectCacheTime now) {
    const nlohmann::json document = nlohmann::json::parse(contents, nullptr, false);
    if (!document.is_object() || document.value("format", "") != format ||
        !document.contains("targets") || !document["targets"].is_array()) {
        return false;
    }
    for (const nlohmann::json& entry : document["targets"]) {
        if (!entry.is_object() || !usableUrl(entry.value("station", nlohmann::json())) ||
            !usableUrl(entry.value("target", nlohmann::json())) ||
            !entry.value("learnt", nlohmann::json()).is_number_integer()) {
            continue;
        }
        const auto learnt =
            SystemClock::time_point(std::chrono::seconds(entry["learnt"].get<long long>()));
        const auto age = now.wall - learnt;
        if (age < SystemClock::duration::zero() || age >= RedirectMemory::keep) {
            continue; // from the future (a clock that was wrong) or too old to be worth a try
        }
        // remember() holds https stations to https targets.
        memory.remember(entry["station"].get<std::string>(), entry["target"].get<std::string>(),
                        now.steady -
                            std::chrono::duration_cast<RedirectMemory::Clock::duration>(age));
    }
    return true;
}

std::string writeRedirectCache(const RedirectMemory& memory, RedirectCacheTime now) {
    nlohmann::json targets = nlohmann::json::array();
    for (const RedirectMemory::Entry& entry : memory.entries(now.steady)) {
        const auto learnt =
            now.wall - std::chrono::duration_cast<SystemClock::duration>(now.steady - entry.at);
        targets.push_back(
            {{"station", entry.station},
             {"target", entry.target},
             {"learnt", std::chrono::duration_cast<std::chrono::seconds>(learnt.time_since_epoch())
                            .count()}});
    }
    const nlohmann::json document{{"format", format}, {"targets", std::move(targets)}};
    return document.dump(1) + "\n";
}

} // namespace tunora
