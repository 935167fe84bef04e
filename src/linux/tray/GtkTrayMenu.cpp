#include "linux/tray/GtkTrayMenu.h"

#include "linux/tray/GtkMenuBuilder.h"

// gtk_menu_popup is deprecated in GTK 3 for gtk_menu_popup_at_rect, which needs
// a window of the program's own to place the menu against; a tray program has
// none, and on X11 a position on the screen is all a panel passes.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace tunora {

GtkTrayMenu::GtkTrayMenu(ActionTarget& application)
    : application_(application), accelerators_(gtk_accel_group_new()) {}

GtkTrayMenu::~GtkTrayMenu() {
    // The widgets go while the accelerator group they are bound to still exists.
    if (gtkMenu_) {
        gtk_widget_destroy(gtkMenu_.get());
    }
}

void GtkTrayMenu::show(const Menu& menu) {
    if (gtkMenu_ && canUpdateGtkMenu(gtkMenu_.get(), menu)) {
        for (auto& widget :
             updateGtkMenu(gtkMenu_.get(), menu, application_, accelerators_.get())) {
            gtk_widget_destroy(widget.get());
        }
        return;
    }
    GtkWidget* gtkMenu = buildGtkMenu(menu, application_, accelerators_.get());
    g_object_ref_sink(gtkMenu);
    if (gtkMenu_) {
        gtk_widget_destroy(gtkMenu_.get());
    }
    gtkMenu_.reset(gtkMenu);
}

void GtkTrayMenu::popUpAt(int x, int y) {
    if (!gtkMenu_) {
        return;
    }
    x_ = x;
    y_ = y;
    gtk_menu_popup(GTK_MENU(gtkMenu_.get()), nullptr, nullptr, &GtkTrayMenu::position, this, 0,
                   gtk_get_current_event_time());
}

// Pushed in: a panel at the bottom passes a point on it, and the menu then
// opens upwards instead of off the screen.
void GtkTrayMenu::position(GtkMenu*, gint* x, gint* y, gboolean* pushIn, gpointer self) {
    auto* menu = static_cast<GtkTrayMenu*>(self);
    *x = menu->x_;
    *y = menu->y_;
    *pushIn = TRUE;
}

} // namespace tunora
