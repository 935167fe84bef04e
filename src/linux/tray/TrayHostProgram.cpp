#include "linux/tray/TrayHostProgram.h"

#include "linux/glib/DBusReply.h"

#include <fstream>
#include <string_view>

namespace tunora {
namespace {

constexpr const char* busName = "org.freedesktop.DBus";
constexpr const char* busPath = "/org/freedesktop/DBus";
constexpr std::string_view kdeHostPrefix = "org.kde.StatusNotifierHost";
constexpr std::string_view freedesktopHostPrefix = "org.freedesktop.StatusNotifierHost";
constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";

// A process's own name, as the kernel keeps it (the file it runs, at most 15
// bytes): what `ps` shows.
std::string processName(guint32 pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The first host name in the bus's list, else the watcher's.
std::string hostOrWatcher(GVariant* names) {
    GVariantIter iter;
    g_variant_iter_init(&iter, names);
    const gchar* name = nullptr;
    while (g_variant_iter_next(&iter, "&s", &name)) {
        const std::string_view named(name);
        if (named.starts_with(kdeHostPrefix) || named.starts_with(freedesktopHostPrefix)) {
            return name;
        }
    }
    return watcherName;
}

} // namespace

TrayHostProgram::TrayHostProgram(std::function<void(const std::string&)> found)
    : found_(std::move(found)) {}

TrayHostProgram::~TrayHostProgram() {
    if (cancellable_) {
        g_cancellable_cancel(cancellable_.get());
    }
}

void TrayHostProgram::lookUp(GDBusConnection* bus) {
    if (cancellable_) {
        g_cancellable_cancel(cancellable_.get());
    }
    cancellable_.reset(g_cancellable_new());
    g_dbus_connection_call(bus, busName, busPath, busName, "ListNames", nullptr,
                           G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, -1, cancellable_.get(),
                           &TrayHostProgram::onNames, this);
}

void TrayHostProgram::onNames(GObject* bus, GAsyncResult* result, gpointer data) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return;
    }
    auto* self = static_cast<TrayHostProgram*>(data);
    if (!reply.value) {
        self->found_("");
        return;
    }
    const GVariantPtr names(g_variant_get_child_value(reply.value.get(), 0));
    g_dbus_connection_call(
        G_DBUS_CONNECTION(bus), busName, busPath, busName, "GetConnectionUnixProcessID",
        g_variant_new("(s)", hostOrWatcher(names.get()).c_str()), G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, -1, self->cancellable_.get(), &TrayHostProgram::onProcessId, self);
}

void TrayHostProgram::onProcessId(GObject* bus, GAsyncResult* result, gpointer data) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return;
    }
    guint32 pid = 0;
    if (reply.value) {
        g_variant_get(reply.value.get(), "(u)", &pid);
    }
    static_cast<TrayHostProgram*>(data)->found_(pid == 0 ? "" : processName(pid));
}

} // namespace tunora
