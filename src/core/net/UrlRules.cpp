#include "core/net/UrlRules.h"

#include <algorithm>
#include <cctype>

namespace tunora {
namespace {

char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(),
                      [](char a, char b) { return lower(a) == lower(b); });
}

std::string lowered(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(), lower);
    return result;
}

} // namespace

bool isHttps(std::string_view url) {
    return startsWithIgnoringCase(url, "https://");
}

std::string originOf(std::string_view url) {
    const std::size_t scheme = url.find("://");
    if (scheme == std::string_view::npos) {
        return {};
    }
    const std::string name = lowered(url.substr(0, scheme));
    if (name != "http" && name != "https") {
        return {};
    }
    const std::size_t end = url.find_first_of("/?#", scheme + 3);
    const std::string_view authority = url.substr(scheme + 3, end - std::min(end, scheme + 3));
    if (authority.empty() || authority.find('@') != std::string_view::npos) {
        return {};
    }
    return name + "://" + std::string(authority);
}

bool inInvalidDomain(std::string_view url) {
    const std::string origin = originOf(url);
    if (origin.empty() || origin.find('[') != std::string::npos) {
        return false; // not an address, or an IPv6 literal
    }
    std::string host = lowered(std::string_view(origin).substr(origin.find("://") + 3));
    host = host.substr(0, host.find(':'));
    if (host.ends_with('.')) {
        host.pop_back(); // the root of the name space, written out
    }
    return host == "invalid" || host.ends_with(".invalid");
}

bool isTextType(std::string_view contentType) {
    return startsWithIgnoringCase(contentType, "text/") ||
           startsWithIgnoringCase(contentType, "application/json") ||
           startsWithIgnoringCase(contentType, "application/xhtml");
}

bool isMpegType(std::string_view contentType) {
    return startsWithIgnoringCase(contentType, "audio/mpeg") ||
           startsWithIgnoringCase(contentType, "audio/mp3") ||
           startsWithIgnoringCase(contentType, "audio/x-mpeg");
}

} // namespace tunora
