#include "linux/toolkit/GtkApplicationLoop.h"

namespace tunora {

void GtkApplicationLoop::run() {
    g_idle_add_full(G_PRIORITY_HIGH_IDLE, &GtkApplicationLoop::onLaunched, this, nullptr);
    gtk_main();
}

void GtkApplicationLoop::terminate() {
    gtk_main_quit();
}

gboolean GtkApplicationLoop::onLaunched(gpointer self) {
    auto* application = static_cast<GtkApplicationLoop*>(self);
    if (application->delegate_ != nullptr) {
        application->delegate_->applicationDidFinishLaunching();
    }
    return G_SOURCE_REMOVE;
}

} // namespace tunora
