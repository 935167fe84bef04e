#pragma once

#include <string>

namespace tunora {

// The program's user-visible texts, by key, in the user's language.
class LocalizedStrings {
  public:
    virtual ~LocalizedStrings() = default;
    virtual std::string localizedString(const std::string& key) = 0;
};

// Texts carry "{}" where a name or number goes, so that translations may move
// it: the first "{}" of text becomes value.
inline std::string fillIn(std::string text, const std::string& value) {
    if (const auto at = text.find("{}"); at != std::string::npos) {
        text.replace(at, 2, value);
    }
    return text;
}

} // namespace tunora
