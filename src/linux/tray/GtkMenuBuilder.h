#pragma once

#include "platform/toolkit/Menu.h"

#include <gtk/gtk.h>

namespace tunora {

// Turns a menu model into a GtkMenu: check items where an item has a state,
// submenus, separators, plain labels, and key equivalents as accelerators
// (which the tray's D-Bus export shows as the items' shortcuts). Choosing an
// item sends its action through the model; the model must outlive the widgets.
GtkWidget* buildGtkMenu(const Menu& menu, ActionTarget& application, GtkAccelGroup* accelerators);

} // namespace tunora
