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
        {"shortcut_not_saved", "Tunora could not save the shortcut"},
        {"login_item_not_changed", "Tunora could not change Launch at Login"},
        {"reconnecting", "reconnecting\u2026"},
        {"station_cannot_be_played", "{} cannot be played"},
        {"failure_host_not_found", "the server's name was not found"},
        {"failure_connection_refused", "the server refused the connection"},
        {"failure_http_status", "the server answered {}"},
        {"failure_not_audio", "the server sends no audio stream"},
        {"failure_untrusted_certificate", "the server's certificate is not trusted"},
        {"failure_insecure_redirect", "the server redirected to an unencrypted address"},
        {"failure_no_network", "there is no network connection"},
        {"failure_gave_up", "the stream dropped and did not come back within {} s"},
        {"failure_other", "the stream could not be played"},
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
