#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/playback/PlaybackSettings.h"
#include "platform/StreamPlayer.h"

#include <atomic>
#include <chrono>
#include <gio/gio.h>
#include <gst/gst.h>
#include <memory>
#include <set>
#include <string>
#include <thread>

namespace tunora {

class NetworkWatch;
class SleepMonitor;
class GstStreamPlayer;

// What the stream players of one factory share: their settings, who is alive,
// and the watches that bring streams back after the network or the machine.
struct StreamPlayerEnvironment {
    PlaybackSettings settings;
    std::set<GstStreamPlayer*> players;
    std::unique_ptr<SleepMonitor> sleepMonitor;
    std::unique_ptr<NetworkWatch> network;
    // The CA bundle of TUNORA_TLS_CA_FILE, read once; none: the system's.
    GObjectPtr<GTlsDatabase> tlsDatabase;
    // Why that bundle could not be read; https streams are refused while set.
    std::string tlsProblem;

    bool networkAvailable() const;
};

// One live stream on a GStreamer playbin, driven from the GLib main loop.
//
// Sound starts with the first decoded audio; a few seconds of buffer build up
// behind it. A stream that never delivered audio fails at once. One that drops
// after audio flowed is reconnected with backoff, rate staying 1, until the
// give-up window closes; playing briefly between drops does not reopen that
// window, so a server that keeps breaking is given up on. A connection that
// stays open but decodes to no audio counts as a drop. Failures are reported
// to the owner with their reason. Pausing lets the connection go, so resuming
// starts at the live edge. A stream that failed for lack of network, or is
// waiting to reconnect, starts again when the network returns or the machine
// wakes up.
class GstStreamPlayer : public StreamPlayer {
  public:
    GstStreamPlayer(std::string url, std::shared_ptr<StreamPlayerEnvironment> environment);
    ~GstStreamPlayer() override;
    GstStreamPlayer(const GstStreamPlayer&) = delete;
    GstStreamPlayer& operator=(const GstStreamPlayer&) = delete;

    void play() override;
    void pause() override;
    float rate() const override;
    void setEventHandler(EventHandler handler) override { onEvent_ = std::move(handler); }
    void setVolume(double volume) override;

    // Starts again now if the listener still wants this stream and what stopped
    // it may have been the network (after a return of the network, or a wake-up).
    void revive();

  private:
    enum class Phase { stopped, connecting, flowing, waitingToReconnect, failed };

    void buildPipeline();
    void connect();
    void open(const std::string& uri);
    void start();
    void followRedirect(const std::string& target);
    void disconnect();
    void startedFlowing();
    void streamDropped(StreamFailure failure);
    void fail(StreamFailure failure);
    void diagnose(StreamFailure failure);
    void cancelDiagnosis();
    void scheduleReconnect();
    void scheduleSilenceCheck(std::chrono::milliseconds delay);
    void checkForSilence();
    void handleMessage(GstMessage* message);
    void emit(StreamEvent::Kind kind, StreamFailure failure = {}, std::string title = {});
    void announceTitle(GstMessage* message);
    const PlaybackSettings& settings() const { return environment_->settings; }

    static gboolean onBusMessage(GstBus* bus, GstMessage* message, gpointer self);
    static void onSourceSetup(GstElement* playbin, GstElement* source, gpointer self);
    static gboolean onReconnectTimer(gpointer self);
    static gboolean onFailedToStart(gpointer self);
    static gboolean onStartTimer(gpointer self);
    static GstPadProbeReturn onDecodedAudio(GstPad* pad, GstPadProbeInfo* info, gpointer self);

    std::string url_;
    std::string uri_; // what is being fetched: the station's address or where it redirected
    int redirects_ = 0;
    std::shared_ptr<StreamPlayerEnvironment> environment_;
    EventHandler onEvent_;
    GObjectPtr<GstElement> pipeline_;
    GSourceId busWatch_;
    GSourceId reconnectTimer_;
    GSourceId failedToStart_;
    GSourceId startTimer_;
    GSourceId silenceCheck_;
    // When decoded audio last passed, or the connection started; written on the
    // streaming thread.
    std::atomic<std::chrono::steady_clock::rep> lastAudio_{0};
    GObjectPtr<GCancellable> diagnosis_; // while finding out why a stream failed
    bool running_ = false;               // the pipeline is on its way to playing (not NULL)
    std::chrono::steady_clock::time_point stoppedAt_{};
    Phase phase_ = Phase::stopped;
    StreamFailure::Reason failureReason_ = StreamFailure::Reason::other;
    bool wantsToPlay_ = false;
    std::chrono::milliseconds nextDelay_{};
    // When the current run of trouble began; empty while none is going on.
    std::chrono::steady_clock::time_point droppedAt_{};
    std::chrono::steady_clock::time_point flowingSince_{};
};

// Makes GStreamer stream players that share the settings and the watches. The
// network monitor is GLib's default unless one is given.
class GstStreamPlayerFactory : public StreamPlayerFactory {
  public:
    explicit GstStreamPlayerFactory(PlaybackSettings settings,
                                    GNetworkMonitor* networkMonitor = nullptr);
    ~GstStreamPlayerFactory() override;
    GstStreamPlayerFactory(const GstStreamPlayerFactory&) = delete;
    GstStreamPlayerFactory& operator=(const GstStreamPlayerFactory&) = delete;
    std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) override;

  private:
    static constexpr guint warmUpDelay = 1000; // ms after the program starts
    static void loadGStreamer();
    void startWatches();

    std::shared_ptr<StreamPlayerEnvironment> environment_;
    GObjectPtr<GNetworkMonitor> networkMonitor_;
    GSourceId warmUp_;
    std::thread loader_;
};

} // namespace tunora
