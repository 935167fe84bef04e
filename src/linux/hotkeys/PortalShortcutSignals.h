#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/hotkeys/PortalShortcutSession.h"

#include <functional>
#include <gio/gio.h>
#include <string>
#include <utility>
#include <vector>

namespace tunora {

// The trigger description of each shortcut in a portal's a(sa{sv}) list.
ListedTriggers triggersIn(GVariant* shortcuts);

// The GlobalShortcuts signals of one portal owner, from the portal only:
// Activated becomes presses, handled when the loop has nothing more urgent (so
// a burst cannot hold up anything else), and ShortcutsChanged the new list.
class PortalShortcutSignals {
  public:
    struct Handlers {
        // Whether a session is ours: other programs' signals are not.
        std::function<bool(const std::string& session)> ours;
        std::function<void(const std::string& id)> press;
        std::function<void(const std::string& session, const ListedTriggers& shortcuts)> changed;
    };

    explicit PortalShortcutSignals(Handlers handlers) : handlers_(std::move(handlers)) {}
    ~PortalShortcutSignals() { stop(); }
    PortalShortcutSignals(const PortalShortcutSignals&) = delete;
    PortalShortcutSignals& operator=(const PortalShortcutSignals&) = delete;

    void listen(GDBusConnection* bus);
    // Before the connection goes: no more signals, and presses not handled yet are dropped.
    void stop();

  private:
    static void onSignal(GDBusConnection* bus, const gchar* sender, const gchar* path,
                         const gchar* interface, const gchar* signal, GVariant* parameters,
                         gpointer self);
    void activated(GVariant* parameters);
    void queuePress(const std::string& id);
    void pressQueued();

    Handlers handlers_;
    GObjectPtr<GDBusConnection> bus_;
    guint subscription_ = 0;
    // Presses not handled yet, with repeats of one shortcut merged.
    std::vector<std::pair<std::string, unsigned>> presses_;
    GSourceId pressSource_;
};

} // namespace tunora
