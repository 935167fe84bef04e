#pragma once

#include <gdk/gdk.h>

namespace tunora {

// GTK is opened the first time a window or the XEmbed tray icon is needed, not
// at start: on a desktop with a StatusNotifier host the program builds no
// widget at all, and saves the display connection, the theme and the
// accessibility bridge that opening GTK costs.
//
// Returns the display GTK opened, or nullptr when none can be opened (no
// DISPLAY or WAYLAND_DISPLAY); the first call decides for the process.
GdkDisplay* gtkDisplay();

// The display GTK opened if it is an X11 one, the only kind with XEmbed trays;
// GTK is not opened for it when there is no DISPLAY to open.
GdkDisplay* gtkX11Display();

} // namespace tunora
