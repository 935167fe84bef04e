#pragma once

#include "platform/HotkeyEventServices.h"

#include <optional>
#include <vector>

// The port's opaque handles, as the hot-key adapters fill them.
struct tunora::OpaqueEventTarget {};
struct tunora::OpaqueEvent {
    std::optional<tunora::EventHotKeyID> hotKeyId;
};
struct tunora::OpaqueEventHotKey {};

namespace tunora {

// The digit key ('0'..'9') a key code of the hot-key service names: it numbers
// the keys of an ANSI keyboard.
std::optional<char> digitForKeyCode(std::uint32_t keyCode);

// What every hot-key adapter does alike: keeps the installed handlers and hands
// a press, as a hot-key event, to the first handler of its target that takes it.
class HotkeyDispatch {
  public:
    static EventTargetRef applicationTarget();

    OSStatus install(EventTargetRef target, EventHandlerProcPtr handler,
                     std::span<const EventTypeSpec> types, void* userData);
    void dispatch(EventTargetRef target, EventHotKeyID id) const;
    // The hot-key id an event carries, read as the port's getEventParameter does.
    static OSStatus readHotKeyId(EventRef event, std::uint32_t name, std::uint32_t desiredType,
                                 EventHotKeyID& out);

  private:
    struct Installed {
        EventTargetRef target;
        EventHandlerProcPtr handler;
        std::vector<EventTypeSpec> types;
        void* userData;
    };
    std::vector<Installed> handlers_;
};

} // namespace tunora
