#pragma once

#include "linux/hotkeys/ShortcutBackend.h"
#include "linux/playback/PlaybackSettings.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// What the listener set for the program in its environment (see tunora(1)),
// read once, at start, and nowhere else. A value the program cannot use is
// left out, and why goes into `ignored`, in the listener's language, for the
// notification that sums up the start.
struct EnvironmentSettings {
    // TUNORA_STREAM_ORIGIN: checked where the stations' hosts are configured.
    std::optional<std::string> streamOrigin;
    // TUNORA_SHORTCUTS: portal or x11.
    ShortcutChoice shortcuts = ShortcutChoice::bySession;
    // TUNORA_AUDIO_SINK: a gst-launch description, checked when the pipeline is made.
    std::optional<std::string> audioSink;
    // TUNORA_TLS_CA_FILE: its certificates are read when the network is first used.
    std::optional<std::string> tlsCaFile;
    // TUNORA_RECONNECT_GIVE_UP_SECONDS.
    std::optional<std::chrono::milliseconds> reconnectGiveUp;
    // TUNORA_UPDATE_FEED_URL, when set; empty: no update checks.
    std::optional<std::string> updateFeedUrl;

    std::vector<std::string> ignored;

    static EnvironmentSettings read();
    // How streams are played with these settings, their redirects kept in the
    // user's cache.
    PlaybackSettings playback() const;
};

} // namespace tunora
