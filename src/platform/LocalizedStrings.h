#pragma once

#include <initializer_list>
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

// Every "{}" of text in turn, one value each; a value's own "{}" (a listener's
// setting may hold one) stays as it is.
inline std::string fillInAll(std::string text, std::initializer_list<std::string> values) {
    std::size_t from = 0;
    for (const std::string& value : values) {
        const auto at = text.find("{}", from);
        if (at == std::string::npos) {
            break;
        }
        text.replace(at, 2, value);
        from = at + value.size();
    }
    return text;
}

} // namespace tunora
