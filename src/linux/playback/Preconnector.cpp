#include "linux/playback/Preconnector.h"

#include "linux/playback/GstStreamPlayer.h"

namespace tunora {

Preconnector::Preconnector(std::shared_ptr<StreamPlayerEnvironment> environment,
                           GNetworkMonitor* monitor)
    : environment_(std::move(environment)),
      monitor_(monitor != nullptr ? G_NETWORK_MONITOR(g_object_ref(monitor)) : nullptr) {}

void Preconnector::warm(const std::vector<std::string>& streamUrls) {
    SoupSession* session = environment_->session.get();
    if (session == nullptr) {
        return; // the players' session is made in their warm-up, a second after start
    }
    environment_->prepareNetwork();
    GNetworkMonitor* monitor = monitor_ ? monitor_.get() : g_network_monitor_get_default();
    if (!g_network_monitor_get_network_available(monitor) ||
        g_network_monitor_get_network_metered(monitor)) {
        return;
    }
    const auto now = WarmLimit::Clock::now();
    std::vector<std::string> origins;
    for (const std::string& url : streamUrls) {
        for (std::string& origin : environment_->redirects.originsToWarm(url, now)) {
            origins.push_back(std::move(origin));
        }
    }
    for (const std::string& origin : environment_->warmLimit.take(origins, now)) {
        // Only its address is used: a preconnect sends nothing.
        GObjectPtr<SoupMessage> message(soup_message_new("GET", (origin + "/").c_str()));
        if (!message) {
            continue;
        }
        soup_session_preconnect_async(session, message.get(), G_PRIORITY_DEFAULT, nullptr,
                                      &Preconnector::onPreconnected, g_strdup(origin.c_str()));
    }
}

void Preconnector::onPreconnected(GObject* session, GAsyncResult* result, gpointer origin) {
    GError* rawError = nullptr;
    if (!soup_session_preconnect_finish(SOUP_SESSION(session), result, &rawError)) {
        GErrorPtr error(rawError);
        g_debug("no connection opened ahead to %s: %s", static_cast<char*>(origin), error->message);
    }
    g_free(origin);
}

} // namespace tunora
