// Process entry: reads the command line, hands the platform's configuration to
// the core, wires the Linux adapters to the program's logic and runs the loop.

#include "core/app/AppDelegate.h"
#include "core/catalogue/OndoChannel.h"
#include "linux/app/SingleInstanceLock.h"
#include "linux/config/StreamOriginConfig.h"
#include "linux/hotkeys/X11HotkeyEventServices.h"
#include "linux/login/XdgAutostart.h"
#include "linux/mpris/MprisService.h"
#include "linux/notifications/FreedesktopNotifications.h"
#include "linux/playback/GstStreamPlayer.h"
#include "linux/settings/JsonSettingsStore.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/ExecutablePaths.h"
#include "linux/system/XdgPaths.h"
#include "linux/toolkit/CairoGraphics.h"
#include "linux/toolkit/GtkApplicationLoop.h"
#include "linux/tray/IndicatorStatusItem.h"
#include "linux/update/FeedUpdateController.h"

#include <clocale>
#include <cstring>
#include <gtk/gtk.h>
#include <iostream>

#ifndef TUNORA_VERSION
#error "TUNORA_VERSION must be defined by the build"
#endif

namespace {

void printUsage(std::ostream& out) {
    out << "Usage: tunora [OPTION]\n"
           "Plays German public radio stations from the system tray.\n"
           "\n"
           "  --list-stations  print every station with its stream address and exit\n"
           "  --help           print this help and exit\n"
           "  --version        print the version and exit\n";
}

void listStations() {
    for (const tunora::OndoChannel& channel : tunora::OndoChannel::allChannels()) {
        std::cout << channel.id() << '\t' << channel.name() << '\t' << channel.network().rawValue()
                  << '\t' << channel.streamURL().toString() << '\n';
    }
}

void applyStreamOriginConfig() {
    const tunora::StreamOriginConfig config = tunora::loadStreamOriginConfigFromEnvironment();
    for (const std::string& problem : config.problems) {
        std::cerr << "tunora: " << problem << '\n';
    }
    tunora::OndoChannel::configureStreamOrigins(config.overrides);
}

int runTrayApplication() {
    using namespace tunora;
    std::string problem;
    const std::optional<std::filesystem::path> privateFolder = xdg::privateRuntimeFolder(problem);
    if (!privateFolder) {
        std::cerr << "tunora: " << problem << " (needed for the tray picture and the lock)\n";
        return 1;
    }
    const std::filesystem::path& runtimeFolder = *privateFolder;
    const SingleInstanceLock lock(runtimeFolder);
    if (!lock.acquired()) {
        std::cerr << "tunora: already running\n";
        return 0;
    }
    // A tray item draws nothing with OpenGL; without this GDK loads the GL driver
    // at start-up to choose visuals, which costs time and memory. A user's own
    // setting wins.
    g_setenv("GDK_GL", "disable", FALSE);
    if (!gtk_init_check(nullptr, nullptr)) {
        std::cerr << "tunora: cannot open a display (is DISPLAY or WAYLAND_DISPLAY set?)\n";
        return 1;
    }

    GtkApplicationLoop application;
    auto mpris = std::make_shared<MprisService>();
    auto settings = std::make_shared<JsonSettingsStore>(JsonSettingsStore::defaultPath());
    const PlaybackSettings playback = PlaybackSettings::fromEnvironment();
    auto makeUpdateController = [settings, caFile = playback.tlsCaFile.value_or("")] {
        return std::make_shared<FeedUpdateController>(
            FeedUpdateController::configuredFeedUrl(), TUNORA_VERSION, settings,
            std::make_shared<GtkUpdateDialogs>(), HttpFetcher::Limits{}, caFile,
            FeedUpdateController::Schedule{});
    };
    auto notifications = std::make_shared<FreedesktopNotifications>();
    AppDelegate::Services services{
        .streams = std::make_shared<GstStreamPlayerFactory>(playback),
        .nowPlaying = mpris,
        .remoteCommands = mpris,
        .statusBar = std::make_shared<IndicatorStatusBar>(application, runtimeFolder),
        .notifications = notifications,
        .menu =
            MenuManager::Services{
                .settings = settings,
                .hotkeyEvents = std::make_shared<X11HotkeyEventServices>(),
                .graphics = std::make_shared<CairoGraphics>(paths::dataDirectory() / "icons"),
                .strings = std::make_shared<GettextStrings>(paths::localeDirectory()),
                .loginItems = std::make_shared<XdgAutostart>(XdgAutostart::defaultEntry(),
                                                             paths::executable()),
                .notifications = notifications,
                .makeUpdateController = makeUpdateController,
            },
    };
    // Kept for the life of the process; nothing is torn down at exit.
    static AppDelegate* delegate = new AppDelegate(std::move(services));
    application.setDelegate(delegate);
    application.run();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    if (argc > 2) {
        printUsage(std::cerr);
        return 2;
    }
    const char* option = argc == 2 ? argv[1] : "";
    if (std::strcmp(option, "--help") == 0) {
        printUsage(std::cout);
        return 0;
    }
    if (std::strcmp(option, "--version") == 0) {
        std::cout << "tunora " << TUNORA_VERSION << '\n';
        return 0;
    }
    if (option[0] != '\0' && std::strcmp(option, "--list-stations") != 0) {
        std::cerr << "tunora: unknown option " << option << '\n';
        printUsage(std::cerr);
        return 2;
    }
    applyStreamOriginConfig();
    if (std::strcmp(option, "--list-stations") == 0) {
        listStations();
        return 0;
    }
    return runTrayApplication();
}
