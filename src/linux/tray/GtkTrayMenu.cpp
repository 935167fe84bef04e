#include "linux/tray/GtkTrayMenu.h"

#include "linux/tray/GtkMenuBuilder.h"

#include <cstdlib>
#include <memory>

namespace tunora {
namespace {

// Hosts send the click's point or the corner of the icon under it; panel
// icons are at most this large.
constexpr int clickReach = 96;

struct GdkEventFree {
    void operator()(GdkEvent* event) const { gdk_event_free(event); }
};
using GdkEventPtr = std::unique_ptr<GdkEvent, GdkEventFree>;

// GTK opens a menu for the event that asked for it: it grabs the pointer and
// keyboard of that event's seat, from its time on. A click passed on over
// D-Bus comes with no event (GTK would log its absence at every menu), so the
// click is made one: the first button of the seat's pointer, at the point, now.
GdkEventPtr clickEventAt(int x, int y) {
    GdkEventPtr event(gdk_event_new(GDK_BUTTON_PRESS));
    GdkEventButton& click = event->button;
    click.window = GDK_WINDOW(g_object_ref(gdk_get_default_root_window())); // freed with it
    click.send_event = TRUE;
    click.time = GDK_CURRENT_TIME;
    click.button = 1;
    click.x = click.x_root = x;
    click.y = click.y_root = y;
    if (GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default())) {
        gdk_event_set_device(event.get(), gdk_seat_get_pointer(seat));
    }
    return event;
}

} // namespace

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
    // A submenu closing deactivates only itself: this is the whole menu.
    g_signal_connect(gtkMenu, "deactivate", G_CALLBACK(&GtkTrayMenu::onDeactivate), this);
    if (gtkMenu_) {
        gtk_widget_destroy(gtkMenu_.get());
    }
    gtkMenu_.reset(gtkMenu);
}

void GtkTrayMenu::onDeactivate(GtkMenuShell*, gpointer self) {
    if (const auto& onDidClose = static_cast<GtkTrayMenu*>(self)->onDidClose_) {
        onDidClose();
    }
}

// Placed against a point of the root window: the menu hangs down from the
// point, and where that does not fit (a panel at the bottom passes a point on
// it) GTK flips it to stand on the point. Sideways it slides into the screen
// rather than flip: flipped, a menu for an item at the screen's right edge
// would end left of the item.
void GtkTrayMenu::popUpAt(int x, int y) {
    if (!gtkMenu_) {
        return;
    }
    g_object_set(gtkMenu_.get(), "anchor-hints",
                 GdkAnchorHints(GDK_ANCHOR_FLIP_Y | GDK_ANCHOR_SLIDE | GDK_ANCHOR_RESIZE), nullptr);
    const GdkRectangle point{x, y, 1, 1};
    const GdkEventPtr click = clickEventAt(x, y);
    gtk_menu_popup_at_rect(GTK_MENU(gtkMenu_.get()), gdk_get_default_root_window(), &point,
                           GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST, click.get());
}

} // namespace tunora

namespace tunora {

// MATE's notification area sends a point inside its own small window, such as
// (0, 24), not one on the screen; the menu then opens where the click was.
void GtkTrayMenu::popUpForClickAt(int x, int y) {
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    GdkDevice* pointer = seat != nullptr ? gdk_seat_get_pointer(seat) : nullptr;
    int pointerX = x;
    int pointerY = y;
    if (pointer != nullptr) {
        gdk_device_get_position(pointer, nullptr, &pointerX, &pointerY);
    }
    if (std::abs(pointerX - x) > clickReach || std::abs(pointerY - y) > clickReach) {
        x = pointerX;
        y = pointerY;
    }
    popUpAt(x, y);
}

} // namespace tunora
