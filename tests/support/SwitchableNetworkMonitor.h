#pragma once

#include "linux/glib/GObjectPtr.h"

#include <gio/gio.h>

namespace tunora::testing {

// A GNetworkMonitor the test switches on and off, as GLib's own monitors do
// when the machine's routes change. Never metered.
GObjectPtr<GNetworkMonitor> makeSwitchableNetworkMonitor();
void switchNetwork(GNetworkMonitor* monitor, bool available);

} // namespace tunora::testing
