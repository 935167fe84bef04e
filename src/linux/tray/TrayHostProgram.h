#pragma once

#include "linux/glib/GObjectPtr.h"

#include <functional>
#include <gio/gio.h>
#include <string>

namespace tunora {

// Finds out which program hosts the status items: the owner of a
// StatusNotifierHost name, under KDE's prefix or the freedesktop one Budgie
// uses (Plasma's watcher runs in kded, its host in plasmashell), or the
// watcher's owner where no host took a name (GNOME's extension, XFCE).
// Asynchronous; `found` gets the program's name, "" when it cannot be known.
class TrayHostProgram {
  public:
    explicit TrayHostProgram(std::function<void(const std::string& program)> found);
    ~TrayHostProgram();
    TrayHostProgram(const TrayHostProgram&) = delete;
    TrayHostProgram& operator=(const TrayHostProgram&) = delete;

    // Starts a look-up on bus; one that is under way is dropped.
    void lookUp(GDBusConnection* bus);

  private:
    static void onNames(GObject* bus, GAsyncResult* result, gpointer self);
    static void onProcessId(GObject* bus, GAsyncResult* result, gpointer self);

    std::function<void(const std::string&)> found_;
    GObjectPtr<GCancellable> cancellable_;
};

} // namespace tunora
