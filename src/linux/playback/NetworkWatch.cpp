#include "linux/playback/NetworkWatch.h"

namespace tunora {

NetworkWatch::NetworkWatch(GNetworkMonitor* monitor, std::function<void()> onNetworkBack)
    : monitor_(G_NETWORK_MONITOR(g_object_ref(monitor))), onNetworkBack_(std::move(onNetworkBack)),
      handler_(g_signal_connect(monitor, "network-changed",
                                G_CALLBACK(&NetworkWatch::onNetworkChanged), this)),
      available_(g_network_monitor_get_network_available(monitor)) {}

NetworkWatch::~NetworkWatch() {
    g_signal_handler_disconnect(monitor_.get(), handler_);
}

void NetworkWatch::onNetworkChanged(GNetworkMonitor*, gboolean available, gpointer self) {
    auto* watch = static_cast<NetworkWatch*>(self);
    const bool wasAvailable = watch->available_;
    watch->available_ = available;
    // The monitor also reports changes between networks; only a return counts.
    if (available && !wasAvailable) {
        watch->onNetworkBack_();
    }
}

} // namespace tunora
