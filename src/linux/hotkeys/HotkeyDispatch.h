#pragma once

#include "platform/HotkeyEventServices.h"

#include <functional>
#include <optional>
#include <vector>

// The port's opaque handles, as the hot-key adapters fill them.
struct tunora::OpaqueEventTarget {};
struct tunora::OpaqueEvent {
    std::optional<tunora::EventHotKeyID> hotKeyId;
};
struct tunora::OpaqueEventHotKey {
    tunora::HotKeyBinding binding;
};

namespace tunora {

// The digit key ('0'..'9') a key code of the hot-key service names: it numbers
// the keys of an ANSI keyboard.
std::optional<char> digitForKeyCode(std::uint32_t keyCode);

// What every hot-key adapter does alike: the application target, the installed
// handlers, and a press handed, as a hot-key event, to the first handler of its
// target that takes it. An adapter adds only how keys are registered.
class HotkeyDispatch : public HotkeyEventServices {
  public:
    EventTargetRef applicationEventTarget() override;
    OSStatus installEventHandler(EventTargetRef target, EventHandlerProcPtr handler,
                                 std::span<const EventTypeSpec> types, void* userData) override;
    OSStatus getEventParameter(EventRef event, std::uint32_t name, std::uint32_t desiredType,
                               EventHotKeyID& out) override;
    HotKeyBinding hotKeyBinding(EventHotKeyRef ref) override;
    std::string hotKeyName(std::uint32_t keyCode, std::uint32_t modifiers) override;
    void setHotKeyBindingsChangedHandler(std::function<void()> handler) override;
    bool canEditHotKeyBindings() override { return false; }
    void editHotKeyBindings() override {}

  protected:
    void dispatch(EventTargetRef target, EventHotKeyID id) const;
    void bindingsChanged() const;

  private:
    struct Installed {
        EventTargetRef target;
        EventHandlerProcPtr handler;
        std::vector<EventTypeSpec> types;
        void* userData;
    };
    std::vector<Installed> handlers_;
    std::function<void()> bindingsChanged_;
};

} // namespace tunora
