#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tunora {

// Where a stream is fetched from: scheme, host and optional port, nothing else.
// Used to point a station's built-in host at a mirror or a local test server.
struct StreamOrigin {
    std::string scheme; // "http" or "https", lower case
    std::string host;   // lower case; an IPv6 address keeps its brackets
    std::optional<std::uint16_t> port;

    // Accepts "scheme://host[:port]" with an optional single trailing "/".
    static std::optional<StreamOrigin> parse(std::string_view text);

    std::string toString() const;
    friend bool operator==(const StreamOrigin&, const StreamOrigin&) = default;
};

// An absolute http(s) URL, validated when it is made. Stations hold one of these
// for their stream address; it is never empty.
class StreamUrl {
  public:
    static std::optional<StreamUrl> parse(std::string_view text);

    const StreamOrigin& origin() const { return origin_; }
    const std::string& scheme() const { return origin_.scheme; }
    const std::string& host() const { return origin_.host; }
    std::optional<std::uint16_t> port() const { return origin_.port; }
    // Path plus query, always starting with "/".
    const std::string& path() const { return path_; }

    // Whether the host lies in the reserved .invalid domain, which no name
    // server ever answers: a host nobody has configured yet.
    bool hostIsUnconfigured() const;

    // The same path on another origin.
    StreamUrl withOrigin(StreamOrigin origin) const;

    std::string toString() const;
    friend bool operator==(const StreamUrl&, const StreamUrl&) = default;

  private:
    StreamUrl(StreamOrigin origin, std::string path);

    StreamOrigin origin_;
    std::string path_;
};

} // namespace tunora
