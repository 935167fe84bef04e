#pragma once

#include <string>

namespace tunora {

// The program's user-visible texts, by key, in the user's language.
class LocalizedStrings {
  public:
    virtual ~LocalizedStrings() = default;
    virtual std::string localizedString(const std::string& key) = 0;
};

} // namespace tunora
