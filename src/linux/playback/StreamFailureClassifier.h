#pragma once

#include "platform/StreamPlayer.h"

#include <gst/gst.h>

namespace tunora {

// Turns a GStreamer error message of a stream into a reason a listener
// understands. souphttpsrc puts the HTTP status, or libsoup's transport status
// below 100, into the message's details; both are independent of the locale.
StreamFailure classifyStreamError(GstMessage* error);

} // namespace tunora
