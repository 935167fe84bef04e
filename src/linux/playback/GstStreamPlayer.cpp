#include "linux/playback/GstStreamPlayer.h"

#include "linux/playback/SleepMonitor.h"

#include <algorithm>

namespace tunora {
namespace {

// playbin flags: audio only, no video or subtitles.
constexpr guint playAudioOnly = 0x2;
// How much audio to hold behind the sound that is already playing.
constexpr gint64 jitterBuffer = 3 * GST_SECOND;

GstElement* makeAudioSink(const PlaybackSettings& settings) {
    if (!settings.audioSink) {
        return nullptr; // playbin chooses the automatic sink
    }
    GError* rawError = nullptr;
    GstElement* sink = gst_parse_bin_from_description(settings.audioSink->c_str(), TRUE, &rawError);
    GErrorPtr error(rawError);
    return sink;
}

// souphttpsrc follows redirects itself; its http-headers message tells where it ended up.
bool redirectsToPlainHttp(GstMessage* message) {
    const GstStructure* headers = gst_message_get_structure(message);
    for (const char* field : {"redirection-uri", "uri"}) {
        const gchar* uri = gst_structure_get_string(headers, field);
        if (uri != nullptr && g_ascii_strncasecmp(uri, "http://", 7) == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

GstStreamPlayer::GstStreamPlayer(std::string url, const PlaybackSettings& settings,
                                 std::shared_ptr<SleepMonitor> sleepMonitor)
    : url_(std::move(url)), settings_(settings), sleepMonitor_(std::move(sleepMonitor)) {
    buildPipeline();
    if (sleepMonitor_) {
        sleepMonitor_->add(this);
    }
}

GstStreamPlayer::~GstStreamPlayer() {
    if (sleepMonitor_) {
        sleepMonitor_->remove(this);
    }
    reconnectTimer_.reset();
    busWatch_.reset();
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL); // joins its threads, closes sockets
    }
}

void GstStreamPlayer::buildPipeline() {
    GstElement* playbin = gst_element_factory_make("playbin", nullptr);
    if (playbin == nullptr) {
        phase_ = Phase::failed; // GStreamer's base plugins are missing
        return;
    }
    pipeline_.reset(GST_ELEMENT(gst_object_ref_sink(playbin)));
    g_object_set(playbin, "uri", url_.c_str(), "flags", playAudioOnly, "buffer-duration",
                 jitterBuffer, nullptr);
    if (GstElement* sink = makeAudioSink(settings_)) {
        g_object_set(playbin, "audio-sink", sink, nullptr);
    }
    g_signal_connect(playbin, "source-setup", G_CALLBACK(&GstStreamPlayer::onSourceSetup), this);
    GObjectPtr<GstBus> bus(gst_element_get_bus(playbin));
    busWatch_.reset(gst_bus_add_watch(bus.get(), &GstStreamPlayer::onBusMessage, this));
}

void GstStreamPlayer::onSourceSetup(GstElement*, GstElement* source, gpointer self) {
    const auto* player = static_cast<GstStreamPlayer*>(self);
    GObjectClass* sourceClass = G_OBJECT_GET_CLASS(source);
    if (g_object_class_find_property(sourceClass, "timeout") != nullptr) {
        g_object_set(source, "timeout", guint(player->settings_.networkTimeout.count()), nullptr);
    }
    if (g_object_class_find_property(sourceClass, "user-agent") != nullptr) {
        g_object_set(source, "user-agent", "Tunora", nullptr);
    }
    if (g_object_class_find_property(sourceClass, "ssl-strict") != nullptr) {
        g_object_set(source, "ssl-strict", TRUE, nullptr); // never ignore certificate errors
    }
    if (player->settings_.tlsCaFile &&
        g_object_class_find_property(sourceClass, "tls-database") != nullptr) {
        // souphttpsrc on libsoup 3 ignores ssl-ca-file; a TLS database is honoured.
        GError* rawError = nullptr;
        GObjectPtr<GTlsDatabase> database(
            g_tls_file_database_new(player->settings_.tlsCaFile->c_str(), &rawError));
        GErrorPtr error(rawError);
        if (database) {
            g_object_set(source, "tls-database", database.get(), nullptr);
        }
    }
}

void GstStreamPlayer::play() {
    wantsToPlay_ = true;
    if (phase_ == Phase::connecting || phase_ == Phase::flowing ||
        phase_ == Phase::waitingToReconnect) {
        return; // already on its way
    }
    nextDelay_ = settings_.firstReconnectDelay;
    connect();
}

void GstStreamPlayer::pause() {
    wantsToPlay_ = false;
    reconnectTimer_.reset();
    disconnect();
    phase_ = Phase::stopped;
}

float GstStreamPlayer::rate() const {
    return wantsToPlay_ && phase_ != Phase::failed && phase_ != Phase::stopped ? 1.0f : 0.0f;
}

void GstStreamPlayer::reconnectIfPlaying() {
    if (!wantsToPlay_ || !pipeline_) {
        return;
    }
    reconnectTimer_.reset();
    nextDelay_ = settings_.firstReconnectDelay;
    connect();
}

void GstStreamPlayer::connect() {
    if (!pipeline_) {
        phase_ = Phase::failed;
        return;
    }
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    phase_ = Phase::connecting;
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        streamDropped();
    }
}

void GstStreamPlayer::disconnect() {
    if (pipeline_) {
        gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    }
}

// The stream ended or failed. One that had flowed (or is being brought back)
// is retried until the give-up window closes; one that never played fails now.
void GstStreamPlayer::streamDropped() {
    disconnect();
    const auto now = std::chrono::steady_clock::now();
    if (phase_ == Phase::flowing) {
        droppedAt_ = now;
        nextDelay_ = settings_.firstReconnectDelay;
    } else if (phase_ != Phase::connecting ||
               droppedAt_ == std::chrono::steady_clock::time_point{}) {
        phase_ = Phase::failed;
        return;
    }
    if (now - droppedAt_ >= settings_.reconnectGiveUp) {
        phase_ = Phase::failed;
        droppedAt_ = {};
        return;
    }
    scheduleReconnect();
}

void GstStreamPlayer::scheduleReconnect() {
    phase_ = Phase::waitingToReconnect;
    const auto remaining =
        settings_.reconnectGiveUp - std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - droppedAt_);
    const auto delay = std::clamp(nextDelay_, std::chrono::milliseconds(0),
                                  std::max(remaining, std::chrono::milliseconds(0)));
    nextDelay_ = std::min(nextDelay_ * 2, settings_.longestReconnectDelay);
    reconnectTimer_.reset(
        g_timeout_add(static_cast<guint>(delay.count()), &GstStreamPlayer::onReconnectTimer, this));
}

gboolean GstStreamPlayer::onReconnectTimer(gpointer self) {
    auto* player = static_cast<GstStreamPlayer*>(self);
    player->reconnectTimer_.forget();
    player->connect();
    return G_SOURCE_REMOVE;
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
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline_.get())) {
            GstState newState = GST_STATE_NULL;
            gst_message_parse_state_changed(message, nullptr, &newState, nullptr);
            if (newState == GST_STATE_PLAYING) {
                phase_ = Phase::flowing; // audio reached the sink
                droppedAt_ = {};
                nextDelay_ = settings_.firstReconnectDelay;
            }
        }
        break;
    case GST_MESSAGE_ELEMENT:
        // A redirect from https to http would hand the stream to anyone on the path.
        if (gst_message_has_name(message, "http-headers") &&
            g_str_has_prefix(url_.c_str(), "https:") && redirectsToPlainHttp(message)) {
            phase_ = Phase::connecting;
            droppedAt_ = {};
            streamDropped();
        }
        break;
    case GST_MESSAGE_ERROR:
    case GST_MESSAGE_EOS:
        streamDropped();
        break;
    default:
        break; // buffering messages are ignored on purpose: sound starts at once
    }
}

GstStreamPlayerFactory::GstStreamPlayerFactory(PlaybackSettings settings)
    : settings_(std::move(settings)), sleepMonitor_(std::make_shared<SleepMonitor>()) {}

std::unique_ptr<StreamPlayer> GstStreamPlayerFactory::makePlayer(const std::string& url) {
    // GStreamer starts with the first station rather than with the program, so
    // the tray item shows up sooner; initialising twice is harmless.
    gst_init(nullptr, nullptr);
    return std::make_unique<GstStreamPlayer>(url, settings_, sleepMonitor_);
}

} // namespace tunora
