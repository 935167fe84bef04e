#include "linux/net/Preconnector.h"

#include "linux/net/HttpService.h"

namespace tunora {

Preconnector::Preconnector(std::shared_ptr<HttpService> http, GNetworkMonitor* monitor)
    : http_(std::move(http)),
      monitor_(monitor != nullptr ? G_NETWORK_MONITOR(g_object_ref(monitor)) : nullptr) {}

bool Preconnector::mayWarm() const {
    GNetworkMonitor* monitor = monitor_ ? monitor_.get() : g_network_monitor_get_default();
    return g_network_monitor_get_network_available(monitor) &&
           !g_network_monitor_get_network_metered(monitor);
}

void Preconnector::warm(const std::vector<std::string>& streamUrls) {
    if (!http_->isOpen()) {
        return; // the session is made in the players' warm-up, a second after start
    }
    http_->prepare();
    if (!mayWarm()) {
        return;
    }
    for (const std::string& origin : http_->originsToWarm(streamUrls)) {
        preconnect(origin);
    }
    if (!keepWarm_) {
        keepWarm_.reset(g_timeout_add(keepWarmMs, &Preconnector::onKeepWarm, this));
    }
}

// What is open now stays until libsoup drops it; it is not opened again.
void Preconnector::menuDidClose() {
    http_->menuClosed();
    keepWarm_.reset();
}

// What a preconnect in flight needs when it ends, whoever is still there then.
struct Preconnector::Pending {
    std::weak_ptr<HttpService> http;
    std::string origin;
};

void Preconnector::preconnect(const std::string& origin) {
    // One at a time per host: a second preconnect while the first is still
    // connecting would open a second connection.
    if (!http_->preconnecting(origin)) {
        return;
    }
    // Only its address is used: a preconnect sends nothing.
    GObjectPtr<SoupMessage> message(soup_message_new("GET", (origin + "/").c_str()));
    if (!message) {
        http_->preconnected(origin, false);
        return;
    }
    soup_session_preconnect_async(http_->session(), message.get(), G_PRIORITY_DEFAULT, nullptr,
                                  &Preconnector::onPreconnected, new Pending{http_, origin});
}

// libsoup stops trusting a connection it opened ahead and never used after
// three seconds, and closes it the next time it looks. While a menu is
// open, each held host is looked at often: a connection still trusted is
// left as it is (a preconnect then opens nothing), a dropped one is opened
// again, so there is one at a time and the click finds one ready or on its way.
gboolean Preconnector::onKeepWarm(gpointer self) {
    auto* preconnector = static_cast<Preconnector*>(self);
    const std::vector<std::string> held = preconnector->http_->originsToKeepWarm();
    if (held.empty()) {
        preconnector->keepWarm_.forget();
        return G_SOURCE_REMOVE;
    }
    if (preconnector->mayWarm()) {
        for (const std::string& origin : held) {
            preconnector->preconnect(origin);
        }
    }
    return G_SOURCE_CONTINUE;
}

void Preconnector::onPreconnected(GObject* session, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
    GError* rawError = nullptr;
    const bool connected = soup_session_preconnect_finish(SOUP_SESSION(session), result, &rawError);
    GErrorPtr error(rawError);
    if (!connected) {
        g_debug("no connection opened ahead to %s: %s", pending->origin.c_str(), error->message);
    }
    if (auto http = pending->http.lock()) {
        http->preconnected(pending->origin, connected);
    }
}

} // namespace tunora
