#include "linux/toolkit/MainLoopApplication.h"

#include <gio/gio.h>

namespace tunora {

MainLoopApplication::MainLoopApplication() : loop_(g_main_loop_new(nullptr, FALSE)) {}

void MainLoopApplication::run() {
    g_idle_add_full(G_PRIORITY_HIGH_IDLE, &MainLoopApplication::onLaunched, this, nullptr);
    g_main_loop_run(loop_.get());
    // The answer to the call that ended the loop (the menu's Quit, an MPRIS
    // Quit) is still queued on the bus connection: it goes out before the
    // process does, or the caller hears that the program vanished.
    if (GObjectPtr<GDBusConnection> bus{g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)}) {
        g_dbus_connection_flush_sync(bus.get(), nullptr, nullptr);
    }
}

void MainLoopApplication::terminate() {
    g_main_loop_quit(loop_.get());
}

gboolean MainLoopApplication::onLaunched(gpointer self) {
    auto* application = static_cast<MainLoopApplication*>(self);
    if (application->delegate_ != nullptr) {
        application->delegate_->applicationDidFinishLaunching();
    }
    return G_SOURCE_REMOVE;
}

} // namespace tunora
