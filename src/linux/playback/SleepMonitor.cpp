#include "linux/playback/SleepMonitor.h"

namespace tunora {

SleepMonitor::SleepMonitor(std::function<void()> onWake)
    : onWake_(std::move(onWake)), cancellable_(g_cancellable_new()) {
    g_bus_get(G_BUS_TYPE_SYSTEM, cancellable_.get(), &SleepMonitor::onBusReady, this);
}

SleepMonitor::~SleepMonitor() {
    g_cancellable_cancel(cancellable_.get()); // onBusReady then never touches this
    if (bus_ && subscription_ != 0) {
        g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
    }
}

void SleepMonitor::onBusReady(GObject*, GAsyncResult* result, gpointer self) {
    GError* rawError = nullptr;
    GDBusConnection* bus = g_bus_get_finish(result, &rawError);
    GErrorPtr error(rawError);
    if (bus == nullptr) {
        return; // no system bus (or cancelled): nothing to watch
    }
    auto* monitor = static_cast<SleepMonitor*>(self);
    monitor->bus_.reset(bus);
    monitor->subscription_ = g_dbus_connection_signal_subscribe(
        bus, "org.freedesktop.login1", "org.freedesktop.login1.Manager", "PrepareForSleep",
        "/org/freedesktop/login1", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        &SleepMonitor::onPrepareForSleep, monitor, nullptr);
}

void SleepMonitor::onPrepareForSleep(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar*, GVariant* parameters, gpointer self) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(b)"))) {
        return;
    }
    gboolean goingToSleep = FALSE;
    g_variant_get(parameters, "(b)", &goingToSleep);
    if (goingToSleep) {
        return;
    }
    static_cast<SleepMonitor*>(self)->onWake_();
}

} // namespace tunora
