#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

namespace tunora {

// A broadcaster network. Stored in one byte as its ordinal; its raw value is the
// text shown to the user ("NDR", "Ondoria", "rbb", ...).
class Network {
  public:
    enum Case : std::uint8_t { ondo, ndr, wdr, br, hr, swr, mdr, rbb };

    constexpr Network(Case value) : value_(value) {} // NOLINT: implicit, like an enum

    // Exact, case-sensitive match against the eight raw values; none otherwise.
    static std::optional<Network> fromRawValue(std::string_view rawValue);
    // The eight networks in declaration order, ondo first.
    static const std::array<Network, 8>& allCases();

    std::string_view rawValue() const;
    constexpr Case value() const { return value_; }
    constexpr std::size_t ordinal() const { return value_; }

    friend constexpr bool operator==(Network, Network) = default;

  private:
    Case value_;
};

} // namespace tunora

// A network hashes like its raw value.
template <> struct std::hash<tunora::Network> {
    std::size_t operator()(tunora::Network network) const noexcept {
        return std::hash<std::string_view>{}(network.rawValue());
    }
};
