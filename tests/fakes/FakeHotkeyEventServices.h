#pragma once

#include "platform/HotkeyEventServices.h"

#include <optional>
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
    OSStatus registerEventHotKey(std::uint32_t, std::uint32_t, EventHotKeyID, EventTargetRef,
                                 std::uint32_t, EventHotKeyRef* outRef) override {
        ++registrations;
        *outRef = reinterpret_cast<EventHotKeyRef>(&refTokens[registrations % 8]);
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
    int registrations = 0;

  private:
    int targetToken = 0;
    int refTokens[8] = {};
};

} // namespace tunora::fakes
