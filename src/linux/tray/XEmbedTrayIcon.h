#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/toolkit/CairoGraphics.h"
#include "linux/tray/GtkTrayMenu.h"
#include "platform/toolkit/Menu.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <string>

namespace tunora {

// The item for desktops with an XEmbed system tray and no StatusNotifierWatcher
// (older Xfce, LXDE, plain window managers with a tray): a GtkStatusIcon whose
// GtkMenu opens on a click. Made only when needed: it is the one part of the
// tray built from widgets.
class XEmbedTrayIcon {
  public:
    // scroll: +1 a step up, -1 down.
    XEmbedTrayIcon(ActionTarget& application, std::function<void(int steps)> scroll);
    ~XEmbedTrayIcon();
    XEmbedTrayIcon(const XEmbedTrayIcon&) = delete;
    // XEmbed trays exist only on X11; under Wayland GTK's tray icon cannot even start.
    static bool possible();
    XEmbedTrayIcon& operator=(const XEmbedTrayIcon&) = delete;

    void setPicture(std::shared_ptr<const CairoImage> picture, std::vector<Rect> parts);
    void setToolTip(const std::string& toolTip);
    // Shows `menu`, which must live until the next call or the end of the icon;
    // to be called with no activation of the menu shown before under way.
    void show(const Menu& menu);
    // Called when the menu, opened by a click, has closed again.
    void setMenuDidCloseHandler(std::function<void()> handler) {
        menu_.setDidCloseHandler(std::move(handler));
    }

  private:
    void drawPicture();
    static gboolean onSizeChanged(GtkStatusIcon*, gint size, gpointer self);
    static void onPopup(GtkStatusIcon*, guint button, guint time, gpointer self);
    static void onActivate(GtkStatusIcon*, gpointer self);
    static gboolean onScroll(GtkStatusIcon*, GdkEventScroll* event, gpointer self);

    std::function<void(int)> scroll_;
    std::shared_ptr<const CairoImage> picture_;
    std::vector<Rect> parts_;
    GObjectPtr<GtkStatusIcon> icon_;
    GtkTrayMenu menu_;
    int size_ = 22;
};

} // namespace tunora
