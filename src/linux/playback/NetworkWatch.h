#pragma once

#include "linux/glib/GObjectPtr.h"

#include <functional>
#include <gio/gio.h>

namespace tunora {

// Follows GLib's network monitor: tells whether the machine has a network now,
// and calls back when it comes back after it was gone.
class NetworkWatch {
  public:
    NetworkWatch(GNetworkMonitor* monitor, std::function<void()> onNetworkBack);
    ~NetworkWatch();
    NetworkWatch(const NetworkWatch&) = delete;
    NetworkWatch& operator=(const NetworkWatch&) = delete;

    bool available() const { return available_; }

  private:
    static void onNetworkChanged(GNetworkMonitor* monitor, gboolean available, gpointer self);

    GObjectPtr<GNetworkMonitor> monitor_;
    std::function<void()> onNetworkBack_;
    gulong handler_ = 0;
    bool available_ = true;
};

} // namespace tunora
