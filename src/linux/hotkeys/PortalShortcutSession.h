#pragma once

#include "linux/hotkeys/KeyBindingAdvice.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// Each listed shortcut's trigger description, by shortcut id ("" when it has none).
using ListedTriggers = std::map<std::string, std::string>;

// Our one session of the portal's GlobalShortcuts interface, as a state
// machine: it is told what the portal answered and says what to ask next,
// which keys are live, and what the log and the listener are to hear. The
// adapter on the bus (PortalHotkeyEventServices) asks the portal and feeds the
// answers back; one request is out at a time.
//
// A session is made, then asked which of our shortcuts it holds, then they
// are bound (not on Plasma before 6.4 when it already holds them all: there a
// bind only opens System Settings), then what the desktop lists is the truth,
// whatever a bind answered; ShortcutsChanged updates it. A refusal by the user
// is final until the next start; other failures wait for a new portal. GNOME's
// backend keeps an ended portal's sessions and the keys they grabbed until the
// user logs out: after a portal restart no key of ours is live there.
class PortalShortcutSession {
  public:
    enum class Request { createSession, listShortcuts, bindShortcuts };

    // What the session needs done. `triggersChanged` gets every shortcut's
    // live trigger ("" none) whenever one changed.
    struct Effects {
        std::function<void(Request)> ask;
        std::function<void(const ListedTriggers&)> triggersChanged;
        std::function<void(const std::string& line)> say;
        std::function<void(KeysOff why)> keysOff;
        std::function<void()> keysLostWithEndedPortal;
    };

    // What was learnt of a portal before its session.
    struct Portal {
        std::uint32_t version = 0; // of GlobalShortcuts; 0: the portal has none
        bool bindsOpenWindows = false;
        bool gnome = false;
        std::string registrationProblem = {};
    };

    // `describe` names a trigger as the log shows it ("Alt+1").
    PortalShortcutSession(Effects effects, std::function<std::string(const std::string&)> describe);

    // Our shortcuts' ids in slot order ("slot1", ...); bound when the session allows.
    void setShortcuts(std::vector<std::string> ids);
    void portalReady(Portal portal);
    // A portal that goes away takes its session and its keys along; `first`:
    // none was ever seen, so there is no portal.
    void portalEnded(bool first);
    // The portal could not be reached (no session bus): its next owner may be.
    void portalFailed(const std::string& why);

    // The answers to what was asked.
    void created(std::uint32_t response, const std::string& handle);
    // None: the list had another type, named in `wrongType`.
    void listed(const std::optional<ListedTriggers>& shortcuts, const std::string& wrongType = "");
    void bound(std::uint32_t response);
    void requestFailed(const std::string& why);
    // The desktop changed the keys of a session (perhaps another program's).
    void shortcutsChanged(const std::string& session, const ListedTriggers& shortcuts);

    // The session's handle; empty while there is none.
    const std::string& handle() const { return handle_; }
    const std::vector<std::string>& shortcuts() const { return ids_; }
    // The user said no: nothing is asked again until the next start.
    bool refused() const { return refused_; }

  private:
    void ask(Request request);
    void bind();
    bool apply(const ListedTriggers& listed);
    void report(std::uint32_t bindResponse);
    void say(const std::string& line);
    void giveUp(const std::string& why, bool final);

    Effects effects_;
    std::function<std::string(const std::string&)> describe_;
    std::vector<std::string> ids_;
    ListedTriggers live_; // by id, "" none
    Portal portal_;
    bool portalUp_ = false;
    std::optional<Request> pending_;
    bool afterBinding_ = false;
    std::uint32_t bindResponse_ = 0;
    std::string handle_;
    std::string lastLine_;
    bool refused_ = false;
    bool endedWithSession_ = false; // a portal ended while we had a session there
    bool keysWithEndedSession_ = false;
};

} // namespace tunora
