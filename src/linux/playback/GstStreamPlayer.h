#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/playback/PlaybackSettings.h"
#include "platform/StreamPlayer.h"

#include <chrono>
#include <gst/gst.h>
#include <memory>
#include <string>

namespace tunora {

class SleepMonitor;

// One live stream on a GStreamer playbin, driven from the GLib main loop.
//
// Sound starts with the first decoded audio; a few seconds of buffer build up
// behind it. A stream that never delivered audio fails at once (rate 0). One
// that drops after audio flowed is reconnected with backoff for a while, rate
// staying 1, before it gives up. Pausing lets the connection go, so resuming
// starts at the live edge.
class GstStreamPlayer : public StreamPlayer {
  public:
    GstStreamPlayer(std::string url, const PlaybackSettings& settings,
                    std::shared_ptr<SleepMonitor> sleepMonitor);
    ~GstStreamPlayer() override;
    GstStreamPlayer(const GstStreamPlayer&) = delete;
    GstStreamPlayer& operator=(const GstStreamPlayer&) = delete;

    void play() override;
    void pause() override;
    float rate() const override;

    // Reconnects now if the stream should be playing (after the machine woke up).
    void reconnectIfPlaying();

  private:
    enum class Phase { stopped, connecting, flowing, waitingToReconnect, failed };

    void buildPipeline();
    void connect();
    void disconnect();
    void streamDropped();
    void scheduleReconnect();
    void handleMessage(GstMessage* message);

    static gboolean onBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    static void onSourceSetup(GstElement* playbin, GstElement* source, gpointer self);
    static gboolean onReconnectTimer(gpointer self);

    std::string url_;
    PlaybackSettings settings_;
    std::shared_ptr<SleepMonitor> sleepMonitor_;
    GObjectPtr<GstElement> pipeline_;
    GSourceId busWatch_;
    GSourceId reconnectTimer_;
    Phase phase_ = Phase::stopped;
    bool wantsToPlay_ = false;
    std::chrono::milliseconds nextDelay_{};
    std::chrono::steady_clock::time_point droppedAt_{};
};

// Makes GStreamer stream players that share the settings and the wake-up watch.
class GstStreamPlayerFactory : public StreamPlayerFactory {
  public:
    explicit GstStreamPlayerFactory(PlaybackSettings settings);
    std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) override;

  private:
    PlaybackSettings settings_;
    std::shared_ptr<SleepMonitor> sleepMonitor_;
};

} // namespace tunora
