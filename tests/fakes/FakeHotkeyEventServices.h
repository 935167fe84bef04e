#pragma once

#include "platform/HotkeyEventServices.h"

#include <optional>
#include <set>
#include <vector>

namespace tunora::fakes {

// Records handler installs and hot-key registrations, and delivers synthesized
// events to the installed handlers.
class FakeHotkeyEventServices : public HotkeyEventServices {
  public:
    struct Registration {
        std::uint32_t keyCode;
        std::uint32_t modifiers;
        EventHotKeyID id;
        EventTargetRef target;
        std::uint32_t options;
    };
    struct Installed {
        EventTargetRef target;
        EventHandlerProcPtr handler;
        std::vector<EventTypeSpec> types;
        void* userData;
    };
    // A synthesized event; without hotKeyId it carries no direct-object parameter.
    struct Event {
        std::optional<EventHotKeyID> hotKeyId;
    };

    EventTargetRef applicationEventTarget() override {
        return reinterpret_cast<EventTargetRef>(&targetToken);
    }
    OSStatus installEventHandler(EventTargetRef target, EventHandlerProcPtr handler,
                                 std::span<const EventTypeSpec> types, void* userData) override {
        handlers.push_back({target, handler, {types.begin(), types.end()}, userData});
        return noErr;
    }
    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                 EventTargetRef target, std::uint32_t options,
                                 EventHotKeyRef* outRef) override {
        registrations.push_back({keyCode, modifiers, id, target, options});
        if (failingKeyCodes.count(keyCode) != 0) {
            return eventHotKeyExistsErr;
        }
        *outRef = reinterpret_cast<EventHotKeyRef>(&refTokens[registrations.size() % 8]);
        return noErr;
    }
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
    std::vector<Registration> registrations;
    std::set<std::uint32_t> failingKeyCodes;

  private:
    int targetToken = 0;
    int refTokens[8] = {};
};

} // namespace tunora::fakes
