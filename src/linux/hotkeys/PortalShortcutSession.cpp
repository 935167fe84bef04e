#include "linux/hotkeys/PortalShortcutSession.h"

#include <algorithm>

namespace tunora {

PortalShortcutSession::PortalShortcutSession(
    Effects effects, std::function<std::string(const std::string&)> describe)
    : effects_(std::move(effects)), describe_(std::move(describe)) {}

void PortalShortcutSession::setShortcuts(std::vector<std::string> ids) {
    ids_ = std::move(ids);
    bind();
}

void PortalShortcutSession::portalReady(Portal portal) {
    portal_ = std::move(portal);
    portalUp_ = true;
    if (!refused_) {
        ask(Request::createSession);
    }
}

void PortalShortcutSession::portalEnded(bool first) {
    if (first && !refused_) {
        say("global shortcuts are off: no desktop portal is running "
            "(the package xdg-desktop-portal provides it)");
        if (effects_.keysOff) {
            effects_.keysOff(KeysOff::noPortalShortcuts);
        }
    }
    endedWithSession_ = endedWithSession_ || !handle_.empty();
    handle_.clear();
    pending_.reset();
    portalUp_ = false;
    portal_ = {};
    apply({});
}

void PortalShortcutSession::ask(Request request) {
    pending_ = request;
    afterBinding_ = request == Request::listShortcuts && afterBinding_;
    effects_.ask(request);
}

void PortalShortcutSession::created(std::uint32_t response, const std::string& handle) {
    pending_.reset();
    handle_ = response == 0 ? handle : "";
    keysWithEndedSession_ = endedWithSession_ && portal_.gnome;
    if (handle_.empty()) {
        giveUp(response == 1 ? "the desktop did not allow them"
                             : "the desktop portal could not make a session",
               response == 1);
        return;
    }
    afterBinding_ = false;
    bindResponse_ = 0;
    ask(Request::listShortcuts);
}

// Portals since 1.21.1 say a program binds in every session: listing activates
// nothing, and Plasma 6.4 and later make listed shortcuts live only when bound
// again, asking the user only about new ones.
void PortalShortcutSession::listed(const std::optional<ListedTriggers>& shortcuts,
                                   const std::string& wrongType) {
    pending_.reset();
    if (!shortcuts) {
        giveUp("the desktop portal listed shortcuts of type " + wrongType + " instead of a(sa{sv})",
               false);
        return;
    }
    const bool holdsAll = std::all_of(
        ids_.begin(), ids_.end(), [&](const std::string& id) { return shortcuts->contains(id); });
    if (!afterBinding_ && !(holdsAll && portal_.bindsOpenWindows)) {
        bind();
        return;
    }
    apply(*shortcuts);
    report(bindResponse_);
}

// Every shortcut at once; a session not made yet binds them when it is.
void PortalShortcutSession::bind() {
    if (refused_ || handle_.empty() || pending_ || ids_.empty()) {
        return;
    }
    ask(Request::bindShortcuts);
}

// Whatever the answer says (GNOME answers 2 for keys it did bind), what counts
// is what the desktop lists afterwards.
void PortalShortcutSession::bound(std::uint32_t response) {
    pending_.reset();
    bindResponse_ = response;
    afterBinding_ = true;
    ask(Request::listShortcuts);
}

void PortalShortcutSession::portalFailed(const std::string& why) {
    giveUp(why, false);
}

void PortalShortcutSession::requestFailed(const std::string& why) {
    // A portal without the interface has no version of it either: Sway's.
    const bool withoutInterface = portal_.version == 0 && pending_ == Request::createSession;
    giveUp(why, false);
    if (withoutInterface && effects_.keysOff) {
        effects_.keysOff(KeysOff::noPortalShortcuts);
    }
}

void PortalShortcutSession::shortcutsChanged(const std::string& session,
                                             const ListedTriggers& shortcuts) {
    if (!handle_.empty() && session == handle_ && apply(shortcuts)) {
        report(0);
    }
}

// A shortcut is live when the desktop lists it with a trigger. True when any
// changed; the adapter is told.
bool PortalShortcutSession::apply(const ListedTriggers& listed) {
    ListedTriggers live;
    bool changed = false;
    for (const std::string& id : ids_) {
        const auto found = listed.find(id);
        const std::string& trigger = live[id] =
            found == listed.end() || keysWithEndedSession_ ? "" : found->second;
        const auto before = live_.find(id);
        changed = changed || trigger != (before == live_.end() ? "" : before->second);
    }
    if (!changed) {
        return false;
    }
    live_ = std::move(live);
    if (effects_.triggersChanged) {
        effects_.triggersChanged(live_);
    }
    return true;
}

// "global shortcuts: 1 = Alt+1, 2 = none, ...", or why there are none.
void PortalShortcutSession::report(std::uint32_t bindResponse) {
    if (keysWithEndedSession_) {
        if (effects_.keysLostWithEndedPortal) {
            effects_.keysLostWithEndedPortal();
        }
        return;
    }
    std::string line;
    bool any = false;
    for (std::size_t slot = 0; slot < ids_.size(); ++slot) {
        const std::string& trigger = live_[ids_[slot]];
        line += (line.empty() ? "" : ", ") + std::to_string(slot + 1) + " = " +
                (trigger.empty() ? "none" : describe_(trigger));
        any = any || !trigger.empty();
    }
    if (!any) {
        if (bindResponse != 1 && effects_.keysOff) {
            effects_.keysOff(KeysOff::noKeysBound);
        }
        giveUp(bindResponse == 1 ? "the desktop did not allow them"
                                 : "the desktop bound none of them",
               bindResponse == 1);
        return;
    }
    const std::string& notes = portal_.registrationProblem;
    say("global shortcuts: " + line + (notes.empty() ? "" : " (" + notes + ")"));
}

// One line per state: the same line is not said twice in a row.
void PortalShortcutSession::say(const std::string& line) {
    if (line != lastLine_) {
        lastLine_ = line;
        if (effects_.say) {
            effects_.say(line);
        }
    }
}

void PortalShortcutSession::giveUp(const std::string& why, bool final) {
    if (!refused_) {
        const std::string& notes = portal_.registrationProblem;
        say("global shortcuts are off: " + why + (notes.empty() ? "" : " (" + notes + ")"));
    }
    refused_ = refused_ || final;
    pending_.reset();
}

} // namespace tunora
