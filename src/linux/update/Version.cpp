#include "linux/update/Version.h"

#include <charconv>

namespace tunora {

std::optional<Version> Version::parse(std::string_view text) {
    Version version;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t dot = std::min(text.find('.', start), text.size());
        const std::string_view part = text.substr(start, dot - start);
        unsigned long number = 0;
        const auto [end, error] = std::from_chars(part.data(), part.data() + part.size(), number);
        if (part.empty() || part.size() > 9 || error != std::errc() ||
            end != part.data() + part.size()) {
            return std::nullopt; // "1..2", "1.x", "-1", " 1" are not versions
        }
        version.parts_.push_back(number);
        start = dot + 1;
    }
    return version;
}

int Version::compare(const Version& a, const Version& b) {
    const std::size_t length = std::max(a.parts_.size(), b.parts_.size());
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned long left = i < a.parts_.size() ? a.parts_[i] : 0;
        const unsigned long right = i < b.parts_.size() ? b.parts_[i] : 0;
        if (left != right) {
            return left < right ? -1 : 1;
        }
    }
    return 0;
}

} // namespace tunora
