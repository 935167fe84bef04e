#include "core/settings/LenientJson.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <optional>
#include <string_view>

namespace tunora {
namespace {

bool isNumberCharacter(char c) {
    return (c >= '0' && c <= '9') || std::strchr("+-.eE", c) != nullptr;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The index just past the string that starts with the quote at `start`.
std::size_t skipString(const std::string& json, std::size_t start) {
    std::size_t at = start + 1;
    while (at < json.size() && json[at] != '"') {
        at += json[at] == '\\' ? 2 : 1;
    }
    return at + 1;
}

// The power of ten of a number's first significant digit ("123.4e5": 7,
// "0.001": -3); none for zero. Exponents too long to hold count as huge.
std::optional<long long> decimalMagnitude(std::string_view number) {
    const std::size_t exponentAt = number.find_first_of("eE");
    const std::string_view mantissa = number.substr(0, exponentAt);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    std::optional<long long> magnitude;
    for (std::size_t at = 0; at < mantissa.size() && !magnitude; ++at) {
        if (isDigit(mantissa[at]) && mantissa[at] != '0') {
            magnitude = at < point ? static_cast<long long>(point - at) - 1
                                   : -static_cast<long long>(at - point);
        }
    }
    if (!magnitude || exponentAt == std::string_view::npos) {
        return magnitude;
    }
    const std::string_view exponent = number.substr(exponentAt + 1);
    const bool negative = exponent.starts_with('-');
    constexpr long long huge = std::numeric_limits<long long>::max() / 4;
    long long value = 0;
    for (const char c : exponent) {
        if (isDigit(c)) {
            value = value >= huge / 10 ? huge : value * 10 + (c - '0');
        }
    }
    return *magnitude + (negative ? -value : value);
}

// Whether a whole number token is too large for a double. Parsed the way JSON
// is written, whatever the locale.
bool overflows(std::string_view token) {
    double value = 0;
    const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), value);
    if (end != token.data() + token.size() || error != std::errc::result_out_of_range) {
        return false; // a double, or not a number at all: the parser decides
    }
    const auto magnitude = decimalMagnitude(token);
    return magnitude && *magnitude >= 0; // else it is too small, which reads as 0
}

} // namespace

std::size_t nullOverflowingNumbers(std::string& json) {
    std::size_t replaced = 0;
    std::size_t at = 0;
    while (at < json.size()) {
        const char c = json[at];
        if (c == '"') {
            at = skipString(json, at);
            continue;
        }
        if (c != '-' && !isDigit(c)) {
            ++at;
            continue;
        }
        std::size_t end = at;
        while (end < json.size() && isNumberCharacter(json[end])) {
            ++end;
        }
        if (overflows(std::string_view(json).substr(at, end - at))) {
            json.replace(at, end - at, "null");
            end = at + 4;
            ++replaced;
        }
        at = end;
    }
    return replaced;
}

TextPosition positionOfByte(const std::string& text, std::size_t byte) {
    const std::size_t end = std::min(byte == 0 ? 0 : byte - 1, text.size());
    const auto lineStart = end == 0 ? std::string::npos : text.rfind('\n', end - 1);
    return {
        .line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + end, '\n')),
        .column = end - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1,
    };
}

} // namespace tunora
