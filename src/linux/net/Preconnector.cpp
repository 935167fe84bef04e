#include "linux/net/Preconnector.h"

#include "linux/net/StreamNetwork.h"

namespace tunora {

Preconnector::Preconnector(std::shared_ptr<StreamNetwork> network, GNetworkMonitor* monitor)
    : network_(std::move(network)),
      monitor_(monitor != nullptr ? G_NETWORK_MONITOR(g_object_ref(monitor)) : nullptr) {}

bool Preconnector::mayWarm() const {
    GNetworkMonitor* monitor = monitor_ ? monitor_.get() : g_network_monitor_get_default();
    return g_network_monitor_get_network_available(monitor) &&
           !g_network_monitor_get_network_metered(monitor);
}

void Preconnector::warm(const std::vector<std::string>& streamUrls) {
    if (!network_->session()) {
        return; // the players' session is made in their warm-up, a second after start
    }
    network_->prepare();
    if (!mayWarm()) {
        return;
    }
    const auto now = WarmLimit::Clock::now();
    std::vector<std::string> origins;
    for (const std::string& url : streamUrls) {
        for (std::string& origin : network_->redirects().originsToWarm(url, now)) {
            origins.push_back(std::move(origin));
        }
    }
    for (const std::string& origin : network_->warmLimit().take(origins, now)) {
        preconnect(origin);
    }
    network_->warmLimit().hold(origins, now);
    if (!keepWarm_) {
        keepWarm_.reset(g_timeout_add(keepWarmMs, &Preconnector::onKeepWarm, this));
    }
}

// What is open now stays until libsoup drops it; it is not opened again.
void Preconnector::menuDidClose() {
    network_->warmLimit().release();
    keepWarm_.reset();
}

// What a preconnect in flight needs when it ends, whoever is still there then.
struct Preconnector::Pending {
    std::weak_ptr<StreamNetwork> network;
    std::string origin;
};

void Preconnector::preconnect(const std::string& origin) {
    // One at a time per host: a second preconnect while the first is still
    // connecting would open a second connection.
    if (!network_->preconnecting().insert(origin).second) {
        return;
    }
    // Only its address is used: a preconnect sends nothing.
    GObjectPtr<SoupMessage> message(soup_message_new("GET", (origin + "/").c_str()));
    if (!message) {
        network_->preconnecting().erase(origin);
        return;
    }
    soup_session_preconnect_async(network_->session(), message.get(), G_PRIORITY_DEFAULT, nullptr,
                                  &Preconnector::onPreconnected, new Pending{network_, origin});
}

// libsoup stops trusting a connection it opened ahead and never used after
// three seconds, and closes it the next time it looks. While a menu is
// open, each held host is looked at often: a connection still trusted is
// left as it is (a preconnect then opens nothing), a dropped one is opened
// again, so there is one at a time and the click finds one ready or on its way.
gboolean Preconnector::onKeepWarm(gpointer self) {
    auto* preconnector = static_cast<Preconnector*>(self);
    const std::vector<std::string> held =
        preconnector->network_->warmLimit().held(WarmLimit::Clock::now());
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
    auto network = pending->network.lock();
    if (!network) {
        return;
    }
    network->preconnecting().erase(pending->origin);
    if (!connected) {
        g_debug("no connection opened ahead to %s: %s", pending->origin.c_str(), error->message);
        // Not kept trying while the menu is open: a host that refuses now
        // would be asked four times a second.
        network->warmLimit().used(pending->origin);
    }
}

} // namespace tunora
