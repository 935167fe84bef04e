#include "linux/tray/TrayPresence.h"

#include "linux/toolkit/GtkOnDemand.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <string>

namespace tunora {
namespace {

// An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen> on X11.
bool xembedTrayRuns() {
    GdkDisplay* display = gtkX11Display();
    if (display == nullptr) {
        return false;
    }
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(xdisplay));
    return XGetSelectionOwner(xdisplay, XInternAtom(xdisplay, name.c_str(), False)) != 0;
}

} // namespace

TrayPresence::TrayPresence(std::chrono::milliseconds grace, std::function<bool()> registered,
                           std::function<void()> onNoTray)
    : registered_(std::move(registered)), onNoTray_(std::move(onNoTray)) {
    timer_.reset(g_timeout_add(guint(grace.count()), &TrayPresence::onGraceOver, this));
}

gboolean TrayPresence::onGraceOver(gpointer self) {
    auto* presence = static_cast<TrayPresence*>(self);
    presence->timer_.forget();
    if (!presence->registered_() && !xembedTrayRuns()) {
        presence->onNoTray_();
    }
    return G_SOURCE_REMOVE;
}

} // namespace tunora
