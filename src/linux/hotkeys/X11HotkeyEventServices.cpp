#include "linux/hotkeys/X11HotkeyEventServices.h"

#include "linux/hotkeys/TriggerDescription.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <algorithm>
#include <array>
#include <glib-unix.h>
#include <optional>
#include <string>
#include <utility>

namespace tunora {
namespace {

constexpr unsigned buttonMasks =
    Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;

// Catches X errors of the requests made while it exists, then puts back whatever
// handler was installed before (GDK's, when GTK runs in this process).
class XErrorTrap {
  public:
    XErrorTrap() : previous_(XSetErrorHandler(&XErrorTrap::record)) { lastError = Success; }
    ~XErrorTrap() { XSetErrorHandler(previous_); }
    XErrorTrap(const XErrorTrap&) = delete;
    XErrorTrap& operator=(const XErrorTrap&) = delete;

    // Waits for the server to answer every request so far; true when none failed.
    bool succeeded(Display* display) {
        XSync(display, False);
        return lastError == Success;
    }

  private:
    static int record(Display*, XErrorEvent* error) {
        lastError = error->error_code;
        return 0;
    }
    static inline unsigned char lastError = Success;
    XErrorHandler previous_;
};

} // namespace

struct X11HotkeyEventServices::Grab : OpaqueEventHotKey {
    KeyCode keycode;
    unsigned modifiers;
    EventHotKeyID id;
    EventTargetRef target;
    bool held = false;
};

void X11HotkeyEventServices::DisplayCloser::operator()(_XDisplay* display) const {
    XCloseDisplay(display);
}

X11HotkeyEventServices::X11HotkeyEventServices(const char* displayName)
    : display_(XOpenDisplay(displayName)) {
    if (!display_) {
        return;
    }
    // A held key then repeats as presses alone, without releases in between,
    // so a press can be told from a repeat by whether its key is still down.
    Bool supported = False;
    XkbSetDetectableAutoRepeat(display_.get(), True, &supported);
    watch_.reset(g_unix_fd_add(ConnectionNumber(display_.get()), G_IO_IN,
                               &X11HotkeyEventServices::onDisplayReadable, this));
}

X11HotkeyEventServices::~X11HotkeyEventServices() = default;

unsigned X11HotkeyEventServices::modifierMaskForKeysym(unsigned long keysym) const {
    const KeyCode keycode = XKeysymToKeycode(display_.get(), keysym);
    XModifierKeymap* map = XGetModifierMapping(display_.get());
    unsigned mask = 0;
    for (int modifier = 0; map != nullptr && modifier < 8 && keycode != 0; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == keycode) {
                mask |= 1u << modifier;
            }
        }
    }
    if (map != nullptr) {
        XFreeModifiermap(map);
    }
    return mask;
}

OSStatus X11HotkeyEventServices::registerEventHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                     EventHotKeyID id, EventTargetRef target,
                                                     std::uint32_t, EventHotKeyRef* outRef) {
    const auto digit = digitForKeyCode(keyCode);
    if (!display_ || !digit || outRef == nullptr) {
        return eventInternalErr;
    }
    const KeySym keysym = XK_0 + (*digit - '0');
    unsigned xModifiers = 0;
    if (modifiers & optionKey) {
        const unsigned alt = modifierMaskForKeysym(XK_Alt_L);
        xModifiers |= alt != 0 ? alt : Mod1Mask;
    }
    if (modifiers & cmdKey) {
        xModifiers |= Mod4Mask;
    }
    if (modifiers & shiftKey) {
        xModifiers |= ShiftMask;
    }
    if (modifiers & controlKey) {
        xModifiers |= ControlMask;
    }
    const KeyCode keycode = XKeysymToKeycode(display_.get(), keysym);
    if (keycode == 0) {
        return eventInternalErr;
    }

    ignoredLockMask_ = LockMask | modifierMaskForKeysym(XK_Num_Lock);
    bool grabbed = false;
    {
        XErrorTrap trap;
        for (unsigned variant : lockVariants()) {
            XGrabKey(display_.get(), keycode, xModifiers | variant,
                     DefaultRootWindow(display_.get()), False, GrabModeAsync, GrabModeAsync);
        }
        grabbed = trap.succeeded(display_.get());
    }
    if (!grabbed) {
        ungrab(keycode, xModifiers); // another client holds it: give back the variants we got
    }
    drainEvents(); // XSync may have queued events the fd watch will not see
    if (!grabbed) {
        return eventHotKeyExistsErr; // the caller tells the listener, naming the key
    }
    auto grab = std::make_unique<Grab>();
    grab->keycode = keycode;
    grab->modifiers = xModifiers;
    grab->id = id;
    grab->target = target;
    grab->binding = {keyLabel(modifiers, std::string(1, *digit)), std::string(1, *digit),
                     modifiers};
    *outRef = grab.get();
    grabs_.push_back(std::move(grab));
    return noErr;
}

OSStatus X11HotkeyEventServices::unregisterEventHotKey(EventHotKeyRef ref) {
    const auto found = std::find_if(grabs_.begin(), grabs_.end(),
                                    [ref](const auto& grab) { return grab.get() == ref; });
    if (found == grabs_.end()) {
        return eventInternalErr;
    }
    ungrab((*found)->keycode, (*found)->modifiers);
    grabs_.erase(found);
    drainEvents();
    return noErr;
}

// Every Caps Lock and Num Lock variant of a grab, and waits until the server has them.
void X11HotkeyEventServices::ungrab(unsigned keycode, unsigned modifiers) {
    XErrorTrap trap; // a variant that was never grabbed is no error worth a word
    for (unsigned variant : lockVariants()) {
        XUngrabKey(display_.get(), keycode, modifiers | variant, DefaultRootWindow(display_.get()));
    }
    trap.succeeded(display_.get());
}

std::array<unsigned, 4> X11HotkeyEventServices::lockVariants() const {
    const unsigned numLock = ignoredLockMask_ & ~unsigned(LockMask);
    return {0u, LockMask, numLock, LockMask | numLock};
}

gboolean X11HotkeyEventServices::onDisplayReadable(gint, GIOCondition condition, gpointer self) {
    auto* services = static_cast<X11HotkeyEventServices*>(self);
    if (condition & (G_IO_HUP | G_IO_ERR)) {
        services->watch_.forget();
        return G_SOURCE_REMOVE; // the X server went away; hot keys end with it
    }
    services->drainEvents();
    return G_SOURCE_CONTINUE;
}

void X11HotkeyEventServices::drainEvents() {
    while (XPending(display_.get()) > 0) {
        XEvent event;
        XNextEvent(display_.get(), &event);
        if (event.type == KeyPress || event.type == KeyRelease) {
            handleKeyEvent(event.xkey.keycode, event.xkey.state, event.type == KeyPress);
        }
    }
}

void X11HotkeyEventServices::handleKeyEvent(unsigned keycode, unsigned state, bool pressed) {
    if (!pressed) {
        for (auto& grab : grabs_) {
            if (grab->keycode == keycode) {
                grab->held = false;
            }
        }
        return;
    }
    const unsigned modifiers = state & ~(LockMask | ignoredLockMask_ | buttonMasks);
    for (auto& grab : grabs_) {
        if (grab->keycode == keycode && grab->modifiers == modifiers) {
            if (!grab->held) {
                grab->held = true;
                dispatch(grab->target, grab->id);
            }
            return;
        }
    }
}

} // namespace tunora
