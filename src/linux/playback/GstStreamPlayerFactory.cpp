#include "linux/playback/GstStreamPlayerFactory.h"

#include "linux/net/HttpService.h"
#include "linux/playback/NetworkWatch.h"
#include "linux/playback/SleepMonitor.h"
#include "linux/playback/StreamPipeline.h"

#include <vector>

namespace tunora {

GstStreamPlayerFactory::GstStreamPlayerFactory(PlaybackSettings settings,
                                               std::shared_ptr<HttpService> http,
                                               GNetworkMonitor* networkMonitor)
    : environment_(std::make_shared<StreamPlayerEnvironment>()),
      networkMonitor_(networkMonitor ? G_NETWORK_MONITOR(g_object_ref(networkMonitor)) : nullptr) {
    environment_->http = std::move(http);
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
            // Made here and only attached by the loader as it ends, so the main
            // thread always knows the source, whether it has run or not.
            factory->loaded_.reset(g_idle_source_new());
            g_source_set_callback(factory->loaded_.get(), &GstStreamPlayerFactory::onLoaded,
                                  factory, nullptr);
            factory->loader_ = std::thread(&GstStreamPlayerFactory::loadGStreamer, factory);
            return G_SOURCE_REMOVE;
        },
        this));
}

GstStreamPlayerFactory::~GstStreamPlayerFactory() {
    if (loader_.joinable()) {
        loader_.join();
    }
    loaded_.reset();
}

void GstStreamPlayerFactory::loadGStreamer() {
    gst_init(nullptr, nullptr);
    // What the pipeline loads when it is made: appsrc, MP3, sound.
    for (const char* name : {"app", "audioparsers", "mpg123", "pulseaudio", "autodetect",
                             "audioconvert", "audioresample", "volume"}) {
        if (GstPlugin* plugin = gst_plugin_load_by_name(name)) {
            gst_object_unref(plugin);
        }
    }
    g_source_attach(loaded_.get(), nullptr);
}

// Back on the main thread: the session, the watches and the pipeline, up to a
// connection to the sound server, are made now, so the first click only
// connects to the station.
gboolean GstStreamPlayerFactory::onLoaded(gpointer self) {
    auto* factory = static_cast<GstStreamPlayerFactory*>(self);
    factory->loader_.join();
    if (!factory->environment_->sleepMonitor) {
        factory->startWatches();
        factory->environment_->sharedPipeline().prepare();
    }
    return G_SOURCE_REMOVE;
}

std::unique_ptr<StreamPlayer> GstStreamPlayerFactory::makePlayer(const std::string& url) {
    warmUp_.reset();
    if (loader_.joinable()) {
        loader_.join(); // a click before the loading is done waits for it
    }
    loaded_.reset();
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
    // The program's one session, on the main loop: its connections are opened,
    // read and closed on the main thread only. TLS and the system's
    // certificates come later: a listener who never opens the menu nor
    // chooses a station should not carry them.
    environment->http->open();
    environment->sleepMonitor = std::make_unique<SleepMonitor>(reviveAll);
    environment->network = std::make_unique<NetworkWatch>(
        networkMonitor_ ? networkMonitor_.get() : g_network_monitor_get_default(), reviveAll);
}

} // namespace tunora
