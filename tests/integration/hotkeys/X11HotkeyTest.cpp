#include "linux/hotkeys/X11HotkeyEventServices.h"

#include "core/hotkeys/HotkeyManager.h"
#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakeSettingsStore.h"
#include "support/TestDesktop.h"

#include <cstdlib>
#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, ...) would break its headers.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;

class X11HotkeyTest : public ::testing::Test {
  protected:
    void TearDown() override {
        // The last manager keeps its event services alive; hand the slot to one
        // without a display so the X connection closes while Xvfb still runs.
        HotkeyManager::create(std::make_shared<fakes::FakeSettingsStore>(),
                              std::make_shared<fakes::FakeHotkeyEventServices>());
        services.reset();
    }

    // A manager whose slots are bound as given (only bound slots hold a key).
    std::shared_ptr<HotkeyManager> makeManager(std::vector<SettingsStore::ArrayElement> slots = {
                                                   "a", "b", "c", "d", "e"}) {
        auto settings = std::make_shared<fakes::FakeSettingsStore>();
        settings->arrays["hotkeyChannels"] = std::move(slots);
        services = std::make_shared<X11HotkeyEventServices>(g_getenv("DISPLAY"));
        auto manager = HotkeyManager::create(settings, services);
        manager->onHotkeyPressed = [this](int slot) { pressed.push_back(slot); };
        return manager;
    }
    static void xdotool(const std::string& arguments) {
        ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
    }
    // Runs the main loop until count presses have arrived (or the deadline passes).
    bool waitForPresses(std::size_t count, std::chrono::milliseconds timeout = 30s) {
        return testing::waitUntil([&] { return pressed.size() >= count; }, timeout,
                                  [] { g_main_context_iteration(nullptr, FALSE); });
    }

    std::shared_ptr<X11HotkeyEventServices> services;
    std::vector<int> pressed;
};

TEST_F(X11HotkeyTest, AltDigitsReachTheCallbackOncePerPress) {
    auto manager = makeManager();
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_NE(manager->hotKeyRefs()[slot], nullptr) << slot;
    }
    for (const char* key : {"alt+1", "alt+2", "alt+3", "alt+4", "alt+5", "alt+1"}) {
        xdotool(std::string("key ") + key);
    }
    ASSERT_TRUE(waitForPresses(6));
    EXPECT_EQ(pressed, (std::vector<int>{0, 1, 2, 3, 4, 0}));

    xdotool("key 2 ctrl+2 alt+6"); // not ours
    xdotool("key alt+3");          // a marker that everything before was seen
    ASSERT_TRUE(waitForPresses(7));
    EXPECT_EQ(pressed.back(), 2);
    EXPECT_EQ(pressed.size(), 7u);

    for (const char* lock : {"Num_Lock", "Caps_Lock"}) { // lock keys do not matter
        xdotool(std::string("key ") + lock + " alt+4");
    }
    ASSERT_TRUE(waitForPresses(9));
    EXPECT_EQ(pressed.back(), 3);
}

TEST_F(X11HotkeyTest, AKeyHeldByAnotherClientFailsOnlyThatSlot) {
    Display* other = XOpenDisplay(g_getenv("DISPLAY"));
    ASSERT_NE(other, nullptr);
    XGrabKey(other, XKeysymToKeycode(other, XK_3), Mod1Mask, DefaultRootWindow(other), False,
             GrabModeAsync, GrabModeAsync);
    XSync(other, False);

    XErrorHandler before = XSetErrorHandler(nullptr);
    XSetErrorHandler(before);
    auto manager = makeManager();
    EXPECT_EQ(XSetErrorHandler(before), before) << "the previous X error handler is restored";

    EXPECT_EQ(manager->hotKeyRefs()[2], nullptr);
    EXPECT_TRUE(manager->keyHeldElsewhere(2));
    EXPECT_EQ(manager->keyName(2), "Alt+3");
    for (int slot : {0, 1, 3, 4}) {
        EXPECT_NE(manager->hotKeyRefs()[slot], nullptr) << slot;
        EXPECT_FALSE(manager->keyHeldElsewhere(slot)) << slot;
    }
    xdotool("key alt+3 alt+2");
    ASSERT_TRUE(waitForPresses(1));
    xdotool("key alt+4");
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(pressed, (std::vector<int>{1, 3}));
    XCloseDisplay(other);
}

// A window with the keyboard focus, as a browser that switches tabs with Alt+N.
class FocusedWindow {
  public:
    FocusedWindow() : display_(XOpenDisplay(g_getenv("DISPLAY"))) {
        const Window root = DefaultRootWindow(display_);
        window_ = XCreateSimpleWindow(display_, root, 0, 0, 100, 100, 0, 0, 0);
        XSelectInput(display_, window_, KeyPressMask | StructureNotifyMask);
        XMapWindow(display_, window_);
        XEvent event;
        EXPECT_TRUE(testing::waitUntil(
            [&] { return XCheckTypedWindowEvent(display_, window_, MapNotify, &event); }));
        XSetInputFocus(display_, window_, RevertToParent, CurrentTime);
        XSync(display_, False);
    }
    ~FocusedWindow() { XCloseDisplay(display_); }
    FocusedWindow(const FocusedWindow&) = delete;
    FocusedWindow& operator=(const FocusedWindow&) = delete;

    // Waits for the window to get a press of key; returns the digits with Alt
    // it got on the way.
    std::vector<char> altDigitsUntil(KeySym key) {
        std::vector<char> digits;
        bool arrived = false;
        testing::waitUntil([&] {
            while (!arrived && XPending(display_) > 0) {
                XEvent event;
                XNextEvent(display_, &event);
                if (event.type != KeyPress) {
                    continue;
                }
                const KeySym sym = XLookupKeysym(&event.xkey, 0);
                arrived = sym == key;
                if (sym >= XK_0 && sym <= XK_9 && (event.xkey.state & Mod1Mask)) {
                    digits.push_back(char('0' + (sym - XK_0)));
                }
            }
            return arrived;
        });
        EXPECT_TRUE(arrived) << XKeysymToString(key);
        return digits;
    }

  private:
    Display* display_;
    Window window_;
};

// A key grab takes a key from every program: an unbound slot must leave Alt+N
// to the window in front, and take it only while the menu binds the slot.
TEST_F(X11HotkeyTest, AnUnboundSlotLeavesItsKeyToTheFocusedWindow) {
    FocusedWindow window;
    auto manager = makeManager({"a", "", "", "", ""});
    EXPECT_EQ(manager->hotKeyRefs()[3], nullptr);
    xdotool("key alt+1 alt+4 x");
    EXPECT_EQ(window.altDigitsUntil(XK_x), std::vector<char>{'4'});
    ASSERT_TRUE(waitForPresses(1));

    manager->setChannelForSlot("fritz", 3);
    xdotool("key alt+4 alt+2 y");
    EXPECT_EQ(window.altDigitsUntil(XK_y), std::vector<char>{'2'});
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(pressed, (std::vector<int>{0, 3}));

    manager->setChannelForSlot(std::nullopt, 3);
    manager->setChannelForSlot(std::nullopt, 0);
    xdotool("key alt+4 alt+1 z");
    EXPECT_EQ(window.altDigitsUntil(XK_z), (std::vector<char>{'4', '1'}));
    EXPECT_EQ(pressed.size(), 2u);
}

TEST_F(X11HotkeyTest, HeldKeyFiresOnce) {
    auto manager = makeManager();
    xdotool("keydown alt+1");
    ASSERT_TRUE(waitForPresses(1));
    // Hold past the server's auto-repeat delay: repeats must not count as presses.
    waitForPresses(2, 1500ms);
    xdotool("keyup alt+1");
    xdotool("key alt+2");
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(pressed, (std::vector<int>{0, 1}));
}

TEST(X11HotkeyWithoutDisplay, EveryRegistrationFailsQuietly) {
    auto services = std::make_shared<X11HotkeyEventServices>(":4999");
    EXPECT_FALSE(services->hasDisplay());
    auto settings = std::make_shared<fakes::FakeSettingsStore>();
    settings->arrays["hotkeyChannels"] = {"a", "b", "c", "d", "e"};
    auto manager = HotkeyManager::create(settings, services);
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_EQ(manager->hotKeyRefs()[slot], nullptr);
        EXPECT_FALSE(manager->keyHeldElsewhere(slot)) << "no display is not another program";
    }
}

} // namespace
} // namespace tunora
