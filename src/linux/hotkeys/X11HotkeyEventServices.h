#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/hotkeys/HotkeyDispatch.h"
#include "platform/HotkeyEventServices.h"

#include <array>
#include <glib.h>
#include <memory>
#include <vector>

// Xlib's types, declared here so its macros (None, Status, ...) stay out of users' code.
struct _XDisplay;

namespace tunora {

// Global hot keys on an X display: each registration grabs its key combination
// on the root window (with every Caps Lock / Num Lock variant), which takes it
// from every other program until it is unregistered, and presses are
// read from the X connection on the GLib main loop and handed to the installed
// handlers as hot-key events, one per press (held keys do not repeat).
//
// Without a display (Wayland-only session, headless start) registrations fail
// and nothing else changes.
class X11HotkeyEventServices : public HotkeyDispatch {
  public:
    // Opens its own connection to displayName (nullptr: $DISPLAY).
    explicit X11HotkeyEventServices(const char* displayName = nullptr);
    ~X11HotkeyEventServices() override;
    X11HotkeyEventServices(const X11HotkeyEventServices&) = delete;
    X11HotkeyEventServices& operator=(const X11HotkeyEventServices&) = delete;

    bool hasDisplay() const { return display_ != nullptr; }

    OSStatus registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers, EventHotKeyID id,
                                 EventTargetRef target, std::uint32_t options,
                                 EventHotKeyRef* outRef) override;
    OSStatus unregisterEventHotKey(EventHotKeyRef ref) override;
    bool registrationsGrabKeys() override { return true; }

  private:
    struct DisplayCloser {
        void operator()(_XDisplay* display) const;
    };
    struct Grab;

    static gboolean onDisplayReadable(gint fd, GIOCondition condition, gpointer self);
    void drainEvents();
    void handleKeyEvent(unsigned keycode, unsigned state, bool pressed);
    unsigned modifierMaskForKeysym(unsigned long keysym) const;
    void ungrab(unsigned keycode, unsigned modifiers);
    std::array<unsigned, 4> lockVariants() const;

    std::unique_ptr<_XDisplay, DisplayCloser> display_;
    GSourceId watch_; // the X connection on the main loop; goes before the display
    // Caps Lock and Num Lock: a press counts whatever their state.
    unsigned ignoredLockMask_ = 0;
    std::vector<std::unique_ptr<Grab>> grabs_;
};

} // namespace tunora
