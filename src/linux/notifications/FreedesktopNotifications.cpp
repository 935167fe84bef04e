#include "linux/notifications/FreedesktopNotifications.h"

#include "linux/glib/GObjectPtr.h"

#include <gio/gio.h>

namespace tunora {
namespace {

using Completion = std::function<void(bool)>;

void onReply(GObject* bus, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Completion> completion(static_cast<Completion*>(data));
    GError* rawError = nullptr;
    GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &rawError));
    GErrorPtr error(rawError);
    (*completion)(reply != nullptr);
}

void onBus(GObject*, GAsyncResult* result, gpointer data) {
    GError* rawError = nullptr;
    GObjectPtr<GDBusConnection> bus(g_bus_get_finish(result, &rawError));
    GErrorPtr error(rawError);
    if (!bus) {
        std::unique_ptr<Completion> completion(static_cast<Completion*>(data));
        (*completion)(false);
        return;
    }
    g_dbus_connection_call(bus.get(), "org.freedesktop.Notifications",
                           "/org/freedesktop/Notifications", "org.freedesktop.Notifications",
                           "GetCapabilities", nullptr, G_VARIANT_TYPE("(as)"),
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, &onReply, data);
}

} // namespace

void FreedesktopNotifications::requestAuthorization(unsigned,
                                                    std::function<void(bool)> completion) {
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, &onBus, new Completion(std::move(completion)));
}

} // namespace tunora
