#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/toolkit/Menu.h"

#include <functional>
#include <gtk/gtk.h>

namespace tunora {

// The menu as GTK widgets, for the trays that need the program to draw it: the
// XEmbed tray icon, and hosts that answer a left click with Activate instead
// of opening the exported menu themselves (Cinnamon's xapp-sn-watcher).
class GtkTrayMenu {
  public:
    explicit GtkTrayMenu(ActionTarget& application);
    ~GtkTrayMenu();
    GtkTrayMenu(const GtkTrayMenu&) = delete;
    GtkTrayMenu& operator=(const GtkTrayMenu&) = delete;

    // Shows `menu`, which must live until the next call or the end of this
    // object; to be called with no activation of the menu shown before under way.
    void show(const Menu& menu);
    // nullptr until the first show().
    GtkMenu* widget() const { return gtkMenu_ ? GTK_MENU(gtkMenu_.get()) : nullptr; }
    // Pops the menu up with its corner at (x, y) on the screen, as a panel
    // passes the click's position.
    void popUpAt(int x, int y);
    // The same for a point a host sends with a click: at the pointer instead
    // when the point is far from it.
    void popUpForClickAt(int x, int y);
    // Called when the menu, popped up, has closed again (chosen or dismissed).
    void setDidCloseHandler(std::function<void()> handler) { onDidClose_ = std::move(handler); }

  private:
    static void onDeactivate(GtkMenuShell*, gpointer self);

    ActionTarget& application_;
    std::function<void()> onDidClose_;
    GObjectPtr<GtkAccelGroup> accelerators_;
    GObjectPtr<GtkWidget> gtkMenu_;
};

} // namespace tunora
