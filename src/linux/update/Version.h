#pragma once

#include <optional>
#include <string_view>
#include <vector>

namespace tunora {

// A dotted version number such as 1.10.0; missing parts count as 0, so 1.2 and
// 1.2.0 are the same version.
class Version {
  public:
    static std::optional<Version> parse(std::string_view text);
    friend bool operator==(const Version& a, const Version& b) { return compare(a, b) == 0; }
    friend bool operator<(const Version& a, const Version& b) { return compare(a, b) < 0; }

  private:
    static int compare(const Version& a, const Version& b);
    std::vector<unsigned long> parts_;
};

} // namespace tunora
