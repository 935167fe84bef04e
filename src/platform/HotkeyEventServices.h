#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace tunora {

// The system's event and hot-key services. Statuses and codes keep the numeric
// values the hotkey logic is written against, so that logic reads the same on
// every desktop; an adapter translates them to its own key and modifier scheme.

using OSStatus = std::int32_t;

inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus eventNotHandledErr = -9874;
inline constexpr OSStatus eventParameterNotFoundErr = -9870;
inline constexpr OSStatus eventHotKeyExistsErr = -9878;
inline constexpr OSStatus eventInternalErr = -9868;

// Four-character codes, first character in the most significant byte.
constexpr std::uint32_t fourCharCode(const char (&code)[5]) {
    return (std::uint32_t(std::uint8_t(code[0])) << 24) |
           (std::uint32_t(std::uint8_t(code[1])) << 16) |
           (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}

inline constexpr std::uint32_t kEventClassKeyboard = fourCharCode("keyb");
inline constexpr std::uint32_t kEventHotKeyPressed = 5;
inline constexpr std::uint32_t kEventParamDirectObject = fourCharCode("----");
inline constexpr std::uint32_t typeEventHotKeyID = fourCharCode("hkid");

// Modifier bits of a hot key.
inline constexpr std::uint32_t cmdKey = 0x0100;
inline constexpr std::uint32_t shiftKey = 0x0200;
inline constexpr std::uint32_t optionKey = 0x0800;
inline constexpr std::uint32_t controlKey = 0x1000;

struct EventHotKeyID {
    std::uint32_t signature;
    std::uint32_t id;
};
static_assert(sizeof(EventHotKeyID) == 8);

// The key a registered hot key really answers to, as the desktop reports it.
struct HotKeyBinding {
    // What the user reads: "Alt+1", "Ctrl+Alt+1", or the desktop's own words; empty when
    // the desktop bound no key.
    std::string description;
    // The same as one key and hot-key modifier bits, when it can be said so
    // (key empty otherwise).
    std::string key;
    std::uint32_t modifiers = 0;
};

struct EventTypeSpec {
    std::uint32_t eventClass;
    std::uint32_t eventKind;
};

// Opaque handles owned by the adapter.
struct OpaqueEventTarget;
struct OpaqueEvent;
struct OpaqueEventHandlerCall;
struct OpaqueEventHotKey;
using EventTargetRef = OpaqueEventTarget*;
using EventRef = OpaqueEvent*;
using EventHandlerCallRef = OpaqueEventHandlerCall*;
using EventHotKeyRef = OpaqueEventHotKey*;

using EventHandlerProcPtr = OSStatus (*)(EventHandlerCallRef, EventRef, void* userData);

class HotkeyEventServices {
  public:
    virtual ~HotkeyEventServices() = default;

    virtual EventTargetRef applicationEventTarget() = 0;
    // Calls handler, on the main thread, for each event of the listed types
    // delivered to target.
    virtual OSStatus installEventHandler(EventTargetRef target, EventHandlerProcPtr handler,
                                         std::span<const EventTypeSpec> types, void* userData) = 0;
    // Registers a system-wide key combination; a press becomes a hot-key event
    // carrying id, sent to target. outRef is set only on success.
    virtual OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                         EventHotKeyID id, EventTargetRef target,
                                         std::uint32_t options, EventHotKeyRef* outRef) = 0;
    // Gives back a key registered with registerEventHotKey; ref is gone afterwards.
    virtual OSStatus unregisterEventHotKey(EventHotKeyRef ref) = 0;
    // Whether a registration takes its key from every other program at once (a
    // key grab), rather than offering the desktop a shortcut that it binds, may
    // ask about and lists in its own settings.
    virtual bool registrationsGrabKeys() = 0;
    // How this desktop names a key combination ("Alt+1"), as its bindings do.
    virtual std::string hotKeyName(std::uint32_t keyCode, std::uint32_t modifiers) = 0;
    // Reads a parameter of an event as a hot-key id (name and type as four-char codes).
    virtual OSStatus getEventParameter(EventRef event, std::uint32_t name,
                                       std::uint32_t desiredType, EventHotKeyID& out) = 0;

    // What the desktop bound for a registration; nothing for a null reference.
    virtual HotKeyBinding hotKeyBinding(EventHotKeyRef ref) = 0;
    // Called on the main thread whenever a binding, or whether the desktop
    // can edit them, changes.
    virtual void setHotKeyBindingsChangedHandler(std::function<void()> handler) = 0;
    // Whether the desktop has settings of its own for these keys, and opening them.
    virtual bool canEditHotKeyBindings() = 0;
    virtual void editHotKeyBindings() = 0;
};

} // namespace tunora
