#include "linux/hotkeys/PortalNameOwner.h"

#include "linux/glib/DBusReply.h"
#include "linux/hotkeys/PlasmaVersion.h"
#include "linux/hotkeys/PortalNames.h"
#include "linux/hotkeys/PortalRequest.h"
#include "linux/system/Environment.h"

namespace tunora {
namespace {

constexpr gint callTimeoutMs = PortalRequest::deadlineSeconds * 1000;

// GNOME names itself in XDG_CURRENT_DESKTOP, as "GNOME" or e.g. "ubuntu:GNOME".
bool inGnome() {
    const auto desktops = nonEmptyVariable("XDG_CURRENT_DESKTOP");
    return desktops && (":" + *desktops + ":").find(":GNOME:") != std::string::npos;
}

bool isUnknown(const GError* error) {
    return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT);
}

} // namespace

PortalNameOwner::PortalNameOwner(std::string applicationId, Handlers handlers)
    : applicationId_(std::move(applicationId)), handlers_(std::move(handlers)),
      ownerCalls_(g_cancellable_new()) {
    nameWatch_ =
        g_bus_watch_name(G_BUS_TYPE_SESSION, portal::busName, G_BUS_NAME_WATCHER_FLAGS_AUTO_START,
                         &onAppeared, &onVanished, this, nullptr);
}

PortalNameOwner::~PortalNameOwner() {
    g_cancellable_cancel(ownerCalls_.get());
    if (bus_) {
        g_dbus_connection_close(bus_.get(), nullptr, nullptr, nullptr);
    }
    g_bus_unwatch_name(nameWatch_);
}

void PortalNameOwner::onAppeared(GDBusConnection*, const gchar*, const gchar* owner,
                                 gpointer self) {
    auto* names = static_cast<PortalNameOwner*>(self);
    names->seen_ = true;
    if (names->owner_ == owner || (names->handlers_.wanted && !names->handlers_.wanted())) {
        return;
    }
    if (!names->owner_.empty()) {
        names->handlers_.ended(false); // replaced without a word in between
    }
    names->forget();
    names->owner_ = owner;
    // A connection of our own for each owner: its new unique name gives the
    // session a path that no stale session of an earlier portal holds (the
    // desktop's backend outlives the portal), and no other part of the program
    // can have called the portal on it before we say who we are.
    GError* rawError = nullptr;
    const GCharPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &rawError));
    const GErrorPtr error(rawError);
    if (!address) {
        names->handlers_.failed(std::string("no session bus (") + error->message + ")");
        return;
    }
    g_dbus_connection_new_for_address(
        address.get(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, names->ownerCalls_.get(), &onConnected, names);
}

void PortalNameOwner::onConnected(GObject*, GAsyncResult* result, gpointer self) {
    GError* rawError = nullptr;
    GObjectPtr<GDBusConnection> bus(g_dbus_connection_new_for_address_finish(result, &rawError));
    const GErrorPtr error(rawError);
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return; // another owner, or we are gone
    }
    auto* names = static_cast<PortalNameOwner*>(self);
    if (!bus) {
        names->handlers_.failed(std::string("no session bus (") + error->message + ")");
        return;
    }
    names->bus_ = std::move(bus);
    // Who we are comes first: the portal keys our session on it.
    g_dbus_connection_call(names->bus_.get(), portal::busName, portal::objectPath, portal::registry,
                           "Register",
                           g_variant_new("(sa{sv})", names->applicationId_.c_str(), nullptr),
                           G_VARIANT_TYPE("()"), G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs,
                           names->ownerCalls_.get(), &onRegistered, names);
}

void PortalNameOwner::onVanished(GDBusConnection*, const gchar*, gpointer self) {
    auto* names = static_cast<PortalNameOwner*>(self);
    const bool first = !names->seen_;
    names->seen_ = true;
    names->handlers_.ended(first);
    names->forget();
}

// Its calls and its connection go with an owner; the next one starts afresh.
void PortalNameOwner::forget() {
    g_cancellable_cancel(ownerCalls_.get());
    ownerCalls_.reset(g_cancellable_new());
    if (bus_) {
        g_dbus_connection_close(bus_.get(), nullptr, nullptr, nullptr);
        bus_.reset();
    }
    owner_.clear();
    portal_ = {};
}

void PortalNameOwner::onRegistered(GObject* bus, GAsyncResult* result, gpointer self) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return; // another owner, or we are gone
    }
    auto* names = static_cast<PortalNameOwner*>(self);
    // Portals before 1.19.3 have no registry: they know us from our scope, or not at all.
    if (reply.error && !isUnknown(reply.error.get())) {
        g_dbus_error_strip_remote_error(reply.error.get());
        names->portal_.registrationProblem =
            "not registered as " + names->applicationId_ + ": " + reply.error->message;
    }
    g_dbus_connection_call(G_DBUS_CONNECTION(bus), portal::busName, portal::objectPath,
                           "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", portal::globalShortcuts, "version"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, callTimeoutMs,
                           names->ownerCalls_.get(), &onVersion, names);
}

void PortalNameOwner::onVersion(GObject* bus, GAsyncResult* result, gpointer self) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return;
    }
    auto* names = static_cast<PortalNameOwner*>(self);
    if (reply.value) {
        GVariant* value = nullptr;
        g_variant_get(reply.value.get(), "(v)", &value);
        const GVariantPtr owned(value);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
            names->portal_.version = g_variant_get_uint32(value);
        }
    }
    names->portal_.gnome = inGnome();
    askWhetherPlasmaBefore64(names->bus_.get(), names->ownerCalls_.get(), [names](bool before64) {
        names->portal_.bindsOpenWindows = before64;
        names->handlers_.ready(names->bus_.get(), names->portal_);
    });
}

} // namespace tunora
