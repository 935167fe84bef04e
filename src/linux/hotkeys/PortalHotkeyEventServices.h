#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/hotkeys/HotkeyDispatch.h"

#include <functional>
#include <gio/gio.h>
#include <memory>
#include <string>
#include <vector>

namespace tunora {

// Global hot keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts),
// for Wayland sessions, where no program may grab keys. Registrations become
// shortcuts "slot1".."slot5" with a preferred trigger ("ALT+1") and a description,
// bound in one portal session; the desktop decides the keys (and may ask the user
// first), and each Activated signal of that session is one hot-key press.
//
// Everything is asynchronous: the portal's dialogs never block the main loop.
// When the portal restarts, a new session is made and bound again; when the user
// refuses or the portal fails, the program goes without global shortcuts until the
// next start, and says why in one line on stderr.
class PortalHotkeyEventServices : public HotkeyDispatch {
  public:
    PortalHotkeyEventServices();
    ~PortalHotkeyEventServices() override;
    PortalHotkeyEventServices(const PortalHotkeyEventServices&) = delete;
    PortalHotkeyEventServices& operator=(const PortalHotkeyEventServices&) = delete;

    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                 EventTargetRef target, std::uint32_t options,
                                 EventHotKeyRef* outRef) override;

  private:
    struct Shortcut;
    class Request;
    using ResponseHandler = std::function<void(guint32 response, GVariant* results)>;

    static void onPortalAppeared(GDBusConnection* bus, const gchar* name, const gchar* owner,
                                 gpointer self);
    static void onPortalVanished(GDBusConnection* bus, const gchar* name, gpointer self);
    static void onActivated(GDBusConnection* bus, const gchar* sender, const gchar* path,
                            const gchar* interface, const gchar* signal, GVariant* parameters,
                            gpointer self);

    static void onAsked(GObject* bus, GAsyncResult* result, gpointer data);
    void createSession();
    void bindShortcuts();
    void bindSoon();
    // Calls a portal method that answers through a Request object's Response signal.
    void ask(const char* method,
             const std::function<GVariant*(const std::string& token)>& arguments,
             ResponseHandler onResponse);
    void giveUp(const std::string& why);

    std::vector<std::unique_ptr<Shortcut>> shortcuts_;
    GObjectPtr<GCancellable> cancellable_;
    GObjectPtr<GDBusConnection> bus_;
    guint nameWatch_ = 0;
    guint activatedSubscription_ = 0;
    std::unique_ptr<Request> pending_; // one request at a time
    std::string portalOwner_;
    std::string session_;
    GSourceId bindSource_;
    unsigned tokens_ = 0;
    bool portalSeen_ = false;
    bool gaveUp_ = false;
};

} // namespace tunora
