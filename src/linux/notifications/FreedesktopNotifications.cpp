#include "linux/notifications/FreedesktopNotifications.h"

#include "core/notifications/ReadingTime.h"
#include "linux/glib/GObjectPtr.h"
#include "linux/strings/Markup.h"

#include <gio/gio.h>

namespace tunora {
namespace {

using Completion = std::function<void(bool)>;

constexpr const char* serverName = "org.freedesktop.Notifications";
constexpr const char* serverPath = "/org/freedesktop/Notifications";

void onCapabilities(GObject* bus, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Completion> completion(static_cast<Completion*>(data));
    GError* rawError = nullptr;
    GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &rawError));
    GErrorPtr error(rawError);
    (*completion)(reply != nullptr);
}

void askForCapabilities(GObject*, GAsyncResult* result, gpointer data) {
    GError* rawError = nullptr;
    GObjectPtr<GDBusConnection> bus(g_bus_get_finish(result, &rawError));
    GErrorPtr error(rawError);
    if (!bus) {
        std::unique_ptr<Completion> completion(static_cast<Completion*>(data));
        (*completion)(false);
        return;
    }
    g_dbus_connection_call(bus.get(), serverName, serverPath, serverName, "GetCapabilities",
                           nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000,
                           nullptr, &onCapabilities, data);
}

struct Notification {
    std::string title;
    std::string body;
};

void onNotified(GObject* bus, GAsyncResult* result, gpointer) {
    GError* rawError = nullptr;
    GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &rawError));
    GErrorPtr error(rawError); // no notification server: the log has the notice
}

GVariant* notifyParameters(const Notification& notification) {
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry",
                          g_variant_new_string("org.tunora.Tunora"));
    return g_variant_new("(susssasa{sv}i)", "Tunora", 0u, "org.tunora.Tunora",
                         notification.title.c_str(), notification.body.c_str(), &actions, &hints,
                         readingTimeMs(notification.title, notification.body));
}

bool announcesBodyMarkup(GVariant* capabilities) {
    GVariantIter* names = nullptr;
    g_variant_get(capabilities, "(as)", &names);
    bool found = false;
    const gchar* name = nullptr;
    while (g_variant_iter_loop(names, "&s", &name)) {
        found = found || g_strcmp0(name, "body-markup") == 0;
    }
    g_variant_iter_free(names);
    return found;
}

// A server that announces body-markup parses the body as markup: a reason or
// a song title with "&" or "<" in it is escaped, to show as it is.
void notifyWithCapabilities(GObject* bus, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Notification> notification(static_cast<Notification*>(data));
    GError* rawError = nullptr;
    GVariantPtr capabilities(
        g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &rawError));
    GErrorPtr error(rawError);
    if (capabilities && announcesBodyMarkup(capabilities.get())) {
        notification->body = markupEscaped(notification->body);
    }
    g_dbus_connection_call(G_DBUS_CONNECTION(bus), serverName, serverPath, serverName, "Notify",
                           notifyParameters(*notification), G_VARIANT_TYPE("(u)"),
                           G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &onNotified, nullptr);
}

void sendNotification(GObject*, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Notification> notification(static_cast<Notification*>(data));
    GError* rawError = nullptr;
    GObjectPtr<GDBusConnection> bus(g_bus_get_finish(result, &rawError));
    GErrorPtr error(rawError);
    if (!bus) {
        return;
    }
    g_dbus_connection_call(bus.get(), serverName, serverPath, serverName, "GetCapabilities",
                           nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr,
                           &notifyWithCapabilities, notification.release());
}

} // namespace

void FreedesktopNotifications::requestAuthorization(unsigned,
                                                    std::function<void(bool)> completion) {
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, &askForCapabilities,
              new Completion(std::move(completion)));
}

void FreedesktopNotifications::postBeforeExit(const std::string& title, const std::string& body) {
    GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (bus) {
        GVariantPtr reply(g_dbus_connection_call_sync(
            bus.get(), serverName, serverPath, serverName, "Notify",
            notifyParameters(Notification{title, body}), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr));
    }
}

void FreedesktopNotifications::post(const std::string& title, const std::string& body) {
    g_bus_get(G_BUS_TYPE_SESSION, nullptr, &sendNotification, new Notification{title, body});
}

} // namespace tunora
