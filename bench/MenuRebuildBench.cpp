// Cost of a menu rebuild with the real adapters: the model and its export over
// dbusmenu, when the layout is sent anew and when items are updated in place.

#include "core/app/AppDelegate.h"
#include "linux/app/LinuxServices.h"
#include "linux/toolkit/MainLoopApplication.h"
#include "linux/tray/TrayStatusItem.h"
#include "support/TestDesktop.h"

#include <algorithm>
#include <cstdio>

using Clock = std::chrono::steady_clock;

int main() {
    tunora::testing::TemporaryDirectory work;
    setenv("NO_AT_BRIDGE", "1", 1); // should the XEmbed fallback open GTK

    using namespace tunora;
    MainLoopApplication application;
    LinuxServiceOptions options{
        .settingsFile = work.path() / "defaults.json",
        .autostartEntry = work.path() / "a.desktop",
        .dataDirectory = TUNORA_BUILD_DATA_DIR,
        .localeDirectory = work.path(),
        .version = "0",
        .updateFeedUrl = "",
    };
    AppDelegate delegate(makeLinuxServices(application, options));
    delegate.applicationDidFinishLaunching();
    auto& item = static_cast<TrayStatusItem&>(*delegate.statusItem());

    auto measure = [&](const char* what, auto change) {
        std::vector<double> samples;
        for (int i = 0; i < 100; ++i) {
            const auto start = Clock::now();
            change(i);
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
            samples.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::sort(samples.begin(), samples.end());
        std::printf("%s: median %.2f ms  min %.2f  p90 %.2f  max %.2f  (n=%zu)\n", what,
                    samples[samples.size() / 2], samples.front(), samples[samples.size() * 9 / 10],
                    samples.back(), samples.size());
    };
    // Rebinding a shortcut changes a key hint: updated in place too.
    measure("menu updated in place (shortcut rebound)", [&](int i) {
        const MenuItem& entry =
            *item.menu()->items()[13]->submenu()->items()[4]->submenu()->items()[2 + i % 49];
        sendAction(entry, application);
    });
    // Choosing stations changes texts and check marks only: updated in place.
    measure("menu updated in place (station chosen or paused)", [&](int i) {
        const MenuItem& station = *item.menu()->items()[i % 3];
        sendAction(station, application);
    });
    return 0;
}
