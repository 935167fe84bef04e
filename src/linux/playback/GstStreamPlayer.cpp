#include "linux/playback/GstStreamPlayer.h"

#include "linux/playback/ConnectionDiagnosis.h"
#include "linux/playback/NetworkWatch.h"
#include "linux/playback/SleepMonitor.h"
#include "linux/playback/StreamFailureClassifier.h"
#include "linux/strings/UntrustedText.h"

#include <algorithm>
#include <vector>

namespace tunora {
namespace {

using Clock = std::chrono::steady_clock;
using Reason = StreamFailure::Reason;

// playbin flags: audio only, no video or subtitles.
constexpr guint playAudioOnly = 0x2;
// How long a stopped stream rests before the next start (see open()).
constexpr std::chrono::milliseconds restartPause(200);
// How much audio to hold behind the sound that is already playing.
constexpr gint64 jitterBuffer = 3 * GST_SECOND;

// The sound server's share: a radio needs no low latency, and handing it audio
// in 100 ms pieces instead of GStreamer's 10 ms wakes the program a tenth as
// often. The first piece still goes out as soon as it is decoded.
constexpr gint64 sinkBufferMicroseconds = 1000000;
constexpr gint64 sinkPieceMicroseconds = 100000;

void sizeSinkBuffer(GstElement*, GstElement* element, gpointer) {
    GObjectClass* elementClass = G_OBJECT_GET_CLASS(element);
    if (g_object_class_find_property(elementClass, "buffer-time") != nullptr &&
        g_object_class_find_property(elementClass, "latency-time") != nullptr) {
        g_object_set(element, "buffer-time", sinkBufferMicroseconds, "latency-time",
                     sinkPieceMicroseconds, nullptr);
    }
}

// Buffering levels come several times a second while a stream plays, and sound
// starts without waiting for them: they are dropped on the streaming thread,
// so they never wake the main loop.
GstBusSyncReply dropBufferingLevels(GstBus*, GstMessage* message, gpointer) {
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_BUFFERING) {
        return GST_BUS_PASS;
    }
    gst_message_unref(message); // a dropped message is the handler's to release
    return GST_BUS_DROP;
}

GstElement* makeAudioSink(const PlaybackSettings& settings) {
    if (!settings.audioSink) {
        return nullptr; // playbin chooses the automatic sink
    }
    GError* rawError = nullptr;
    GstElement* sink = gst_parse_bin_from_description(settings.audioSink->c_str(), TRUE, &rawError);
    GErrorPtr error(rawError);
    if (sink == nullptr) {
        g_message("TUNORA_AUDIO_SINK \"%s\" does not work (%s); using the default output",
                  settings.audioSink->c_str(), error ? error->message : "unknown error");
    }
    return sink;
}

// How many redirects of an https stream are followed before it counts as failed.
constexpr int mostRedirects = 5;

bool isHttps(const std::string& uri) {
    return g_ascii_strncasecmp(uri.c_str(), "https:", 6) == 0;
}

// Where a redirect of an http-headers message points, resolved against the
// address it answered; empty when the message is no redirect.
std::string redirectTarget(GstMessage* message) {
    const GstStructure* headers = gst_message_get_structure(message);
    guint status = 0;
    const gchar* base = gst_structure_get_string(headers, "uri");
    const GstStructure* response = nullptr;
    if (!gst_structure_get_uint(headers, "http-status-code", &status) || status < 300 ||
        status >= 400 || base == nullptr ||
        !gst_structure_get(headers, "response-headers", GST_TYPE_STRUCTURE, &response, nullptr)) {
        return {};
    }
    std::unique_ptr<GstStructure, decltype(&gst_structure_free)> owned(
        const_cast<GstStructure*>(response), &gst_structure_free);
    for (gint i = 0; i < gst_structure_n_fields(response); ++i) {
        const gchar* name = gst_structure_nth_field_name(response, i);
        const gchar* location = g_ascii_strcasecmp(name, "location") == 0
                                    ? gst_structure_get_string(response, name)
                                    : nullptr;
        if (location != nullptr) {
            GCharPtr resolved(g_uri_resolve_relative(base, location, G_URI_FLAGS_NONE, nullptr));
            return resolved ? resolved.get() : "";
        }
    }
    return {};
}

// Failures that the network coming back may cure.
bool mayBeTheNetwork(Reason reason) {
    return reason == Reason::hostNotFound || reason == Reason::connectionRefused ||
           reason == Reason::noNetwork || reason == Reason::gaveUp || reason == Reason::other;
}

} // namespace

bool StreamPlayerEnvironment::networkAvailable() const {
    return !network || network->available();
}

GstStreamPlayer::GstStreamPlayer(std::string url,
                                 std::shared_ptr<StreamPlayerEnvironment> environment)
    : url_(std::move(url)), environment_(std::move(environment)) {
    buildPipeline();
    environment_->players.insert(this);
}

GstStreamPlayer::~GstStreamPlayer() {
    environment_->players.erase(this);
    cancelDiagnosis();
    reconnectTimer_.reset();
    failedToStart_.reset();
    startTimer_.reset();
    silenceCheck_.reset();
    busWatch_.reset();
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL); // joins its threads, closes sockets
    }
}

void GstStreamPlayer::buildPipeline() {
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (playbin == nullptr) {
        g_message("GStreamer's playbin is missing (install gstreamer1.0-plugins-base)");
        phase_ = Phase::failed;
        return;
    }
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
    g_object_set(playbin, "uri", url_.c_str(), "flags", playAudioOnly, "buffer-duration",
                 jitterBuffer, nullptr);
    if (GstElement* sink = makeAudioSink(settings())) {
        g_object_set(playbin, "audio-sink", sink, nullptr); // as the listener configured it
    } else {
        g_signal_connect(playbin, "element-setup", G_CALLBACK(&sizeSinkBuffer), nullptr);
    }
    g_signal_connect(playbin, "source-setup", G_CALLBACK(&GstStreamPlayer::onSourceSetup), this);
    // Decoded audio passes this filter: where it stops, the stream fell silent.
    if (GstElement* tap = gst_element_factory_make("identity", nullptr)) {
        GObjectPtr<GstPad> pad(gst_element_get_static_pad(tap, "src"));
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, &GstStreamPlayer::onDecodedAudio,
                          this, nullptr);
        g_object_set(playbin, "audio-filter", tap, nullptr);
    }
    GObjectPtr<GstBus> bus(gst_element_get_bus(playbin));
    gst_bus_set_sync_handler(bus.get(), &dropBufferingLevels, nullptr, nullptr);
    busWatch_.reset(gst_bus_add_watch(bus.get(), &GstStreamPlayer::onBusMessage, this));
}

void GstStreamPlayer::onSourceSetup(GstElement*, GstElement* source, gpointer self) {
    const auto* player = static_cast<GstStreamPlayer*>(self);
    const PlaybackSettings& settings = player->settings();
    GObjectClass* sourceClass = G_OBJECT_GET_CLASS(source);
    if (g_object_class_find_property(sourceClass, "timeout") != nullptr) {
        g_object_set(source, "timeout", guint(settings.networkTimeout.count()), nullptr);
    }
    if (g_object_class_find_property(sourceClass, "user-agent") != nullptr) {
        g_object_set(source, "user-agent", "Tunora", nullptr);
    }
    if (g_object_class_find_property(sourceClass, "ssl-strict") != nullptr) {
        g_object_set(source, "ssl-strict", TRUE, nullptr); // never ignore certificate errors
    }
    // An https stream's redirects are checked before they are followed, so not
    // a single request of it goes out in plain text.
    if (isHttps(player->uri_) &&
        g_object_class_find_property(sourceClass, "automatic-redirect") != nullptr) {
        g_object_set(source, "automatic-redirect", FALSE, nullptr);
    }
    GTlsDatabase* database = player->environment_->tlsDatabase.get();
    if (database != nullptr &&
        g_object_class_find_property(sourceClass, "tls-database") != nullptr) {
        // souphttpsrc on libsoup 3 ignores ssl-ca-file; a TLS database is honoured.
        g_object_set(source, "tls-database", database, nullptr);
    }
}

void GstStreamPlayer::play() {
    wantsToPlay_ = true;
    cancelDiagnosis();
    if (phase_ == Phase::connecting || phase_ == Phase::flowing ||
        phase_ == Phase::waitingToReconnect) {
        return; // already on its way
    }
    droppedAt_ = {};
    nextDelay_ = settings().firstReconnectDelay;
    connect();
}

void GstStreamPlayer::pause() {
    wantsToPlay_ = false;
    cancelDiagnosis();
    reconnectTimer_.reset();
    disconnect();
    phase_ = Phase::stopped;
}

void GstStreamPlayer::setVolume(double volume) {
    if (pipeline_) {
        g_object_set(pipeline_.get(), "volume", volume, nullptr);
    }
}

float GstStreamPlayer::rate() const {
    return wantsToPlay_ && phase_ != Phase::failed && phase_ != Phase::stopped ? 1.0f : 0.0f;
}

void GstStreamPlayer::revive() {
    if (!wantsToPlay_ || !pipeline_ || phase_ == Phase::stopped ||
        (phase_ == Phase::failed && !mayBeTheNetwork(failureReason_))) {
        return;
    }
    cancelDiagnosis();
    // A new run of trouble: the stream gets the whole window to come back.
    droppedAt_ = Clock::now();
    reconnectTimer_.reset();
    nextDelay_ = settings().firstReconnectDelay;
    connect();
}

void GstStreamPlayer::connect() {
    if (!pipeline_) {
        fail({Reason::other, 0, "no playbin"});
        return;
    }
    redirects_ = 0;
    open(url_);
}

// The HTTP source closes its last connection on a thread of its own after it
// has stopped; starting the next one at once races with that and has crashed
// inside libsoup under quick play/pause. So a start waits a moment after a
// stop, and a burst of toggles opens nothing until it is over.
void GstStreamPlayer::open(const std::string& uri) {
    disconnect();
    uri_ = uri;
    phase_ = Phase::connecting;
    const auto sinceStop = Clock::now() - stoppedAt_;
    if (sinceStop < restartPause) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(restartPause - sinceStop);
        startTimer_.reset(g_timeout_add(guint(wait.count()), &GstStreamPlayer::onStartTimer, this));
        return;
    }
    // Started from the loop, so that whatever else the listener's choice changed
    // (the menu, its export to the panel) goes out first.
    startTimer_.reset(g_idle_add(&GstStreamPlayer::onStartTimer, this));
}

gboolean GstStreamPlayer::onStartTimer(gpointer self) {
    auto* player = static_cast<GstStreamPlayer*>(self);
    player->startTimer_.forget();
    player->start();
    return G_SOURCE_REMOVE;
}

void GstStreamPlayer::start() {
    if (isHttps(uri_) && !environment_->tlsProblem.empty()) {
        fail({Reason::caFileUnusable, 0, environment_->tlsProblem});
        return;
    }
    g_object_set(pipeline_.get(), "uri", uri_.c_str(), nullptr);
    running_ = true;
    lastAudio_ = Clock::now().time_since_epoch().count();
    // A connection gets its network timeout to deliver the first sound.
    scheduleSilenceCheck(settings().silenceLimit + settings().networkTimeout);
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // Reported from the loop, as every other failure is, never from inside play().
        failedToStart_.reset(g_idle_add(&GstStreamPlayer::onFailedToStart, this));
    }
}

gboolean GstStreamPlayer::onFailedToStart(gpointer self) {
    auto* player = static_cast<GstStreamPlayer*>(self);
    player->failedToStart_.forget();
    if (player->phase_ == Phase::connecting) {
        player->streamDropped({Reason::other, 0, "the pipeline did not start"});
    }
    return G_SOURCE_REMOVE;
}

// Only https streams get here: their source does not follow redirects itself.
void GstStreamPlayer::followRedirect(const std::string& target) {
    if (!isHttps(target)) {
        // to plain http, which would hand the stream to anyone on the path
        fail({Reason::insecureRedirect, 0, "redirected to " + target});
    } else if (++redirects_ > mostRedirects) {
        fail({Reason::other, 0, "too many redirects"});
    } else {
        open(target);
    }
}

void GstStreamPlayer::disconnect() {
    failedToStart_.reset();
    startTimer_.reset();
    silenceCheck_.reset();
    if (pipeline_ && running_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
        running_ = false;
        stoppedAt_ = Clock::now();
    }
}

void GstStreamPlayer::startedFlowing() {
    phase_ = Phase::flowing;
    flowingSince_ = Clock::now();
    emit(StreamEvent::Kind::flowing);
}

// The stream ended or failed. One that had flowed (or is being brought back)
// is retried until the give-up window closes; one that never played fails now.
void GstStreamPlayer::streamDropped(StreamFailure failure) {
    disconnect();
    const auto now = Clock::now();
    const bool wasFlowing = phase_ == Phase::flowing;
    if (wasFlowing) {
        // Only a stream that played steadily since the last drop opens a new
        // window; one that breaks again soon after each start is still failing.
        if (droppedAt_ == Clock::time_point{} || now - flowingSince_ >= settings().steadyPlay) {
            droppedAt_ = now;
            nextDelay_ = settings().firstReconnectDelay;
        }
    } else if (droppedAt_ == Clock::time_point{}) {
        if (failure.reason == Reason::other && environment_->networkAvailable()) {
            diagnose(std::move(failure)); // the source did not say why
        } else {
            fail(std::move(failure));
        }
        return;
    }
    if (now - droppedAt_ >= settings().reconnectGiveUp) {
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
    scheduleReconnect();
}

// Silent (rate 0) at once; the failure is told once its reason is known.
void GstStreamPlayer::diagnose(StreamFailure failure) {
    phase_ = Phase::failed;
    failureReason_ = Reason::other;
    diagnosis_.reset(g_cancellable_new());
    diagnoseConnection(uri_, environment_->tlsDatabase.get(), diagnosis_.get(),
                       [this, technical = std::move(failure.technical)](Reason reason) {
                           diagnosis_.reset();
                           fail({reason, 0, technical});
                       });
}

void GstStreamPlayer::cancelDiagnosis() {
    if (diagnosis_) {
        g_cancellable_cancel(diagnosis_.get());
        diagnosis_.reset();
    }
}

void GstStreamPlayer::fail(StreamFailure failure) {
    disconnect();
    reconnectTimer_.reset();
    phase_ = Phase::failed;
    droppedAt_ = {};
    if (!environment_->networkAvailable() && mayBeTheNetwork(failure.reason)) {
        failure.reason = Reason::noNetwork;
    }
    failureReason_ = failure.reason;
    // The server's own words (a reason phrase, a redirect target) go to the log.
    failure.technical = untrustedText(failure.technical, 1000);
    g_debug("%s failed: %s", url_.c_str(), failure.technical.c_str());
    emit(StreamEvent::Kind::failed, std::move(failure));
}

void GstStreamPlayer::scheduleReconnect() {
    phase_ = Phase::waitingToReconnect;
    const auto remaining =
        settings().reconnectGiveUp -
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - droppedAt_);
    const auto delay = std::clamp(nextDelay_, std::chrono::milliseconds(0),
                                  std::max(remaining, std::chrono::milliseconds(0)));
    nextDelay_ = std::min(nextDelay_ * 2, settings().longestReconnectDelay);
    reconnectTimer_.reset(
        g_timeout_add(static_cast<guint>(delay.count()), &GstStreamPlayer::onReconnectTimer, this));
}

GstPadProbeReturn GstStreamPlayer::onDecodedAudio(GstPad*, GstPadProbeInfo*, gpointer self) {
    static_cast<GstStreamPlayer*>(self)->lastAudio_ = Clock::now().time_since_epoch().count();
    return GST_PAD_PROBE_OK;
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
    if (phase_ != Phase::connecting && phase_ != Phase::flowing) {
        return;
    }
    const auto limit = phase_ == Phase::flowing
                           ? settings().silenceLimit
                           : settings().silenceLimit + settings().networkTimeout;
    const auto silent = std::chrono::duration_cast<std::chrono::milliseconds>(
        Clock::now() - Clock::time_point(Clock::duration(lastAudio_.load())));
    if (silent < limit) {
        scheduleSilenceCheck(limit - silent);
        return;
    }
    streamDropped(
        {Reason::noSound, 0, "no audio decoded for " + std::to_string(silent.count()) + " ms"});
}

gboolean GstStreamPlayer::onReconnectTimer(gpointer self) {
    auto* player = static_cast<GstStreamPlayer*>(self);
    player->reconnectTimer_.forget();
    player->connect();
    return G_SOURCE_REMOVE;
}

void GstStreamPlayer::emit(StreamEvent::Kind kind, StreamFailure failure, std::string title) {
    if (onEvent_) {
        onEvent_(StreamEvent{kind, std::move(failure), std::move(title)});
    }
}

// Radio streams name the song in their ICY metadata, which GStreamer hands on
// as the title tag: up to 4 KiB of whatever the server sends, control
// characters included.
void GstStreamPlayer::announceTitle(GstMessage* message) {
    GstTagList* rawTags = nullptr;
    gst_message_parse_tag(message, &rawTags);
    std::unique_ptr<GstTagList, decltype(&gst_tag_list_unref)> tags(rawTags, &gst_tag_list_unref);
    gchar* rawTitle = nullptr;
    if (tags && gst_tag_list_get_string(tags.get(), GST_TAG_TITLE, &rawTitle)) {
        GCharPtr title(rawTitle);
        emit(StreamEvent::Kind::titled, {}, untrustedText(title.get()));
    }
}

gboolean GstStreamPlayer::onBusMessage(GstBus*, GstMessage* message, gpointer self) {
    static_cast<GstStreamPlayer*>(self)->handleMessage(message);
    return G_SOURCE_CONTINUE;
}

void GstStreamPlayer::handleMessage(GstMessage* message) {
    if (phase_ != Phase::connecting && phase_ != Phase::flowing) {
        return; // leftovers of a connection we already let go
    }
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_STATE_CHANGED:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline_.get()) &&
            phase_ == Phase::connecting) {
            GstState newState = GST_STATE_NULL;
            gst_message_parse_state_changed(message, nullptr, &newState, nullptr);
            if (newState == GST_STATE_PLAYING) {
                startedFlowing(); // audio reached the sink
            }
        }
        break;
    case GST_MESSAGE_ELEMENT:
        if (gst_message_has_name(message, "http-headers") && isHttps(uri_)) {
            if (const std::string target = redirectTarget(message); !target.empty()) {
                followRedirect(target);
            }
        }
        break;
    case GST_MESSAGE_TAG:
        announceTitle(message);
        break;
    case GST_MESSAGE_ERROR:
        streamDropped(classifyStreamError(message));
        break;
    case GST_MESSAGE_EOS:
        streamDropped({Reason::other, 0, "the server ended the stream"});
        break;
    default:
        break;
    }
}

GstStreamPlayerFactory::GstStreamPlayerFactory(PlaybackSettings settings,
                                               GNetworkMonitor* networkMonitor)
    : environment_(std::make_shared<StreamPlayerEnvironment>()),
      networkMonitor_(networkMonitor ? G_NETWORK_MONITOR(g_object_ref(networkMonitor)) : nullptr) {
    environment_->settings = std::move(settings);
    // GStreamer and the plugins a station needs load a moment after the program
    // starts, on a thread of their own: not with the program, so the tray item
    // shows up sooner, and not on the first click, so the first station plays
    // as fast as the next ones.
    warmUp_.reset(g_timeout_add(
        warmUpDelay,
        [](gpointer self) -> gboolean {
            auto* factory = static_cast<GstStreamPlayerFactory*>(self);
            factory->warmUp_.forget();
            factory->loader_ = std::thread(&GstStreamPlayerFactory::loadGStreamer);
            return G_SOURCE_REMOVE;
        },
        this));
}

GstStreamPlayerFactory::~GstStreamPlayerFactory() {
    if (loader_.joinable()) {
        loader_.join();
    }
}

void GstStreamPlayerFactory::loadGStreamer() {
    gst_init(nullptr, nullptr);
    // What a station's pipeline loads when it is first made: HTTP, ICY, MP3, sound.
    for (const char* name :
         {"playback", "soup", "icydemux", "audioparsers", "mpg123", "typefindfunctions",
          "pulseaudio", "autodetect", "audioconvert", "audioresample", "volume", "coreelements"}) {
        if (GstPlugin* plugin = gst_plugin_load_by_name(name)) {
            gst_object_unref(plugin);
        }
    }
}

std::unique_ptr<StreamPlayer> GstStreamPlayerFactory::makePlayer(const std::string& url) {
    warmUp_.reset();
    if (loader_.joinable()) {
        loader_.join(); // a click before the loading is done waits for it
    }
    if (!environment_->sleepMonitor) {
        gst_init(nullptr, nullptr);
        startWatches();
    }
    return std::make_unique<GstStreamPlayer>(url, environment_);
}

void GstStreamPlayerFactory::startWatches() {
    // The environment outlives its watches, which it owns.
    StreamPlayerEnvironment* environment = environment_.get();
    auto reviveAll = [environment] {
        const std::vector<GstStreamPlayer*> players(environment->players.begin(),
                                                    environment->players.end());
        for (GstStreamPlayer* player : players) {
            player->revive();
        }
    };
    if (const auto& caFile = environment->settings.tlsCaFile) {
        GError* rawError = nullptr;
        environment->tlsDatabase.reset(g_tls_file_database_new(caFile->c_str(), &rawError));
        GErrorPtr error(rawError);
        if (!environment->tlsDatabase) {
            // The listener chose this file instead of the system's certificates:
            // falling back to those would trust what they did not.
            environment->tlsProblem = error ? error->message : "cannot be read";
            g_message(
                "cannot use TUNORA_TLS_CA_FILE %s for streams (%s); https streams are refused",
                caFile->c_str(), environment->tlsProblem.c_str());
        }
    }
    environment->sleepMonitor = std::make_unique<SleepMonitor>(reviveAll);
    environment->network = std::make_unique<NetworkWatch>(
        networkMonitor_ ? networkMonitor_.get() : g_network_monitor_get_default(), reviveAll);
}

} // namespace tunora
