#pragma once

#include "platform/LocalizedStrings.h"

#include <filesystem>

namespace tunora {

// Marks an English text for translation where it is written; it is translated
// where it is shown (GettextStrings::translate).
constexpr const char* N_(const char* english) {
    return english;
}

// The program's texts: English built in, translations from gettext (domain
// "tunora"). A key without text shows its English text, never the bare key.
// Texts are marked N_("...") where they are written, so that xgettext finds
// them for po/tunora.pot.
class GettextStrings : public LocalizedStrings {
  public:
    static constexpr const char* domain = "tunora";

    explicit GettextStrings(const std::filesystem::path& localeDirectory);
    std::string localizedString(const std::string& key) override;

    // Points gettext at the program's catalogues, in UTF-8.
    static void bindDomain(const std::filesystem::path& localeDirectory);

    // A built-in English text, translated; for the adapters' own texts.
    static std::string translate(const char* english);
};

} // namespace tunora
