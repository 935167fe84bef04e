#include "linux/playback/PlaybackSettings.h"

#include <cstdlib>

namespace tunora {
namespace {

std::optional<std::string> nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

} // namespace

PlaybackSettings PlaybackSettings::fromEnvironment() {
    PlaybackSettings settings;
    settings.audioSink = nonEmptyVariable("TUNORA_AUDIO_SINK");
    settings.tlsCaFile = nonEmptyVariable("TUNORA_TLS_CA_FILE");
    if (auto giveUp = nonEmptyVariable("TUNORA_RECONNECT_GIVE_UP_SECONDS")) {
        char* end = nullptr;
        const double seconds = std::strtod(giveUp->c_str(), &end);
        if (end != giveUp->c_str() && *end == '\0' && seconds >= 0 && seconds < 86400) {
            settings.reconnectGiveUp = std::chrono::milliseconds(static_cast<long>(seconds * 1000));
        }
    }
    return settings;
}

} // namespace tunora
