#pragma once

#include "platform/HotkeyEventServices.h"

#include <optional>
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
    // Slot n is bound to Alt+(n+1) until a test says otherwise.
    OSStatus registerEventHotKey(std::uint32_t, std::uint32_t, EventHotKeyID id, EventTargetRef,
                                 std::uint32_t, EventHotKeyRef* outRef) override {
        ++registrations;
        const std::string digit = std::to_string(id.id + 1);
        bindings[id.id % 8] = {"Alt+" + digit, digit, optionKey};
        *outRef = reinterpret_cast<EventHotKeyRef>(&bindings[id.id % 8]);
        return noErr;
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
    HotKeyBinding bindings[8];
    std::function<void()> changed;
    bool editable = false;
    int edits = 0;

  private:
    int targetToken = 0;
};

} // namespace tunora::fakes
