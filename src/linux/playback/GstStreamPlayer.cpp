#include "linux/playback/GstStreamPlayer.h"

#include "core/net/UrlRules.h"
#include "linux/net/HttpExchange.h"
#include "linux/playback/NetworkWatch.h"
#include "linux/playback/SleepMonitor.h"
#include "linux/playback/StreamPipeline.h"
#include "linux/strings/UntrustedText.h"

#include <algorithm>

namespace tunora {
namespace {

using Clock = std::chrono::steady_clock;
using Reason = StreamFailure::Reason;
using Action = ReconnectPolicy::Decision::Action;

// Failures that the network coming back may cure.
bool mayBeTheNetwork(Reason reason) {
    return reason == Reason::hostNotFound || reason == Reason::connectionRefused ||
           reason == Reason::noNetwork || reason == Reason::gaveUp || reason == Reason::other;
}

// Failures that asking the station again cannot cure.
bool isForGood(Reason reason) {
    return reason == Reason::noSoundOutput || reason == Reason::caFileUnusable ||
           reason == Reason::hostNotConfigured;
}

} // namespace

StreamPlayerEnvironment::StreamPlayerEnvironment() = default;
StreamPlayerEnvironment::~StreamPlayerEnvironment() = default;

bool StreamPlayerEnvironment::networkAvailable() const {
    return !network || network->available();
}

StreamPipeline& StreamPlayerEnvironment::sharedPipeline() {
    if (!pipeline) {
        pipeline = std::make_unique<StreamPipeline>(settings);
    }
    return *pipeline;
}

GstStreamPlayer::GstStreamPlayer(std::string url,
                                 std::shared_ptr<StreamPlayerEnvironment> environment)
    : url_(std::move(url)), environment_(std::move(environment)), policy_(settings()) {
    environment_->players.insert(this);
}

GstStreamPlayer::~GstStreamPlayer() {
    environment_->players.erase(this);
    reconnectTimer_.reset();
    disconnect();
}

void GstStreamPlayer::play() {
    wantsToPlay_ = true;
    if (phase_ == Phase::connecting || phase_ == Phase::flowing ||
        phase_ == Phase::waitingToReconnect) {
        if (phase_ == Phase::connecting && stream_ && !silenceCheck_) {
            // Its request stayed out through a pause, unwatched: watched again.
            connectedAt_ = Clock::now();
            scheduleSilenceCheck(silenceAllowed());
        }
        return; // already on its way, or its request is out and now wanted again
    }
    policy_.chosen();
    if (phase_ == Phase::lingering) {
        takeUpAgain();
        return;
    }
    connect();
}

void GstStreamPlayer::pause() {
    wantsToPlay_ = false;
    reconnectTimer_.reset();
    const bool requestOut = stream_ && !stream_->waiting();
    if (phase_ == Phase::connecting && requestOut && !contentType_) {
        return; // the answer decides, as it comes, by what is wanted then
    }
    if ((phase_ == Phase::connecting || phase_ == Phase::flowing) && requestOut) {
        linger();
        return;
    }
    letGo();
}

void GstStreamPlayer::setVolume(double volume) {
    volume_ = volume;
    if (environment_->pipeline && environment_->pipeline->owns(this)) {
        environment_->pipeline->setVolume(volume);
    }
}

float GstStreamPlayer::rate() const {
    return wantsToPlay_ && phase_ != Phase::failed && phase_ != Phase::stopped ? 1.0f : 0.0f;
}

void GstStreamPlayer::revive() {
    if (!wantsToPlay_ || phase_ == Phase::stopped ||
        (phase_ == Phase::failed && !mayBeTheNetwork(failureReason_))) {
        return;
    }
    // The network and logind announce a return in bursts: a connection made
    // after the first announcement is not torn down by the next.
    if (phase_ == Phase::connecting && Clock::now() - connectedAt_ < std::chrono::seconds(1)) {
        return;
    }
    policy_.revived(Clock::now());
    reconnectTimer_.reset();
    connect();
}

// The request waits for its turn from the loop, so that whatever else the
// listener's choice changed (the menu, its export to the panel) goes out
// first, and a burst of choices costs a few requests only.
void GstStreamPlayer::connect() {
    disconnect();
    phase_ = Phase::connecting;
    connectedAt_ = Clock::now();
    audioGiven_ = false;
    scheduleSilenceCheck(silenceAllowed());
    // While nobody wants the stream, what the connection does is nobody's business:
    // its end or failure only lets it go, and is never shown.
    HttpExchange::Handlers handlers{
        .answered = [this](const std::string& type) { answered(type); },
        .body =
            [this](GBytes* audio) {
                if (phase_ != Phase::lingering) {
                    audioGiven_ = true;
                    pipeline().push(this, audio);
                }
            },
        .titled =
            [this](std::string title) {
                if (wantsToPlay_) {
                    // up to 4 KiB of whatever the server sends, control characters included
                    emit(StreamEvent::Kind::titled, {}, untrustedText(title));
                }
            },
        .failed =
            [this](StreamFailure failure) {
                if (!wantsToPlay_) {
                    letGo();
                } else {
                    streamDropped(std::move(failure));
                }
            },
        .ended =
            [this](std::string error) {
                if (!wantsToPlay_) {
                    letGo();
                } else {
                    bodyEnded(error.empty() ? "the server ended the stream" : std::move(error));
                }
            },
        .wanted = [this] { return wantsToPlay_; },
        .hasRoom = [this] { return phase_ == Phase::lingering || pipeline().hasRoom(); },
    };
    stream_ = std::make_unique<HttpExchange>(environment_->http, url_, HttpExchange::Kind::stream,
                                             std::move(handlers));
}

// The sound stops now; the connection stays for a moment, read and thrown away.
void GstStreamPlayer::linger() {
    if (settings().keepPausedConnection.count() <= 0) {
        letGo();
        return;
    }
    silenceCheck_.reset();
    if (environment_->pipeline) {
        environment_->pipeline->stop(this);
    }
    phase_ = Phase::lingering;
    lingerTimer_.reset(g_timeout_add(
        static_cast<guint>(settings().keepPausedConnection.count()),
        [](gpointer self) -> gboolean {
            auto* player = static_cast<GstStreamPlayer*>(self);
            player->lingerTimer_.forget();
            player->letGo();
            return G_SOURCE_REMOVE;
        },
        this));
}

void GstStreamPlayer::letGo() {
    disconnect();
    phase_ = Phase::stopped;
}

// A resume while the paused connection is still open: it is at the live edge.
void GstStreamPlayer::takeUpAgain() {
    lingerTimer_.reset();
    phase_ = Phase::connecting;
    connectedAt_ = Clock::now();
    scheduleSilenceCheck(silenceAllowed());
    startPipeline();
}

void GstStreamPlayer::answered(const std::string& contentType) {
    contentType_ = contentType;
    if (!wantsToPlay_) {
        linger(); // paused while the request was out: ready for a resume a moment longer
        return;
    }
    // What comes now is the station's: its silence is told as that.
    connectedAt_ = Clock::now();
    scheduleSilenceCheck(silenceAllowed());
    startPipeline();
}

void GstStreamPlayer::startPipeline() {
    StreamPipeline::Events events{
        .playing =
            [this] {
                if (phase_ == Phase::connecting) {
                    startedFlowing(); // audio reached the sink
                }
            },
        .ended = [this] { streamDropped({Reason::other, 0, endedBecause_}); },
        .failed = [this](StreamFailure failure) { streamDropped(std::move(failure)); },
        .taken =
            [this] {
                // Only one stream plays; the one that lost the pipeline is paused.
                wantsToPlay_ = false;
                reconnectTimer_.reset();
                disconnect();
                phase_ = Phase::stopped;
            },
    };
    StreamPipeline& shared = pipeline();
    if (!shared.usable()) {
        fail({Reason::other, 0, "no GStreamer pipeline"});
        return;
    }
    // Servers that name no type send MP3 as well.
    const std::string& type = contentType_.value_or("");
    shared.start(this, type.empty() || isMpegType(type), std::move(events));
    shared.setVolume(volume_);
}

// The last of the audio still plays; the drop counts once it has.
void GstStreamPlayer::bodyEnded(std::string why) {
    stream_.reset();
    if (!audioGiven_ || !pipeline().owns(this)) {
        streamDropped({Reason::other, 0, std::move(why)});
        return;
    }
    endedBecause_ = std::move(why);
    pipeline().endOfStream(this);
}

void GstStreamPlayer::disconnect() {
    silenceCheck_.reset();
    lingerTimer_.reset();
    contentType_.reset();
    stream_.reset(); // closes the connection, or gives up its turn
    if (environment_->pipeline) {
        environment_->pipeline->stop(this);
    }
}

void GstStreamPlayer::startedFlowing() {
    phase_ = Phase::flowing;
    policy_.flowing(Clock::now());
    emit(StreamEvent::Kind::flowing);
}

// The stream ended or failed: retried, given up on or failed as the policy says.
void GstStreamPlayer::streamDropped(StreamFailure failure) {
    if (isForGood(failure.reason)) {
        fail(std::move(failure));
        return;
    }
    if (stream_) {
        stream_->unplayable(); // the next try asks the station itself
    }
    if (!wantsToPlay_) {
        letGo(); // paused meanwhile: nothing to retry, nothing to tell
        return;
    }
    disconnect();
    const bool wasFlowing = phase_ == Phase::flowing;
    const ReconnectPolicy::Decision decision = policy_.dropped(Clock::now(), wasFlowing);
    if (decision.action == Action::failNow) {
        fail(std::move(failure));
        return;
    }
    if (decision.action == Action::giveUp) {
        if (failure.reason == Reason::noSound) {
            fail(std::move(failure)); // says more than that it did not come back
            return;
        }
        const auto seconds = std::chrono::round<std::chrono::seconds>(settings().reconnectGiveUp);
        fail({Reason::gaveUp, static_cast<int>(seconds.count()), failure.technical});
        return;
    }
    if (wasFlowing) {
        emit(StreamEvent::Kind::reconnecting);
    }
    phase_ = Phase::waitingToReconnect;
    reconnectTimer_.reset(g_timeout_add(
        static_cast<guint>(decision.delay.count()),
        [](gpointer self) -> gboolean {
            auto* player = static_cast<GstStreamPlayer*>(self);
            player->reconnectTimer_.forget();
            player->connect();
            return G_SOURCE_REMOVE;
        },
        this));
}

void GstStreamPlayer::fail(StreamFailure failure) {
    disconnect();
    reconnectTimer_.reset();
    phase_ = Phase::failed;
    if (!environment_->networkAvailable() && mayBeTheNetwork(failure.reason)) {
        failure.reason = Reason::noNetwork;
    }
    failureReason_ = failure.reason;
    // The server's own words (a reason phrase, a redirect target) go to the log.
    failure.technical = untrustedText(failure.technical, 1000);
    g_debug("%s failed: %s", url_.c_str(), failure.technical.c_str());
    emit(StreamEvent::Kind::failed, std::move(failure));
}

// How long the stream may be silent: once the server answered, the silence
// limit; before, the connection's network timeout as well.
std::chrono::milliseconds GstStreamPlayer::silenceAllowed() const {
    return phase_ == Phase::flowing || contentType_
               ? settings().silenceLimit
               : settings().silenceLimit + settings().networkTimeout;
}

// One wake-up per silence limit while sound flows, none in between.
void GstStreamPlayer::scheduleSilenceCheck(std::chrono::milliseconds delay) {
    silenceCheck_.reset(g_timeout_add(
        static_cast<guint>(std::max<std::chrono::milliseconds::rep>(delay.count(), 1)),
        [](gpointer self) -> gboolean {
            auto* player = static_cast<GstStreamPlayer*>(self);
            player->silenceCheck_.forget();
            player->checkForSilence();
            return G_SOURCE_REMOVE;
        },
        this));
}

void GstStreamPlayer::checkForSilence() {
    if (!wantsToPlay_ || (phase_ != Phase::connecting && phase_ != Phase::flowing)) {
        return;
    }
    const auto limit = silenceAllowed();
    auto lastSound = connectedAt_;
    if (environment_->pipeline && environment_->pipeline->owns(this)) {
        lastSound = std::max(lastSound, environment_->pipeline->lastAudio());
    }
    const auto silent =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - lastSound);
    if (silent < limit) {
        scheduleSilenceCheck(limit - silent);
        return;
    }
    streamDropped(
        {Reason::noSound, 0, "no audio decoded for " + std::to_string(silent.count()) + " ms"});
}

void GstStreamPlayer::emit(StreamEvent::Kind kind, StreamFailure failure, std::string title) {
    if (onEvent_) {
        onEvent_(StreamEvent{kind, std::move(failure), std::move(title)});
    }
}

} // namespace tunora
