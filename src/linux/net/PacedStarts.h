#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/net/RequestPacer.h"

#include <functional>
#include <utility>
#include <vector>

namespace tunora {

// The stream requests that wait for their turn. Each waiter is a listener's
// wish to hear a stream; only the newest goes out when the pacer allows, so
// a burst of commands ends in one request for what was wanted last. A start
// always runs from the main loop, never inside the call that queued it.
class PacedStarts {
  public:
    using Start = std::function<void()>;

    PacedStarts() = default;
    PacedStarts(const PacedStarts&) = delete;
    PacedStarts& operator=(const PacedStarts&) = delete;

    // `who` wants to start: replaces its earlier wish and goes last in line.
    void queue(const void* who, Start start);
    // `who` no longer wants to start (paused, gone).
    void cancel(const void* who);
    // A request of `who`'s own that went out without waiting (a fallback of
    // the same choice) still counts against the pace.
    void startedWithoutWaiting();

  private:
    void schedule();
    static gboolean onDue(gpointer self);

    RequestPacer pacer_;
    std::vector<std::pair<const void*, Start>> waiting_; // oldest first
    GSourceId due_;
};

} // namespace tunora
