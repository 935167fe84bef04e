#pragma once

#include "linux/glib/GObjectPtr.h"

#include <functional>
#include <gio/gio.h>

namespace tunora {

// Watches logind on the system bus and calls back when the machine wakes from
// suspend (stream connections rarely survive it). The bus is reached
// asynchronously, so a missing system bus costs start-up nothing.
class SleepMonitor {
  public:
    explicit SleepMonitor(std::function<void()> onWake);
    ~SleepMonitor();
    SleepMonitor(const SleepMonitor&) = delete;
    SleepMonitor& operator=(const SleepMonitor&) = delete;

  private:
    static void onBusReady(GObject* source, GAsyncResult* result, gpointer self);
    static void onPrepareForSleep(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar*, GVariant* parameters, gpointer self);

    std::function<void()> onWake_;
    GObjectPtr<GCancellable> cancellable_;
    GObjectPtr<GDBusConnection> bus_;
    guint subscription_ = 0;
};

} // namespace tunora
