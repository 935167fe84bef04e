#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/hotkeys/PortalShortcutSession.h"

#include <functional>
#include <gio/gio.h>
#include <string>

namespace tunora {

// Follows the owner of the desktop portal's name. For each new owner it opens a
// connection of its own, says who we are (the portal's registry, where it has
// one), asks for the GlobalShortcuts version and whether Plasma before 6.4
// runs, and then hands the connection over as ready. Everything of an owner
// (its connection, its calls) goes when it does.
class PortalNameOwner {
  public:
    struct Handlers {
        // Called with the connection to use for this owner and what was learnt.
        std::function<void(GDBusConnection* bus, PortalShortcutSession::Portal portal)> ready;
        // Called before the connection of an owner that is gone is closed;
        // `first`: no owner was ever seen, so there is no portal.
        std::function<void(bool first)> ended;
        // A new owner could not be reached.
        std::function<void(const std::string& why)> failed;
        // Whether a new owner is still of interest.
        std::function<bool()> wanted;
    };

    PortalNameOwner(std::string applicationId, Handlers handlers);
    ~PortalNameOwner();
    PortalNameOwner(const PortalNameOwner&) = delete;
    PortalNameOwner& operator=(const PortalNameOwner&) = delete;

    // Calls of this owner are cancelled when it goes.
    GCancellable* ownerCalls() const { return ownerCalls_.get(); }

  private:
    static void onAppeared(GDBusConnection* bus, const gchar* name, const gchar* owner,
                           gpointer self);
    static void onVanished(GDBusConnection* bus, const gchar* name, gpointer self);
    static void onConnected(GObject* source, GAsyncResult* result, gpointer self);
    static void onRegistered(GObject* bus, GAsyncResult* result, gpointer self);
    static void onVersion(GObject* bus, GAsyncResult* result, gpointer self);
    void forget();

    std::string applicationId_;
    Handlers handlers_;
    GObjectPtr<GCancellable> ownerCalls_; // for the life of one owner
    GObjectPtr<GDBusConnection> bus_;     // our own, for one owner
    guint nameWatch_ = 0;
    std::string owner_;
    PortalShortcutSession::Portal portal_;
    bool seen_ = false;
};

} // namespace tunora
