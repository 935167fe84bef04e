#pragma once

#include "platform/ProblemLog.h"

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace tunora {

// How streams are played; EnvironmentSettings says what the listener chose.
struct PlaybackSettings {
    // TUNORA_AUDIO_SINK: a gst-launch description of the audio output; none: automatic.
    std::optional<std::string> audioSink;
    // TUNORA_TLS_CA_FILE: a CA bundle to trust instead of the system's; when it
    // cannot be read, https streams are refused rather than trusted to the system.
    std::optional<std::string> tlsCaFile;
    // TUNORA_RECONNECT_GIVE_UP_SECONDS: how long a dropped stream is retried.
    std::chrono::milliseconds reconnectGiveUp = std::chrono::seconds(120);
    std::chrono::milliseconds firstReconnectDelay = std::chrono::milliseconds(250);
    std::chrono::milliseconds longestReconnectDelay = std::chrono::seconds(8);
    // A stream that played this long since its last drop starts a new give-up window.
    std::chrono::milliseconds steadyPlay = std::chrono::seconds(30);
    // A connection that delivers nothing for this long counts as dropped.
    std::chrono::seconds networkTimeout = std::chrono::seconds(10);
    // A stream that decodes no audio for this long counts as dropped, even while
    // its server keeps sending.
    std::chrono::milliseconds silenceLimit = std::chrono::seconds(5);

    // How long a paused stream's connection stays open (read and thrown away)
    // for a resume that needs no new request.
    std::chrono::milliseconds keepPausedConnection = std::chrono::seconds(1);
    // Where the stations' redirect targets are kept between runs; none: not kept.
    std::optional<std::filesystem::path> redirectCache;
    // Where a sound output or a part that does not work is told; none: the log only.
    std::shared_ptr<ProblemLog> problems;
};

} // namespace tunora
