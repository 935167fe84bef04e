#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/StreamPlayer.h"

#include <functional>
#include <gio/gio.h>
#include <string>

namespace tunora {

// Finds out why a stream's server could not be reached when GStreamer does not
// say (its HTTP source on libsoup 3 reports only "internal data stream
// error"): it resolves the name, connects and, for https, shakes hands as the
// stream would, and names the first step that fails. Asynchronous; completion
// runs on the main loop unless `cancellable` was cancelled first.
void diagnoseConnection(const std::string& url, GTlsDatabase* database, GCancellable* cancellable,
                        std::function<void(StreamFailure::Reason)> completion);

} // namespace tunora
