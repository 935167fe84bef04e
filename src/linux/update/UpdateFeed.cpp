#include "linux/update/UpdateFeed.h"

#include "core/catalogue/StreamUrl.h"
#include "linux/strings/GettextStrings.h"
#include "linux/update/Version.h"

#include <nlohmann/json.hpp>

namespace tunora {

bool isAcceptableUpdateUrl(std::string_view url) {
    const auto parsed = StreamUrl::parse(url);
    return parsed && parsed->scheme() == "https";
}

std::variant<UpdateFeed, std::string> UpdateFeed::parse(std::string_view body) {
    if (body.size() > maximumSize) {
        return std::string(N_("The update information is too large."));
    }
    const auto document = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
    if (!document.is_object()) {
        return std::string(N_("The update information is not readable."));
    }
    const auto version = document.find("version");
    const auto url = document.find("url");
    if (version == document.end() || !version->is_string() || url == document.end() ||
        !url->is_string()) {
        return std::string(N_("The update information is incomplete."));
    }
    UpdateFeed feed{version->get<std::string>(), url->get<std::string>()};
    if (!Version::parse(feed.version)) {
        return std::string(N_("The update information names no valid version."));
    }
    if (!isAcceptableUpdateUrl(feed.url)) {
        return std::string(N_("The download page is not a secure (https) address."));
    }
    return feed;
}

} // namespace tunora
