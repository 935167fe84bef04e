#pragma once

#include <chrono>
#include <glib.h>
#include <thread>

namespace tunora::testing {

// One pass of the GLib main loop, then a short rest so polling loops stay cool.
inline void spinMainLoop() {
    g_main_context_iteration(nullptr, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
}

// Counts how often a main-loop timer fired: proof that the loop kept running.
class MainLoopTicker {
  public:
    explicit MainLoopTicker(unsigned intervalMs)
        : id_(g_timeout_add(intervalMs, &MainLoopTicker::tick, this)) {}
    ~MainLoopTicker() { g_source_remove(id_); }
    MainLoopTicker(const MainLoopTicker&) = delete;
    MainLoopTicker& operator=(const MainLoopTicker&) = delete;

    int ticks() const { return ticks_; }

  private:
    static gboolean tick(gpointer self) {
        ++static_cast<MainLoopTicker*>(self)->ticks_;
        return G_SOURCE_CONTINUE;
    }
    guint id_;
    int ticks_ = 0;
};

} // namespace tunora::testing
