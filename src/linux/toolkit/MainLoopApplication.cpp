#include "linux/toolkit/MainLoopApplication.h"

namespace tunora {

MainLoopApplication::MainLoopApplication() : loop_(g_main_loop_new(nullptr, FALSE)) {}

void MainLoopApplication::run() {
    g_idle_add_full(G_PRIORITY_HIGH_IDLE, &MainLoopApplication::onLaunched, this, nullptr);
    g_main_loop_run(loop_.get());
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
