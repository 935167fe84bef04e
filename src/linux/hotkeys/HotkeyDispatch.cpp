#include "linux/hotkeys/HotkeyDispatch.h"

#include "linux/hotkeys/TriggerDescription.h"

#include <algorithm>

namespace tunora {

std::optional<char> digitForKeyCode(std::uint32_t keyCode) {
    switch (keyCode) {
    case 18:
        return '1';
    case 19:
        return '2';
    case 20:
        return '3';
    case 21:
        return '4';
    case 23:
        return '5';
    case 22:
        return '6';
    case 26:
        return '7';
    case 28:
        return '8';
    case 25:
        return '9';
    case 29:
        return '0';
    default:
        return std::nullopt;
    }
}

EventTargetRef HotkeyDispatch::applicationEventTarget() {
    static OpaqueEventTarget application;
    return &application;
}

OSStatus HotkeyDispatch::installEventHandler(EventTargetRef target, EventHandlerProcPtr handler,
                                             std::span<const EventTypeSpec> types, void* userData) {
    if (target == nullptr || handler == nullptr) {
        return eventInternalErr;
    }
    handlers_.push_back({target, handler, {types.begin(), types.end()}, userData});
    return noErr;
}

void HotkeyDispatch::dispatch(EventTargetRef target, EventHotKeyID id) const {
    OpaqueEvent event{id};
    for (const Installed& installed : handlers_) {
        const bool wantsHotKeys =
            std::any_of(installed.types.begin(), installed.types.end(), [](EventTypeSpec type) {
                return type.eventClass == kEventClassKeyboard &&
                       type.eventKind == kEventHotKeyPressed;
            });
        if (installed.target != target || !wantsHotKeys) {
            continue;
        }
        if (installed.handler(nullptr, &event, installed.userData) != eventNotHandledErr) {
            return;
        }
    }
}

OSStatus HotkeyDispatch::getEventParameter(EventRef event, std::uint32_t name,
                                           std::uint32_t desiredType, EventHotKeyID& out) {
    if (event == nullptr || name != kEventParamDirectObject || desiredType != typeEventHotKeyID ||
        !event->hotKeyId) {
        return eventParameterNotFoundErr;
    }
    out = *event->hotKeyId;
    return noErr;
}

HotKeyBinding HotkeyDispatch::hotKeyBinding(EventHotKeyRef ref) {
    return ref != nullptr ? ref->binding : HotKeyBinding{};
}

std::string HotkeyDispatch::hotKeyName(std::uint32_t keyCode, std::uint32_t modifiers) {
    const auto digit = digitForKeyCode(keyCode);
    return digit ? keyLabel(modifiers, std::string(1, *digit)) : std::string();
}

void HotkeyDispatch::setHotKeyBindingsChangedHandler(std::function<void()> handler) {
    bindingsChanged_ = std::move(handler);
}

void HotkeyDispatch::bindingsChanged() const {
    if (bindingsChanged_) {
        bindingsChanged_();
    }
}

} // namespace tunora
