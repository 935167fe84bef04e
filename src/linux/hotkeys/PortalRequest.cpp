#include "linux/hotkeys/PortalRequest.h"

#include "linux/glib/DBusReply.h"
#include "linux/hotkeys/PortalNames.h"

#include <algorithm>

namespace tunora {
namespace {

// The portal's path for a request of this connection: its unique name without
// the colon and with dots as underscores, then the token.
std::string requestPath(GDBusConnection* bus, const std::string& token) {
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    std::replace(sender.begin(), sender.end(), '.', '_');
    return std::string(portal::objectPath) + "/request/" + sender + "/" + token;
}

// Errors that mean the portal left the bus: its next owner starts afresh.
bool portalWentAway(const GError* error) {
    return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
           g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CLOSED);
}

} // namespace

PortalRequest::PortalRequest(GDBusConnection* bus, const char* interface, const char* method,
                             const Arguments& arguments, Answered answered, Failed failed)
    : bus_(G_DBUS_CONNECTION(g_object_ref(bus))), cancellable_(g_cancellable_new()),
      method_(method), answered_(std::move(answered)), failed_(std::move(failed)) {
    // Tokens stay unique for the life of the process: a late answer to an
    // earlier request can never pass for this one's.
    static unsigned tokens = 0;
    const std::string token = "tunora" + std::to_string(++tokens);
    listenOn(requestPath(bus, token));
    deadline_.reset(g_timeout_add_seconds(
        deadlineSeconds,
        [](gpointer self) -> gboolean {
            auto* request = static_cast<PortalRequest*>(self);
            request->deadline_.forget();
            request->close();
            request->fail("the desktop portal did not answer " + request->method_ + " within " +
                          std::to_string(deadlineSeconds) + " s");
            return G_SOURCE_REMOVE;
        },
        this));
    // The deadline bounds the wait, not D-Bus's default timeout.
    g_dbus_connection_call(bus, portal::busName, portal::objectPath, interface, method,
                           arguments(token.c_str()), G_VARIANT_TYPE("(o)"),
                           G_DBUS_CALL_FLAGS_NO_AUTO_START, G_MAXINT, cancellable_.get(),
                           &PortalRequest::onCalled, this);
}

PortalRequest::~PortalRequest() {
    g_cancellable_cancel(cancellable_.get());
    close();
}

// An unanswered request may still show a dialog: the portal takes it down.
void PortalRequest::close() {
    if (subscription_ != 0) {
        g_dbus_connection_call(bus_.get(), portal::busName, path_.c_str(), portal::request, "Close",
                               nullptr, nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, -1, nullptr,
                               nullptr, nullptr);
        stopListening();
    }
}

void PortalRequest::listenOn(const std::string& path) {
    stopListening();
    path_ = path;
    subscription_ = g_dbus_connection_signal_subscribe(
        bus_.get(), portal::busName, portal::request, "Response", path_.c_str(), nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &PortalRequest::onResponse, this, nullptr);
}

void PortalRequest::stopListening() {
    if (subscription_ != 0) {
        g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
        subscription_ = 0;
    }
}

void PortalRequest::onCalled(GObject* bus, GAsyncResult* result, gpointer self) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return; // the request is gone
    }
    auto* request = static_cast<PortalRequest*>(self);
    if (!reply.value) {
        if (portalWentAway(reply.error.get())) {
            request->finish();
        } else {
            g_dbus_error_strip_remote_error(reply.error.get());
            request->fail(std::string("the desktop portal offers none (") + reply.error->message +
                          ")");
        }
        return;
    }
    // Older portals may answer on another path than the one asked for.
    const gchar* handle = nullptr;
    g_variant_get(reply.value.get(), "(&o)", &handle);
    if (request->subscription_ != 0 && request->path_ != handle) {
        request->listenOn(handle);
    }
}

void PortalRequest::onResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                               const gchar*, GVariant* parameters, gpointer self) {
    auto* request = static_cast<PortalRequest*>(self);
    if (request->subscription_ == 0) {
        return; // a second Response, already queued when the first arrived
    }
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) {
        request->fail("the desktop portal answered " + request->method_ + " with " +
                      g_variant_get_type_string(parameters) + " instead of (ua{sv})");
        return;
    }
    guint32 response = 2;
    GVariant* results = nullptr;
    g_variant_get(parameters, "(u@a{sv})", &response, &results);
    const GVariantPtr owned(results);
    // The handler may destroy this request: take it first.
    const Answered answered = std::move(request->answered_);
    request->finish();
    if (answered) {
        answered(response, results);
    }
}

void PortalRequest::fail(const std::string& why) {
    const Failed failed = std::move(failed_);
    finish();
    if (failed) {
        failed(why);
    }
}

void PortalRequest::finish() {
    stopListening();
    deadline_.reset();
    answered_ = nullptr;
    failed_ = nullptr;
}

} // namespace tunora
