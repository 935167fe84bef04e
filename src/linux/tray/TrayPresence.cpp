#include "linux/tray/TrayPresence.h"

#include <X11/Xlib.h>
#include <gdk/gdkx.h>
#include <string>

namespace tunora {
namespace {

// An XEmbed tray owns the selection _NET_SYSTEM_TRAY_S<screen> on X11.
bool xembedTrayRuns() {
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) {
        return false;
    }
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(xdisplay));
    return XGetSelectionOwner(xdisplay, XInternAtom(xdisplay, name.c_str(), False)) != 0;
}

} // namespace

TrayPresence::TrayPresence(AppIndicator* indicator, std::chrono::milliseconds grace,
                           std::function<void()> onNoTray)
    : indicator_(APP_INDICATOR(g_object_ref(indicator))), onNoTray_(std::move(onNoTray)),
      handler_(g_signal_connect(indicator, APP_INDICATOR_SIGNAL_CONNECTION_CHANGED,
                                G_CALLBACK(&TrayPresence::onConnectionChanged), this)),
      timer_() {
    timer_.reset(g_timeout_add(guint(grace.count()), &TrayPresence::onGraceOver, this));
}

TrayPresence::~TrayPresence() {
    g_signal_handler_disconnect(indicator_.get(), handler_);
}

void TrayPresence::onConnectionChanged(AppIndicator*, gboolean connected, gpointer self) {
    static_cast<TrayPresence*>(self)->connected_ = connected;
}

gboolean TrayPresence::onGraceOver(gpointer self) {
    auto* presence = static_cast<TrayPresence*>(self);
    presence->timer_.forget();
    if (!presence->connected_ && !xembedTrayRuns()) {
        presence->onNoTray_();
    }
    return G_SOURCE_REMOVE;
}

} // namespace tunora
