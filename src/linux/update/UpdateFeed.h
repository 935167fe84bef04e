#pragma once

#include <string>
#include <string_view>
#include <variant>

namespace tunora {

// What the update feed announces: {"version": "1.4.0", "url": "https://…"}.
struct UpdateFeed {
    std::string version;
    std::string url; // the download page

    static constexpr std::size_t maximumSize = 64 * 1024;

    // The feed, or one sentence saying why it cannot be used.
    static std::variant<UpdateFeed, std::string> parse(std::string_view body);
};

// Feeds and download pages must be https; plain http only on 127.0.0.1 (tests).
bool isAcceptableUpdateUrl(std::string_view url);

} // namespace tunora
