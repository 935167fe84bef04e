#pragma once

#include "platform/LocalizedStrings.h"

#include <filesystem>

namespace tunora {

// The program's texts: English built in, translations from gettext (domain
// "tunora"). A key without text shows its English text, never the bare key.
class GettextStrings : public LocalizedStrings {
  public:
    explicit GettextStrings(const std::filesystem::path& localeDirectory);
    std::string localizedString(const std::string& key) override;

    // A built-in English text, translated; for the adapters' own texts.
    static std::string translate(const char* english);
};

} // namespace tunora
