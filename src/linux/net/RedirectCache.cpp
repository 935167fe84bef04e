#include "linux/net/RedirectCache.h"

#include "linux/system/Files.h"

#include <algorithm>
#include <glib.h>
#include <nlohmann/json.hpp>

namespace tunora {
namespace {

constexpr const char* format = "tunora-redirects-1";
constexpr std::size_t mostBytes = 256 * 1024;
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

void RedirectCache::load(RedirectMemory& memory, RedirectMemory::Clock::time_point now) const {
    const files::ReadResult read = files::readRegularFile(file_, mostBytes);
    if (read.status != files::ReadResult::Status::ok) {
        return;
    }
    const nlohmann::json document = nlohmann::json::parse(read.contents, nullptr, false);
    if (!document.is_object() || document.value("format", "") != format ||
        !document.contains("targets") || !document["targets"].is_array()) {
        // Not ours to trust, nor to overwrite unseen: kept beside, and started afresh.
        std::string problem;
        if (const auto kept = files::setAside(file_, problem)) {
            g_message("%s is not a redirect cache of this program; kept as %s", file_.c_str(),
                      kept->c_str());
        } else {
            g_message("%s", problem.c_str());
        }
        return;
    }
    const auto wallNow = SystemClock::now();
    for (const nlohmann::json& entry : document["targets"]) {
        if (!entry.is_object() || !usableUrl(entry.value("station", nlohmann::json())) ||
            !usableUrl(entry.value("target", nlohmann::json())) ||
            !entry.value("learnt", nlohmann::json()).is_number_integer()) {
            continue;
        }
        const auto learnt =
            SystemClock::time_point(std::chrono::seconds(entry["learnt"].get<long long>()));
        const auto age = wallNow - learnt;
        if (age < SystemClock::duration::zero() || age >= RedirectMemory::keep) {
            continue; // from the future (a clock that was wrong) or too old to be worth a try
        }
        // remember() holds https stations to https targets.
        memory.remember(entry["station"].get<std::string>(), entry["target"].get<std::string>(),
                        now - std::chrono::duration_cast<RedirectMemory::Clock::duration>(age));
    }
}

void RedirectCache::save(const RedirectMemory& memory,
                         RedirectMemory::Clock::time_point now) const {
    const auto wallNow = SystemClock::now();
    nlohmann::json targets = nlohmann::json::array();
    for (const RedirectMemory::Entry& entry : memory.entries(now)) {
        const auto learnt =
            wallNow - std::chrono::duration_cast<SystemClock::duration>(now - entry.at);
        targets.push_back(
            {{"station", entry.station},
             {"target", entry.target},
             {"learnt", std::chrono::duration_cast<std::chrono::seconds>(learnt.time_since_epoch())
                            .count()}});
    }
    const nlohmann::json document{{"format", format}, {"targets", std::move(targets)}};
    std::string problem;
    if (!files::replaceFile(file_, document.dump(1) + "\n", 0600, problem)) {
        g_debug("cannot keep where stations are served from: %s", problem.c_str());
    }
}

} // namespace tunora
