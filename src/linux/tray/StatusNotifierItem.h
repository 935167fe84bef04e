#pragma once

#include "core/tray/TrayHostConventions.h"
#include "linux/glib/GObjectPtr.h"
#include "linux/tray/TrayHostProgram.h"

#include <functional>
#include <gio/gio.h>
#include <string>

namespace tunora {

// The program's org.kde.StatusNotifierItem on the session bus: the object
// /org/tunora/StatusNotifierItem under a name of its own, registered with the
// StatusNotifierWatcher whenever one appears (again after a watcher restart).
// It holds what panels read — picture, label, hover text, the menu's path — and
// tells them about each change; what the user does on it comes back through
// the callbacks.
class StatusNotifierItem {
  public:
    struct Callbacks {
        // A left click, where the host does not open the menu itself: the
        // click's position on the screen (0, 0 where the host knows none).
        // false when nothing can be shown there: the host is told so, and
        // hosts that can open the menu themselves then do.
        std::function<bool(int x, int y)> activate;
        std::function<void()> secondaryActivate;
        // +1 a step up (louder), -1 a step down.
        std::function<void(int steps)> scroll;
        // true once a watcher took the item; false when no watcher runs (or no bus).
        std::function<void(bool registered)> registrationChanged;
    };

    StatusNotifierItem(std::string menuPath, Callbacks callbacks);
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // pixmaps: a(iiay), ARGB32 in network byte order; taken over. Panels hear
    // of it only when the pixels changed.
    void setIconPixmaps(GVariant* pixmaps);
    void setTitle(const std::string& title);
    // Plain texts: they are written as the program that hosts the item reads them.
    void setToolTip(const std::string& title, const std::string& text);
    void setLabel(const std::string& label);

  private:
    static void onBusAcquired(GDBusConnection* bus, const gchar* name, gpointer self);
    static void onNameLost(GDBusConnection* bus, const gchar* name, gpointer self);
    static void onWatcherAppeared(GDBusConnection* bus, const gchar* name, const gchar* owner,
                                  gpointer self);
    static void onWatcherVanished(GDBusConnection* bus, const gchar* name, gpointer self);
    static void onRegistered(GObject* bus, GAsyncResult* result, gpointer self);
    static void onHostRegistered(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                 const gchar*, GVariant*, gpointer self);
    void hostFound(const std::string& program);
    static gboolean onSecondaryActivateDue(gpointer self);
    static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer self);
    static GVariant* onGetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                   const gchar* property, GError**, gpointer self);
    GVariant* property(const std::string& name) const;
    void emit(const char* signal, GVariant* arguments = nullptr);
    void registerWithWatcher();
    void setRegistered(bool registered);

    std::string menuPath_;
    Callbacks callbacks_;
    std::string busName_;
    std::string title_ = "Tunora";
    std::string toolTipTitle_ = "Tunora";
    std::string toolTipText_;
    TrayHostConventions host_; // of the host found; a guess until then
    TrayHostProgram hostProgram_;
    std::string label_;
    GVariantPtr pixmaps_;
    GObjectPtr<GDBusConnection> bus_;
    GObjectPtr<GCancellable> cancellable_;
    guint ownerId_ = 0;
    guint watcherId_ = 0;
    guint objectId_ = 0;
    guint hostSubscription_ = 0;
    GSourceId secondaryActivate_; // calls that came together, to be taken as one
};

} // namespace tunora
