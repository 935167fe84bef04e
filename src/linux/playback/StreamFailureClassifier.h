#pragma once

#include "platform/StreamPlayer.h"

#include <gst/gst.h>

namespace tunora {

// Turns a GStreamer error message of a stream's decoding into a reason a
// listener understands. The network's failures never get here: the program's
// own HTTP reader names those (see HttpStreamReader).
StreamFailure classifyStreamError(GstMessage* error);

// Whether a warning says that no audio output could be opened: the automatic
// output then plays into nothing (a fake sink) rather than failing, and the
// listener would see "Playing" in silence.
bool warnsOfNoSoundOutput(GstMessage* warning);

} // namespace tunora
