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

    std::shared_ptr<HotkeyManager> makeManager() {
        services = std::make_shared<X11HotkeyEventServices>(g_getenv("DISPLAY"));
        auto manager =
            HotkeyManager::create(std::make_shared<fakes::FakeSettingsStore>(), services);
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
    for (int slot : {0, 1, 3, 4}) {
        EXPECT_NE(manager->hotKeyRefs()[slot], nullptr) << slot;
    }
    xdotool("key alt+3 alt+2");
    ASSERT_TRUE(waitForPresses(1));
    xdotool("key alt+4");
    ASSERT_TRUE(waitForPresses(2));
    EXPECT_EQ(pressed, (std::vector<int>{1, 3}));
    XCloseDisplay(other);
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
    auto manager = HotkeyManager::create(std::make_shared<fakes::FakeSettingsStore>(), services);
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_EQ(manager->hotKeyRefs()[slot], nullptr);
    }
}

} // namespace
} // namespace tunora
