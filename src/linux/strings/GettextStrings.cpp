#include "linux/strings/GettextStrings.h"

#include <libintl.h>
#include <map>

namespace tunora {
namespace {

const std::map<std::string, const char*>& englishTexts() {
    static const std::map<std::string, const char*> texts = {
        {"launch_at_login", N_("Launch at Login")},
        {"keyboard_shortcuts", N_("Keyboard Shortcuts")},
        {"hotkey_none", N_("None")},
        {"hotkey_slot", N_("Shortcut {}")},
        {"edit_hotkey_bindings", N_("Change Keys\u2026")},
        {"check_for_updates", N_("Check for Updates\u2026")},
        {"quit", N_("Quit")},
        {"shortcut_not_saved", N_("Tunora could not save the shortcut")},
        {"login_item_not_changed", N_("Tunora could not change Launch at Login")},
        {"connecting", N_("connecting\u2026")},
        {"reconnecting", N_("reconnecting\u2026")},
        {"station_cannot_be_played", N_("{} cannot be played")},
        {"failure_host_not_found", N_("the server's name was not found")},
        {"failure_connection_refused", N_("the server refused the connection")},
        {"failure_http_status", N_("the server answered {}")},
        {"failure_not_audio", N_("the server sends no audio stream")},
        {"failure_untrusted_certificate", N_("the server's certificate is not trusted")},
        {"failure_insecure_redirect", N_("the server redirected to an unencrypted address")},
        {"failure_no_network", N_("there is no network connection")},
        {"failure_gave_up", N_("the stream dropped and did not come back within {} s")},
        {"failure_no_sound", N_("the station sends no sound")},
        {"failure_ca_file_unusable", N_("the certificates of TUNORA_TLS_CA_FILE cannot be read")},
        {"failure_other", N_("the stream could not be played")},
        {"failure_host_not_configured", N_("no stream address is set: give it one in\n{}\n"
                                           "under \u201c{}\u201d or its host \u201c{}\u201d\n"
                                           "(man tunora, section STREAM HOSTS)")},
        {"failure_hosts_file_ignored",
         N_("fix {}:\nit was ignored for an error, so this station has no address\n"
            "(tunora --list-stations names the error)")},
        {"failure_no_sound_output",
         N_("there is no sound output (is PulseAudio or PipeWire running?)")},
        {"slot_bound_to_no_station",
         N_("{} is bound to \u201c{}\u201d, which is no station: choose one under Keyboard "
            "Shortcuts")},
        {"key_held_elsewhere",
         N_("{} is taken by another program: free it there,\nor bind another key to "
            "\u201ctunora --slot {}\u201d (man tunora)")},
        {"keys_held_elsewhere",
         N_("{} are taken by another program: free them there,\nor bind other keys to "
            "\u201ctunora --slot N\u201d (man tunora)")},
        {"volume_not_saved", N_("the volume could not be saved: {}")},
        {"station_not_saved", N_("the station could not be kept for the next start: {}")},
    };
    return texts;
}

} // namespace

GettextStrings::GettextStrings(const std::filesystem::path& localeDirectory) {
    bindDomain(localeDirectory);
}

void GettextStrings::bindDomain(const std::filesystem::path& localeDirectory) {
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
