#pragma once

#include "platform/HotkeyEventServices.h"

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tunora::fakes {

// Records handler installs and hot-key registrations, and delivers synthesized
// events to the installed handlers.
class FakeHotkeyEventServices : public HotkeyEventServices {
  public:
    struct Installed {
        EventHandlerProcPtr handler;
        void* userData;
    };
    // A synthesized event; without hotKeyId it carries no direct-object parameter.
    struct Event {
        std::optional<EventHotKeyID> hotKeyId;
    };

    EventTargetRef applicationEventTarget() override {
        return reinterpret_cast<EventTargetRef>(&targetToken);
    }
    OSStatus installEventHandler(EventTargetRef, EventHandlerProcPtr handler,
                                 std::span<const EventTypeSpec>, void* userData) override {
        handlers.push_back({handler, userData});
        return noErr;
    }
    // Slot n is bound to Alt+(n+1) until a test says otherwise, unless another
    // program holds that key.
    OSStatus registerEventHotKey(std::uint32_t, std::uint32_t, EventHotKeyID id, EventTargetRef,
                                 std::uint32_t, EventHotKeyRef* outRef) override {
        ++registrations;
        if (heldElsewhere.contains(id.id)) {
            return eventHotKeyExistsErr;
        }
        const std::string digit = std::to_string(id.id + 1);
        bindings[id.id % 8] = {"Alt+" + digit, digit, optionKey};
        held.insert(id.id);
        *outRef = reinterpret_cast<EventHotKeyRef>(&bindings[id.id % 8]);
        return noErr;
    }
    OSStatus unregisterEventHotKey(EventHotKeyRef ref) override {
        const auto slot = std::uint32_t(reinterpret_cast<HotKeyBinding*>(ref) - bindings);
        held.erase(slot);
        bindings[slot] = {};
        return noErr;
    }
    bool registrationsGrabKeys() override { return grabs; }
    std::string hotKeyName(std::uint32_t keyCode, std::uint32_t) override {
        return "Alt+key" + std::to_string(keyCode);
    }
    HotKeyBinding hotKeyBinding(EventHotKeyRef ref) override {
        return ref ? *reinterpret_cast<HotKeyBinding*>(ref) : HotKeyBinding{};
    }
    void setHotKeyBindingsChangedHandler(std::function<void()> handler) override {
        changed = std::move(handler);
    }
    bool canEditHotKeyBindings() override { return editable; }
    void editHotKeyBindings() override { ++edits; }
    OSStatus getEventParameter(EventRef event, std::uint32_t name, std::uint32_t desiredType,
                               EventHotKeyID& out) override {
        const auto* synthesized = reinterpret_cast<Event*>(event);
        if (name != kEventParamDirectObject || desiredType != typeEventHotKeyID ||
            !synthesized->hotKeyId) {
            return eventParameterNotFoundErr;
        }
        out = *synthesized->hotKeyId;
        return noErr;
    }

    // Sends an event to the first installed handler, as the event loop would.
    OSStatus deliver(Event* event) {
        return handlers.at(0).handler(nullptr, reinterpret_cast<EventRef>(event),
                                      handlers.at(0).userData);
    }

    std::vector<Installed> handlers;
    int registrations = 0;
    // Slots whose key this program holds now, and those another program holds.
    std::set<std::uint32_t> held;
    std::set<std::uint32_t> heldElsewhere;
    // As an X11 key grab; false: as the portal.
    bool grabs = true;
    HotKeyBinding bindings[8];
    std::function<void()> changed;
    bool editable = false;
    int edits = 0;

  private:
    int targetToken = 0;
};

} // namespace tunora::fakes
