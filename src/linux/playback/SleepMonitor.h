#pragma once

#include "linux/glib/GObjectPtr.h"

#include <gio/gio.h>
#include <set>

namespace tunora {

class GstStreamPlayer;

// Watches logind on the system bus and reconnects playing streams when the
// machine wakes from suspend (their connections rarely survive it). The bus is
// reached asynchronously, so a missing system bus costs start-up nothing.
class SleepMonitor {
  public:
    SleepMonitor();
    ~SleepMonitor();
    SleepMonitor(const SleepMonitor&) = delete;
    SleepMonitor& operator=(const SleepMonitor&) = delete;

    void add(GstStreamPlayer* player) { players_.insert(player); }
    void remove(GstStreamPlayer* player) { players_.erase(player); }

  private:
    static void onBusReady(GObject* source, GAsyncResult* result, gpointer self);
    static void onPrepareForSleep(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar*, GVariant* parameters, gpointer self);

    std::set<GstStreamPlayer*> players_;
    GObjectPtr<GCancellable> cancellable_;
    GObjectPtr<GDBusConnection> bus_;
    guint subscription_ = 0;
};

} // namespace tunora
