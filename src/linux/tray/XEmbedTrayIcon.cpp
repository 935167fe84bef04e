#include "linux/tray/XEmbedTrayIcon.h"

#include "linux/toolkit/GtkOnDemand.h"

#include <algorithm>
#include <gdk/gdkx.h>

// GtkStatusIcon is deprecated in GTK 3 and still the only XEmbed tray icon GTK 3
// has; it works as it always did.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace tunora {

XEmbedTrayIcon::XEmbedTrayIcon(ActionTarget& application, std::function<void(int)> scroll)
    : scroll_(std::move(scroll)), icon_(gtk_status_icon_new()), menu_(application) {
    gtk_status_icon_set_title(icon_.get(), "Tunora");
    gtk_status_icon_set_tooltip_text(icon_.get(), "Tunora");
    g_signal_connect(icon_.get(), "size-changed", G_CALLBACK(&XEmbedTrayIcon::onSizeChanged), this);
    g_signal_connect(icon_.get(), "popup-menu", G_CALLBACK(&XEmbedTrayIcon::onPopup), this);
    g_signal_connect(icon_.get(), "activate", G_CALLBACK(&XEmbedTrayIcon::onActivate), this);
    g_signal_connect(icon_.get(), "scroll-event", G_CALLBACK(&XEmbedTrayIcon::onScroll), this);
}

XEmbedTrayIcon::~XEmbedTrayIcon() {
    g_signal_handlers_disconnect_by_data(icon_.get(), this);
    gtk_status_icon_set_visible(icon_.get(), FALSE);
    icon_.reset();
}

bool XEmbedTrayIcon::possible() {
    return gtkX11Display() != nullptr;
}

void XEmbedTrayIcon::setPicture(std::shared_ptr<const CairoImage> picture,
                                std::vector<Rect> parts) {
    picture_ = std::move(picture);
    parts_ = std::move(parts);
    drawPicture();
}

// A tray icon is a square, drawn at the icon's own pixel size.
void XEmbedTrayIcon::drawPicture() {
    if (!picture_ || picture_->size().width <= 0) {
        return;
    }
    const CairoSurfacePtr surface = picture_->renderedSquare(size_, parts_);
    GObjectPtr<GdkPixbuf> pixbuf(gdk_pixbuf_get_from_surface(surface.get(), 0, 0, size_, size_));
    gtk_status_icon_set_from_pixbuf(icon_.get(), pixbuf.get());
}

void XEmbedTrayIcon::setToolTip(const std::string& toolTip) {
    gtk_status_icon_set_tooltip_text(icon_.get(), toolTip.empty() ? "Tunora" : toolTip.c_str());
}

void XEmbedTrayIcon::show(const Menu& menu) {
    menu_.show(menu);
}

gboolean XEmbedTrayIcon::onSizeChanged(GtkStatusIcon*, gint size, gpointer self) {
    auto* icon = static_cast<XEmbedTrayIcon*>(self);
    if (size > 0 && size != icon->size_) {
        icon->size_ = size;
        icon->drawPicture();
    }
    return TRUE;
}

void XEmbedTrayIcon::onPopup(GtkStatusIcon* statusIcon, guint button, guint time, gpointer self) {
    auto* icon = static_cast<XEmbedTrayIcon*>(self);
    if (GtkMenu* menu = icon->menu_.widget()) {
        gtk_menu_popup(menu, nullptr, nullptr, &gtk_status_icon_position_menu, statusIcon, button,
                       time);
    }
}

void XEmbedTrayIcon::onActivate(GtkStatusIcon* statusIcon, gpointer self) {
    onPopup(statusIcon, 1, gtk_get_current_event_time(), self);
}

// X11 sends the wheel as buttons 4 to 7; GDK as directions, or as deltas on
// devices that scroll smoothly.
gboolean XEmbedTrayIcon::onScroll(GtkStatusIcon*, GdkEventScroll* event, gpointer self) {
    auto* icon = static_cast<XEmbedTrayIcon*>(self);
    int steps = 0;
    if (event->direction == GDK_SCROLL_UP || event->direction == GDK_SCROLL_RIGHT) {
        steps = 1;
    } else if (event->direction == GDK_SCROLL_DOWN || event->direction == GDK_SCROLL_LEFT) {
        steps = -1;
    } else if (event->direction == GDK_SCROLL_SMOOTH && event->delta_y != 0) {
        steps = event->delta_y < 0 ? 1 : -1;
    }
    if (steps != 0 && icon->scroll_) {
        icon->scroll_(steps);
    }
    return TRUE;
}

} // namespace tunora
