#include "linux/strings/GettextStrings.h"

#include <libintl.h>
#include <map>

namespace tunora {
namespace {

constexpr const char* domain = "tunora";

const std::map<std::string, const char*>& englishTexts() {
    static const std::map<std::string, const char*> texts = {
        {"launch_at_login", "Launch at Login"},
        {"keyboard_shortcuts", "Keyboard Shortcuts"},
        {"hotkey_none", "None"},
        {"check_for_updates", "Check for Updates\u2026"},
        {"quit", "Quit"},
    };
    return texts;
}

} // namespace

GettextStrings::GettextStrings(const std::filesystem::path& localeDirectory) {
    bindtextdomain(domain, localeDirectory.c_str());
    bind_textdomain_codeset(domain, "UTF-8");
}

std::string GettextStrings::localizedString(const std::string& key) {
    const auto found = englishTexts().find(key);
    return found == englishTexts().end() ? key : translate(found->second);
}

std::string GettextStrings::translate(const char* english) {
    return dgettext(domain, english);
}

} // namespace tunora
