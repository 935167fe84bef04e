#pragma once

#include "linux/glib/GObjectPtr.h"

#include <gio/gio.h>

namespace tunora {

// What an asynchronous D-Bus method call came back with, taken in its callback.
struct DBusReply {
    GVariantPtr value; // none when the call failed
    GErrorPtr error;   // none when it succeeded

    // Finishes the call g_dbus_connection_call() started on bus.
    static DBusReply finish(GObject* bus, GAsyncResult* result) {
        GError* rawError = nullptr;
        GVariantPtr value(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &rawError));
        return {std::move(value), GErrorPtr(rawError)};
    }

    // Cancelled calls belong to a caller that is gone or no longer waits: its
    // callback touches nothing.
    bool cancelled() const {
        return g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED);
    }
};

} // namespace tunora
