#include "core/catalogue/StreamUrl.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tunora {
namespace {

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string toLower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// A DNS name or IPv4 address: dot-separated labels of letters, digits and hyphens,
// no empty label, no label starting or ending with a hyphen.
bool isValidRegisteredName(std::string_view host) {
    if (host.empty() || host.size() > 253) {
        return false;
    }
    std::size_t labelStart = 0;
    while (labelStart <= host.size()) {
        const std::size_t dot = std::min(host.find('.', labelStart), host.size());
        const std::string_view label = host.substr(labelStart, dot - labelStart);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
            return false;
        }
        if (!std::all_of(label.begin(), label.end(),
                         [](char c) { return isAsciiAlnum(c) || c == '-'; })) {
            return false;
        }
        labelStart = dot + 1;
    }
    return true;
}

bool isValidIpv6Literal(std::string_view host) {
    if (host.size() < 4 || host.front() != '[' || host.back() != ']') {
        return false;
    }
    const std::string_view inner = host.substr(1, host.size() - 2);
    return inner.find(':') != std::string_view::npos &&
           std::all_of(inner.begin(), inner.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
           });
}

std::optional<std::uint16_t> parsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    unsigned value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// Splits "scheme://authority" off the front of text; the rest is returned in rest.
std::optional<StreamOrigin> parseOriginPrefix(std::string_view text, std::string_view& rest) {
    const std::size_t schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) {
        return std::nullopt;
    }
    StreamOrigin origin;
    origin.scheme = toLower(text.substr(0, schemeEnd));
    if (origin.scheme != "http" && origin.scheme != "https") {
        return std::nullopt;
    }
    const std::string_view afterScheme = text.substr(schemeEnd + 3);
    const std::size_t authorityEnd = std::min(afterScheme.find_first_of("/?#"), afterScheme.size());
    const std::string_view authority = afterScheme.substr(0, authorityEnd);
    rest = afterScheme.substr(authorityEnd);

    std::string_view host = authority;
    const std::size_t bracketEnd = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos &&
        (bracketEnd == std::string_view::npos || colon > bracketEnd)) {
        origin.port = parsePort(authority.substr(colon + 1));
        if (!origin.port) {
            return std::nullopt;
        }
        host = authority.substr(0, colon);
    }
    if (!isValidRegisteredName(host) && !isValidIpv6Literal(host)) {
        return std::nullopt; // also rejects user info ("user@host") and empty hosts
    }
    origin.host = toLower(host);
    return origin;
}

// RFC 3986 path and query characters (pchar, "/" and "?"), percent escapes included.
bool isValidPathAndQuery(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        if (c == '%') {
            if (i + 2 >= path.size() || !std::isxdigit(static_cast<unsigned char>(path[i + 1])) ||
                !std::isxdigit(static_cast<unsigned char>(path[i + 2]))) {
                return false;
            }
            continue;
        }
        constexpr std::string_view allowed = "-._~!$&'()*+,;=:@/?";
        if (!isAsciiAlnum(c) && allowed.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<StreamOrigin> StreamOrigin::parse(std::string_view text) {
    std::string_view rest;
    auto origin = parseOriginPrefix(text, rest);
    if (!origin || !(rest.empty() || rest == "/")) {
        return std::nullopt;
    }
    return origin;
}

std::string StreamOrigin::toString() const {
    std::string text = scheme + "://" + host;
    if (port) {
        text += ':' + std::to_string(*port);
    }
    return text;
}

StreamUrl::StreamUrl(StreamOrigin origin, std::string path)
    : origin_(std::move(origin)), path_(std::move(path)) {}

std::optional<StreamUrl> StreamUrl::parse(std::string_view text) {
    std::string_view rest;
    auto origin = parseOriginPrefix(text, rest);
    if (!origin || !isValidPathAndQuery(rest)) {
        return std::nullopt; // a fragment ("#") is not valid here either
    }
    if (!rest.empty() && rest.front() != '/') {
        return std::nullopt;
    }
    return StreamUrl(std::move(*origin), rest.empty() ? std::string("/") : std::string(rest));
}

bool StreamUrl::hostIsUnconfigured() const {
    constexpr std::string_view reserved = ".invalid";
    const std::string& name = host();
    return name == reserved.substr(1) ||
           (name.size() > reserved.size() && name.ends_with(reserved));
}

StreamUrl StreamUrl::withOrigin(StreamOrigin origin) const {
    return StreamUrl(std::move(origin), path_);
}

std::string StreamUrl::toString() const {
    return origin_.toString() + path_;
}

} // namespace tunora
