#pragma once

#include "linux/glib/GObjectPtr.h"

#include <chrono>
#include <functional>

namespace tunora {

// Notices a desktop that shows no tray items at all: neither a
// StatusNotifierWatcher took the item nor an XEmbed tray manager runs a
// while after start. Stock GNOME without its AppIndicator extension is such a
// desktop; the program then runs without anything on screen.
class TrayPresence {
  public:
    // registered: whether a StatusNotifierWatcher holds the item now.
    TrayPresence(std::chrono::milliseconds grace, std::function<bool()> registered,
                 std::function<void()> onNoTray);
    ~TrayPresence() = default;
    TrayPresence(const TrayPresence&) = delete;
    TrayPresence& operator=(const TrayPresence&) = delete;

  private:
    static gboolean onGraceOver(gpointer self);

    std::function<bool()> registered_;
    std::function<void()> onNoTray_;
    GSourceId timer_;
};

} // namespace tunora
