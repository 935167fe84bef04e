#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/hotkeys/HotkeyDispatch.h"
#include "linux/hotkeys/KeyBindingAdvice.h"
#include "linux/hotkeys/PortalNameOwner.h"
#include "linux/hotkeys/PortalRequest.h"
#include "linux/hotkeys/PortalShortcutSession.h"
#include "linux/hotkeys/PortalShortcutSignals.h"
#include "platform/ProblemLog.h"

#include <functional>
#include <gio/gio.h>
#include <memory>
#include <string>
#include <vector>

namespace tunora {

// Global hot keys through the desktop portal (org.freedesktop.portal.GlobalShortcuts),
// for Wayland sessions, where no program may grab keys. Registrations become
// shortcuts "slot1".."slot5" with a preferred trigger ("ALT+1") and a description,
// in one portal session; the desktop decides the keys (and may ask the user
// first), and each Activated signal of that session is one hot-key press.
//
// Three parts do the work: PortalNameOwner follows the portal's owner and says
// who we are, PortalShortcutSession decides what to ask and which keys are live
// (one line on stderr says which, or why none), PortalShortcutSignals hears the
// presses and changes. This class asks the portal what the session wants, with
// a deadline for every request: the portal's dialogs never block the main loop.
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
    OSStatus unregisterEventHotKey(EventHotKeyRef ref) override;
    // The desktop binds the keys, may ask first, and lists the shortcuts in its
    // settings, where the listener frees or changes them.
    bool registrationsGrabKeys() override { return false; }
    // Portals of GlobalShortcuts version 2 and later open the desktop's settings.
    bool canEditHotKeyBindings() override;
    void editHotKeyBindings() override;

  private:
    struct Shortcut;

    void portalReady(GDBusConnection* bus, const PortalShortcutSession::Portal& portal);
    void portalEnded(bool first);
    void ask(PortalShortcutSession::Request request);
    GVariant* arguments(PortalShortcutSession::Request request, const char* token) const;
    void answered(PortalShortcutSession::Request request, guint32 response, GVariant* results);
    void applyTriggers(const ListedTriggers& triggers);
    void tellKeysOff(KeysOff why);
    void tellKeysLost();
    void press(const std::string& id);
    void bindSoon();

    KeysOffHandler keysOff_;
    std::shared_ptr<ProblemLog> problems_;
    std::vector<std::unique_ptr<Shortcut>> shortcuts_;
    PortalShortcutSession session_;
    PortalShortcutSignals signals_;
    GObjectPtr<GDBusConnection> bus_; // the portal owner's, while it is there
    std::uint32_t version_ = 0;
    std::unique_ptr<PortalRequest> request_; // one at a time
    GSourceId bindSource_;
    // Last: its name watch may call back into everything above.
    PortalNameOwner owner_;
};

} // namespace tunora
