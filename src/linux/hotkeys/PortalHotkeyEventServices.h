#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/hotkeys/HotkeyDispatch.h"
#include "linux/hotkeys/KeyBindingAdvice.h"
#include "linux/hotkeys/PortalRequest.h"
#include "platform/ProblemLog.h"

#include <functional>
#include <gio/gio.h>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tunora {

// Global hot keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts),
// for Wayland sessions, where no program may grab keys. Registrations become
// shortcuts "slot1".."slot5" with a preferred trigger ("ALT+1") and a description,
// in one portal session; the desktop decides the keys (and may ask the user
// first), and each Activated signal of that session is one hot-key press.
//
// For each owner of the portal's name: say who we are (the portal's registry,
// where it has one), make the session under a token that never changes (so a
// desktop keeps one set of our shortcuts and the user's keys), ask which of
// them it already holds, and bind them (see listShortcuts for the one desktop
// where it does not); then believe what the desktop lists, whatever a bind
// answered, and follow its ShortcutsChanged. One line on stderr says which keys are bound, or why
// none.
//
// Everything is asynchronous and every request has a deadline: the portal's
// dialogs never block the main loop. A refusal by the user is final until the
// next start; other failures wait for a new owner of the portal's name.
class PortalHotkeyEventServices : public HotkeyDispatch {
  public:
    static constexpr const char* applicationId = "org.tunora.Tunora";
    static constexpr const char* sessionToken = "tunora";

    // Told when no key reaches the program for a reason the listener can mend
    // in the compositor's configuration, with the shortcuts registered.
    using KeysOffHandler =
        std::function<void(KeysOff why, const std::vector<RegisteredShortcut>& shortcuts)>;

    // `problems`: where the listener hears of keys lost in a way the log alone
    // would not tell them.
    explicit PortalHotkeyEventServices(KeysOffHandler keysOff = {},
                                       std::shared_ptr<ProblemLog> problems = nullptr);
    ~PortalHotkeyEventServices() override;
    PortalHotkeyEventServices(const PortalHotkeyEventServices&) = delete;
    PortalHotkeyEventServices& operator=(const PortalHotkeyEventServices&) = delete;

    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                 EventTargetRef target, std::uint32_t options,
                                 EventHotKeyRef* outRef) override;
    // Portals of GlobalShortcuts version 2 and later open the desktop's settings.
    bool canEditHotKeyBindings() override;
    void editHotKeyBindings() override;

  private:
    struct Shortcut;

    static void onPortalAppeared(GDBusConnection* bus, const gchar* name, const gchar* owner,
                                 gpointer self);
    static void onPortalVanished(GDBusConnection* bus, const gchar* name, gpointer self);
    static void onSignal(GDBusConnection* bus, const gchar* sender, const gchar* path,
                         const gchar* interface, const gchar* signal, GVariant* parameters,
                         gpointer self);
    static void onConnected(GObject* source, GAsyncResult* result, gpointer self);
    static void onRegistered(GObject* bus, GAsyncResult* result, gpointer self);
    static void onVersion(GObject* bus, GAsyncResult* result, gpointer self);

    void forgetPortal();
    void dropConnection();
    void createSession();
    void listShortcuts(bool afterBinding, guint32 bindResponse);
    void bindShortcuts();
    void bindSoon();
    void ask(const char* method, const PortalRequest::Arguments& arguments,
             PortalRequest::Answered answered);
    bool applyShortcuts(GVariant* shortcuts);
    void report(guint32 bindResponse);
    void say(const std::string& line);
    void giveUp(const std::string& why, bool final);
    void tellKeysOff(KeysOff why);
    void activated(GVariant* parameters);
    void queuePress(const Shortcut& shortcut);
    void pressQueued();

    KeysOffHandler keysOff_;
    std::shared_ptr<ProblemLog> problems_;
    std::vector<std::unique_ptr<Shortcut>> shortcuts_;
    GObjectPtr<GCancellable> ownerCalls_; // for the life of one portal owner
    GObjectPtr<GDBusConnection> bus_;     // our own, for one portal owner
    guint nameWatch_ = 0;
    guint signalSubscription_ = 0;
    std::unique_ptr<PortalRequest> pending_; // one request at a time
    std::string portalOwner_;
    std::string session_;
    std::string registrationProblem_;
    std::string lastLine_;
    guint32 version_ = 0;
    GSourceId bindSource_;
    // Presses not handled yet, with repeats of one shortcut merged.
    std::vector<std::pair<const Shortcut*, unsigned>> presses_;
    GSourceId pressSource_;
    bool portalSeen_ = false;
    bool refused_ = false;
    // A portal ended while we had a session there.
    bool endedWithSession_ = false;
    // Binding opens a window even for shortcuts the desktop holds (Plasma before 6.4).
    bool bindsOpenWindows_ = false;
    // GNOME's backend keeps an ended portal's sessions and the keys they grabbed
    // until the user logs out: a new session's grabs of those keys fail, yet it
    // lists them, and each press goes to the dead session. So after a portal
    // restart no key of ours is live, whatever the new session lists.
    bool keysWithEndedSession_ = false;
};

} // namespace tunora
