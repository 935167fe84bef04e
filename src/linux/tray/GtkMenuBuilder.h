#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/toolkit/Menu.h"

#include <gtk/gtk.h>
#include <vector>

namespace tunora {

// Turns a menu model into a GtkMenu, for the XEmbed tray icon: check items
// where an item has a state, submenus, separators, plain labels, and key
// equivalents as accelerators shown beside the labels. Choosing an item sends
// its action through the model; the model must outlive the widgets.
GtkWidget* buildGtkMenu(const Menu& menu, ActionTarget& application, GtkAccelGroup* accelerators);

// Whether a menu built before has the same shape as `menu` (the same separators
// and submenus), so that updateGtkMenu can show `menu` in it.
bool canUpdateGtkMenu(GtkWidget* gtkMenu, const Menu& menu);

// Shows `menu` in a menu of the same shape: texts and check marks change in
// place, an item that became another kind (a check item or not, another
// accelerator) gets a new widget in its place, and every action now goes
// through `menu`, which must outlive the widgets. Unchanged items are left
// alone, so an open menu stays open. Returns the widgets
// taken out, for the caller to release once the current event is over: one of
// them may be the very item being activated.
std::vector<GObjectPtr<GtkWidget>> updateGtkMenu(GtkWidget* gtkMenu, const Menu& menu,
                                                 ActionTarget& application,
                                                 GtkAccelGroup* accelerators);

} // namespace tunora
