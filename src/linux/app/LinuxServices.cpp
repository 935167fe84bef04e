#include "linux/app/LinuxServices.h"

#include "linux/app/InstanceCommandServer.h"
#include "linux/app/RemoteCommandFanOut.h"
#include "linux/hotkeys/ShortcutBackend.h"
#include "linux/login/XdgAutostart.h"
#include "linux/mpris/MprisService.h"
#include "linux/net/HttpService.h"
#include "linux/net/Preconnector.h"
#include "linux/notifications/FreedesktopNotifications.h"
#include "linux/notifications/ProblemNotices.h"
#include "linux/playback/GstStreamPlayerFactory.h"
#include "linux/settings/JsonSettingsStore.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/ExecutablePaths.h"
#include "linux/toolkit/CairoGraphics.h"
#include "linux/tray/TrayMediaCommands.h"
#include "linux/tray/TrayStatusItem.h"
#include "linux/update/FeedUpdateController.h"

namespace tunora {

LinuxServiceOptions LinuxServiceOptions::forThisUser(std::string version,
                                                     const EnvironmentSettings& environment) {
    return {
        .settingsFile = JsonSettingsStore::defaultPath(),
        .autostartEntry = XdgAutostart::defaultEntry(),
        .dataDirectory = paths::dataDirectory(),
        .localeDirectory = paths::localeDirectory(),
        .version = std::move(version),
        .updateFeedUrl = environment.updateFeedUrl.value_or(FeedUpdateController::builtInFeedUrl()),
        .playback = environment.playback(),
        .shortcuts = environment.shortcuts,
        .noticeFolder = ProblemNotices::defaultLastingFolder(),
    };
}

namespace {

// At the priority of the D-Bus calls and menu events that ask for the work: a
// plain idle would starve while they keep coming.
void runWhenIdle(std::function<void()> work) {
    g_idle_add_full(
        G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        new std::function<void()>(std::move(work)),
        [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

} // namespace

AppDelegate::Services makeLinuxServices(Application& application,
                                        const LinuxServiceOptions& options) {
    auto mpris = std::make_shared<MprisService>();
    auto instanceCommands = std::make_shared<InstanceCommandServer>();
    // Quit in the menu, over MPRIS and from "tunora --quit" end the program alike.
    mpris->setQuitHandler([&application] { application.terminate(); });
    instanceCommands->setQuitHandler([&application] { application.terminate(); });
    auto trayCommands = std::make_shared<TrayMediaCommands>();
    auto remoteCommands = std::make_shared<RemoteCommandFanOut>(
        std::vector<std::shared_ptr<RemoteCommandCenter>>{mpris, instanceCommands, trayCommands});
    auto notifications = std::make_shared<FreedesktopNotifications>();
    // Everything the listener is told outside the menu goes through here.
    auto problems = std::make_shared<ProblemNotices>(notifications, options.noticeFolder);
    auto settings = std::make_shared<JsonSettingsStore>(options.settingsFile, problems);
    PlaybackSettings playback = options.playback;
    playback.problems = problems;
    // One session, one trust and one memory of redirects for all of the program.
    auto http = std::make_shared<HttpService>(
        HttpService::Options{playback.networkTimeout, playback.tlsCaFile, playback.redirectCache});
    auto streams = std::make_shared<GstStreamPlayerFactory>(std::move(playback), http);
    FeedUpdateController::Options updates;
    updates.http = http;
    auto makeUpdateController = [settings, options, updates] {
        return std::make_shared<FeedUpdateController>(
            options.updateFeedUrl, options.version, settings, std::make_shared<GtkUpdateDialogs>(),
            updates);
    };
    return {
        .streams = streams,
        .nowPlaying = mpris,
        .remoteCommands = remoteCommands,
        .statusBar = std::make_shared<TrayStatusBar>(
            application,
            TrayStatusItem::Options{
                .playPause = [trayCommands] { trayCommands->send(RemoteCommand::togglePlayPause); },
                .onNoTray =
                    [problems] {
                        problems->tell({
                            .topic = "no tray",
                            .title = GettextStrings::translate(
                                N_("Tunora is running, but this desktop shows no tray items")),
                            .body = GettextStrings::translate(
                                N_("On GNOME, install and enable the AppIndicator extension "
                                   "(gnome-shell-extension-appindicator), then log in again.")),
                        });
                    },
            }),
        .notifications = notifications, // asked for permission only
        .menu =
            {
                .settings = settings,
                .hotkeyEvents = makeHotkeyEventServices(options.shortcuts, problems),
                .graphics = std::make_shared<CairoGraphics>(options.dataDirectory / "icons"),
                .strings = std::make_shared<GettextStrings>(options.localeDirectory),
                .loginItems =
                    std::make_shared<XdgAutostart>(options.autostartEntry, paths::executable()),
                .problems = problems,
                .makeUpdateController = makeUpdateController,
                .remoteCommands = remoteCommands,
                .instanceCommands = instanceCommands,
                .runWhenIdle = runWhenIdle,
                .warmer = std::make_shared<Preconnector>(http, nullptr),
                .streamAddressHelp = options.streamAddressHelp,
            },
    };
}

} // namespace tunora
