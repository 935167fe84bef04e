#pragma once

#include "platform/toolkit/Menu.h"

#include <gtk/gtk.h>

namespace tunora {

// Turns a menu model into a GtkMenu: check items where an item has a state,
// submenus, separators, plain labels, and key equivalents as accelerators
// (which the tray's D-Bus export shows as the items' shortcuts). Choosing an
// item sends its action through the model; the model must outlive the widgets.
GtkWidget* buildGtkMenu(const Menu& menu, ActionTarget& application, GtkAccelGroup* accelerators);

// Whether a menu built before has the same shape as `menu` (items of the same
// kinds, accelerators, actions and submenus), so that updateGtkMenu can show
// `menu` in it without new widgets.
bool canUpdateGtkMenu(GtkWidget* gtkMenu, const Menu& menu);

// Shows `menu`'s texts and check marks in a menu of the same shape, and points
// its items' actions at `menu`, which must now outlive the widgets. Unchanged
// items are left alone, so the tray's D-Bus export sends only what changed.
void updateGtkMenu(GtkWidget* gtkMenu, const Menu& menu);

} // namespace tunora
