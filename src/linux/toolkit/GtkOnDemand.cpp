#include "linux/toolkit/GtkOnDemand.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"

#include <gdk/gdkx.h>
#include <gtk/gtk.h>

namespace tunora {

GdkDisplay* gtkDisplay() {
    static const bool opened = [] {
        // The locale was set at start; set again now, with playback threads
        // running, it could change under them.
        gtk_disable_setlocale();
        if (!gtk_init_check(nullptr, nullptr)) {
            g_warning("%s", GettextStrings::translate(
                                N_("cannot open a display for windows or a tray icon "
                                   "(is DISPLAY or WAYLAND_DISPLAY set?)"))
                                .c_str());
            return false;
        }
        return true;
    }();
    return opened ? gdk_display_get_default() : nullptr;
}

GdkDisplay* gtkX11Display() {
    if (!nonEmptyVariable("DISPLAY")) {
        return nullptr;
    }
    GdkDisplay* display = gtkDisplay();
    return display != nullptr && GDK_IS_X11_DISPLAY(display) ? display : nullptr;
}

} // namespace tunora
