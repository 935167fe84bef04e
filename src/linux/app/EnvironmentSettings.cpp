#include "linux/app/EnvironmentSettings.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"
#include "linux/system/XdgPaths.h"

#include <cerrno>
#include <cstdlib>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tunora {
namespace {

std::optional<std::chrono::milliseconds> parseSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = g_ascii_strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(seconds >= 0 && seconds < 86400)) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

// Why a file cannot be read, or none when it can (a cheap look: its
// certificates are read only when the network is first used).
std::optional<std::string> unreadable(const std::string& path) {
    struct stat info{};
    if (::stat(path.c_str(), &info) != 0 || ::access(path.c_str(), R_OK) != 0) {
        return g_strerror(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return GettextStrings::translate(N_("not a file"));
    }
    return std::nullopt;
}

std::string ignoring(const char* name, const std::string& value, const std::string& why) {
    return fillInAll(GettextStrings::translate(N_("{}=\u201c{}\u201d is ignored: {}")),
                     {name, value, why});
}

} // namespace

EnvironmentSettings EnvironmentSettings::read() {
    EnvironmentSettings settings;
    settings.streamOrigin = nonEmptyVariable("TUNORA_STREAM_ORIGIN");
    if (const auto choice = nonEmptyVariable("TUNORA_SHORTCUTS")) {
        if (*choice == "portal" || *choice == "x11") {
            settings.shortcuts = *choice == "portal" ? ShortcutChoice::portal : ShortcutChoice::x11;
        } else {
            settings.ignored.push_back(ignoring(
                "TUNORA_SHORTCUTS", *choice,
                GettextStrings::translate(N_("it is neither portal nor x11, so the session "
                                             "decides"))));
        }
    }
    settings.audioSink = nonEmptyVariable("TUNORA_AUDIO_SINK");
    if (auto caFile = nonEmptyVariable("TUNORA_TLS_CA_FILE")) {
        if (const auto why = unreadable(*caFile)) {
            settings.ignored.push_back(
                fillInAll(GettextStrings::translate(N_("TUNORA_TLS_CA_FILE=\u201c{}\u201d cannot "
                                                       "be read ({}): https stations are refused")),
                          {*caFile, *why}));
        }
        settings.tlsCaFile = std::move(caFile); // never the system's certificates instead
    }
    if (const auto giveUp = nonEmptyVariable("TUNORA_RECONNECT_GIVE_UP_SECONDS")) {
        settings.reconnectGiveUp = parseSeconds(*giveUp);
        if (!settings.reconnectGiveUp) {
            const auto window = std::chrono::duration_cast<std::chrono::seconds>(
                PlaybackSettings{}.reconnectGiveUp);
            settings.ignored.push_back(ignoring(
                "TUNORA_RECONNECT_GIVE_UP_SECONDS", *giveUp,
                fillIn(GettextStrings::translate(N_("it is not a number of seconds below 86400, "
                                                    "so a dropped stream is retried for {} s")),
                       std::to_string(window.count()))));
        }
    }
    // Set but empty, it turns the update check off.
    if (const char* feed = std::getenv("TUNORA_UPDATE_FEED_URL")) {
        settings.updateFeedUrl = feed;
    }
    return settings;
}

PlaybackSettings EnvironmentSettings::playback() const {
    PlaybackSettings settings;
    settings.audioSink = audioSink;
    settings.tlsCaFile = tlsCaFile;
    settings.reconnectGiveUp = reconnectGiveUp.value_or(settings.reconnectGiveUp);
    settings.redirectCache = xdg::cacheHome() / "tunora" / "redirects.json";
    return settings;
}

} // namespace tunora
