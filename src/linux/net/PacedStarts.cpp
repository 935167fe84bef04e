#include "linux/net/PacedStarts.h"

#include <algorithm>

namespace tunora {

void PacedStarts::queue(const void* who, Start start) {
    std::erase_if(waiting_, [who](const auto& waiter) { return waiter.first == who; });
    waiting_.emplace_back(who, std::move(start));
    schedule();
}

void PacedStarts::cancel(const void* who) {
    std::erase_if(waiting_, [who](const auto& waiter) { return waiter.first == who; });
    if (waiting_.empty()) {
        due_.reset();
    }
}

void PacedStarts::startedWithoutWaiting() {
    pacer_.started(RequestPacer::Clock::now());
}

void PacedStarts::schedule() {
    if (waiting_.empty()) {
        due_.reset();
        return;
    }
    if (due_) {
        return; // the turn already booked serves the newest waiter
    }
    const auto now = RequestPacer::Clock::now();
    const auto wait =
        std::chrono::ceil<std::chrono::milliseconds>(pacer_.nextStart(now) - now).count();
    // Even at once it is from the loop: whatever else the command changed (the
    // menu, its export to the panel) goes out first.
    due_.reset(wait <= 0 ? g_idle_add(&PacedStarts::onDue, this)
                         : g_timeout_add(guint(wait), &PacedStarts::onDue, this));
}

gboolean PacedStarts::onDue(gpointer self) {
    auto* starts = static_cast<PacedStarts*>(self);
    starts->due_.forget();
    if (starts->waiting_.empty()) {
        return G_SOURCE_REMOVE;
    }
    Start start = std::move(starts->waiting_.back().second);
    starts->waiting_.pop_back();
    starts->pacer_.started(RequestPacer::Clock::now());
    starts->schedule(); // older wishes still standing wait for the next turn
    start();            // may queue or cancel again, or end the owner of this
    return G_SOURCE_REMOVE;
}

} // namespace tunora
