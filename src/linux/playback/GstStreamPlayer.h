#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/playback/PlaybackSettings.h"
#include "linux/playback/ReconnectPolicy.h"
#include "platform/StreamPlayer.h"

#include <chrono>
#include <gio/gio.h>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace tunora {

class HttpExchange;
class HttpService;
class NetworkWatch;
class SleepMonitor;
class StreamPipeline;
class GstStreamPlayer;

// What the stream players of one factory share: their settings, who is alive,
// the program's HTTP service and the pipeline, and the watches that bring
// streams back after the network or the machine.
struct StreamPlayerEnvironment {
    StreamPlayerEnvironment();
    ~StreamPlayerEnvironment();

    PlaybackSettings settings;
    std::set<GstStreamPlayer*> players;
    std::unique_ptr<SleepMonitor> sleepMonitor;
    std::unique_ptr<NetworkWatch> network;
    std::shared_ptr<HttpService> http;
    std::unique_ptr<StreamPipeline> pipeline; // made with the first stream

    bool networkAvailable() const;
    StreamPipeline& sharedPipeline();
};

// One live stream, asked of the program's HTTP service (an HttpExchange of a
// station's stream) and played on the shared pipeline, driven from the GLib
// main loop.
//
// Sound starts with the first decoded audio; the queue before the decoder
// fills behind it. How drops are retried and given up on is ReconnectPolicy's
// to say; a connection that stays open but decodes to no audio counts as a
// drop, told as silence once its server answered. Failures are reported to
// the owner with their reason.
//
// What the listener wants (wantsToPlay_) is kept apart from what the network
// is doing (phase_). A command only changes what is wanted; the network
// catches up when it can: a request that is out is not repeated, and its
// answer is taken or let go by what is wanted when it comes. Pausing stops the
// sound at once and lets the connection go a moment later; until then it is
// read and thrown away, so it stays at the live edge and a resume in that
// moment needs no new request. A stream that failed for lack of network, or is
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
    enum class Phase { stopped, connecting, flowing, lingering, waitingToReconnect, failed };

    void connect();
    void disconnect();
    void linger();
    void letGo();
    void takeUpAgain();
    void startPipeline();
    void answered(const std::string& contentType);
    void bodyEnded(std::string why);
    void startedFlowing();
    void streamDropped(StreamFailure failure);
    void fail(StreamFailure failure);
    std::chrono::milliseconds silenceAllowed() const;
    void scheduleSilenceCheck(std::chrono::milliseconds delay);
    void checkForSilence();
    void emit(StreamEvent::Kind kind, StreamFailure failure = {}, std::string title = {});
    const PlaybackSettings& settings() const { return environment_->settings; }
    StreamPipeline& pipeline() { return environment_->sharedPipeline(); }

    std::string url_;
    std::shared_ptr<StreamPlayerEnvironment> environment_;
    EventHandler onEvent_;
    std::unique_ptr<HttpExchange> stream_; // once asked for, until let go
    ReconnectPolicy policy_;
    GSourceId reconnectTimer_;
    GSourceId silenceCheck_;
    GSourceId lingerTimer_;
    std::optional<std::string> contentType_; // of this connection's answer, once it came
    std::chrono::steady_clock::time_point connectedAt_{};
    bool audioGiven_ = false;  // some of this connection's audio went to the pipeline
    std::string endedBecause_; // why the body ended, while its last audio plays
    Phase phase_ = Phase::stopped;
    StreamFailure::Reason failureReason_ = StreamFailure::Reason::other;
    bool wantsToPlay_ = false;
    double volume_ = 1.0;
};

} // namespace tunora
