// Latency from a key press at the X server to the hot-key callback, and the cost
// of one slot-store query and one write on a real settings file.

#include "core/hotkeys/HotkeyManager.h"
#include "linux/hotkeys/X11HotkeyEventServices.h"
#include "linux/settings/JsonSettingsStore.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

void report(const char* name, std::vector<double> samples, const char* unit) {
    std::sort(samples.begin(), samples.end());
    std::printf("%-28s median %8.2f %s  min %8.2f  p90 %8.2f  max %8.2f  (n=%zu)\n", name,
                samples[samples.size() / 2], unit, samples.front(),
                samples[samples.size() * 9 / 10], samples.back(), samples.size());
}

class NoHotkeys : public tunora::HotkeyDispatch {
  public:
    tunora::OSStatus registerEventHotKey(std::uint32_t, std::uint32_t, tunora::EventHotKeyID,
                                         tunora::EventTargetRef, std::uint32_t,
                                         tunora::EventHotKeyRef*) override {
        return tunora::eventInternalErr;
    }
    tunora::OSStatus unregisterEventHotKey(tunora::EventHotKeyRef) override {
        return tunora::eventInternalErr;
    }
    bool registrationsGrabKeys() override { return true; }
};

void benchKeyLatency() {
    char directory[] = "/tmp/tunora-bench-XXXXXX";
    mkdtemp(directory);
    auto services = std::make_shared<tunora::X11HotkeyEventServices>(g_getenv("DISPLAY"));
    auto manager =
        tunora::HotkeyManager::create(std::make_shared<tunora::JsonSettingsStore>(
                                          std::string(directory) + "/tunora/defaults.json"),
                                      services);
    manager->setChannelForSlot("ndr2", 0); // only a bound slot holds its key
    int presses = 0;
    manager->onHotkeyPressed = [&presses](int) { ++presses; };

    Display* keyboard = XOpenDisplay(g_getenv("DISPLAY"));
    const KeyCode alt = XKeysymToKeycode(keyboard, XK_Alt_L);
    const KeyCode one = XKeysymToKeycode(keyboard, XK_1);
    std::vector<double> samples;
    for (int i = 0; i < 200; ++i) {
        XTestFakeKeyEvent(keyboard, alt, True, 0);
        const auto start = Clock::now();
        XTestFakeKeyEvent(keyboard, one, True, 0);
        XFlush(keyboard);
        const int before = presses;
        while (presses == before && Clock::now() - start < 2s) {
            g_main_context_iteration(nullptr, FALSE);
        }
        samples.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        XTestFakeKeyEvent(keyboard, one, False, 0);
        XTestFakeKeyEvent(keyboard, alt, False, 0);
        XSync(keyboard, False);
        while (g_main_context_iteration(nullptr, FALSE)) {
        }
    }
    XCloseDisplay(keyboard);
    report("key press -> callback", samples, "us");
    tunora::HotkeyManager::create(std::make_shared<tunora::JsonSettingsStore>("/nonexistent"),
                                  std::make_shared<NoHotkeys>());
    std::filesystem::remove_all(directory);
}

void benchSlotStore() {
    char directory[] = "/tmp/tunora-bench-XXXXXX";
    mkdtemp(directory);
    auto store = std::make_shared<tunora::JsonSettingsStore>(std::string(directory) +
                                                             "/tunora/defaults.json");
    auto manager = tunora::HotkeyManager::create(store, std::make_shared<NoHotkeys>());
    manager->setDefaults({"ondo", "ondo_kultur", "ondo_nova"});

    std::vector<double> queries, writes;
    for (int i = 0; i < 2000; ++i) {
        const auto start = Clock::now();
        manager->slotForChannelId("ndr2");
        queries.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    for (int i = 0; i < 200; ++i) {
        const auto start = Clock::now();
        manager->setChannelForSlot(i % 2 ? "ndr2" : "wdr2", 3);
        writes.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    report("slot query (cached file)", queries, "us");
    report("slot write (atomic, fsync)", writes, "us");
    std::filesystem::remove_all(directory);
}

} // namespace

int main() {
    benchKeyLatency();
    benchSlotStore();
    return 0;
}
