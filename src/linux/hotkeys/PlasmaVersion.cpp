#include "linux/hotkeys/PlasmaVersion.h"

#include "linux/glib/DBusReply.h"
#include "linux/glib/GObjectPtr.h"

#include <cstdio>
#include <memory>
#include <utility>

namespace tunora {
namespace {

constexpr gint versionCallTimeoutMs = 2000;

void onVersion(GObject* bus, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<PlasmaAnswer> answer(static_cast<PlasmaAnswer*>(data));
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return;
    }
    bool before64 = false;
    if (reply.value) {
        GVariant* value = nullptr;
        g_variant_get(reply.value.get(), "(v)", &value);
        const GVariantPtr owned(value);
        before64 = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) &&
                   isPlasmaBefore64(g_variant_get_string(value, nullptr));
    }
    (*answer)(before64);
}

} // namespace

bool isPlasmaBefore64(const char* version) {
    int major = 0;
    int minor = 0;
    if (version == nullptr || std::sscanf(version, "%d.%d", &major, &minor) != 2 || major < 5) {
        return false;
    }
    return major == 5 || (major == 6 && minor < 4);
}

// KDE programs publish their QCoreApplication on /MainApplication, with the
// application version as a property.
void askWhetherPlasmaBefore64(GDBusConnection* bus, GCancellable* cancellable,
                              PlasmaAnswer answer) {
    g_dbus_connection_call(
        bus, "org.kde.plasmashell", "/MainApplication", "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", "org.qtproject.Qt.QCoreApplication", "applicationVersion"),
        G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, versionCallTimeoutMs, cancellable,
        &onVersion, new PlasmaAnswer(std::move(answer)));
}

} // namespace tunora
