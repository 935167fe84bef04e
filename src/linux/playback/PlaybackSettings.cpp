#include "linux/playback/PlaybackSettings.h"

#include "linux/system/Environment.h"
#include "linux/system/XdgPaths.h"

#include <cstdlib>
#include <glib.h>

namespace tunora {
namespace {

std::optional<std::chrono::milliseconds> parseSeconds(const std::string& text) {
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || *end != '\0' || !(seconds >= 0 && seconds < 86400)) {
        return std::nullopt;
    }
    return std::chrono::milliseconds(static_cast<long>(seconds * 1000));
}

} // namespace

PlaybackSettings PlaybackSettings::fromEnvironment() {
    PlaybackSettings settings;
    settings.audioSink = nonEmptyVariable("TUNORA_AUDIO_SINK");
    settings.tlsCaFile = nonEmptyVariable("TUNORA_TLS_CA_FILE");
    settings.redirectCache = xdg::cacheHome() / "tunora" / "redirects.json";
    if (auto giveUp = nonEmptyVariable("TUNORA_RECONNECT_GIVE_UP_SECONDS")) {
        if (auto window = parseSeconds(*giveUp)) {
            settings.reconnectGiveUp = *window;
        } else {
            g_message("TUNORA_RECONNECT_GIVE_UP_SECONDS \"%s\" is not a number of seconds "
                      "below 86400; using %lld",
                      giveUp->c_str(),
                      static_cast<long long>(settings.reconnectGiveUp.count() / 1000));
        }
    }
    return settings;
}

} // namespace tunora
