#pragma once

#include "linux/glib/GObjectPtr.h"

#include <chrono>
#include <functional>
#include <libayatana-appindicator/app-indicator.h>

namespace tunora {

// Notices a desktop that shows no tray items at all: neither a
// StatusNotifierWatcher took the indicator nor an XEmbed tray manager runs a
// while after start. Stock GNOME without its AppIndicator extension is such a
// desktop; the program then runs without anything on screen.
class TrayPresence {
  public:
    TrayPresence(AppIndicator* indicator, std::chrono::milliseconds grace,
                 std::function<void()> onNoTray);
    ~TrayPresence();
    TrayPresence(const TrayPresence&) = delete;
    TrayPresence& operator=(const TrayPresence&) = delete;

  private:
    static void onConnectionChanged(AppIndicator*, gboolean connected, gpointer self);
    static gboolean onGraceOver(gpointer self);

    GObjectPtr<AppIndicator> indicator_;
    std::function<void()> onNoTray_;
    gulong handler_ = 0;
    bool connected_ = false;
    GSourceId timer_;
};

} // namespace tunora
