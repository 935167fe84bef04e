// Process entry: reads the command line, hands a command to the running
// program or hands the platform's configuration to
// the core, wires the Linux adapters to the program's logic and runs the loop.

#include "core/catalogue/OndoChannel.h"
#include "linux/app/CommandLine.h"
#include "linux/app/EnvironmentSettings.h"
#include "linux/app/InstanceClient.h"
#include "linux/app/LinuxServices.h"
#include "linux/app/SingleInstanceLock.h"
#include "linux/config/StreamOriginConfig.h"
#include "linux/glib/GObjectPtr.h"
#include "linux/glib/LogLimit.h"
#include "linux/notifications/ProblemNotices.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"
#include "linux/system/ExecutablePaths.h"
#include "linux/system/XdgPaths.h"
#include "linux/toolkit/MainLoopApplication.h"

#include <clocale>
#include <gio/gio.h>
#include <iostream>

#ifndef TUNORA_VERSION
#error "TUNORA_VERSION must be defined by the build"
#endif

namespace {

void listStations() {
    for (const tunora::OndoChannel& channel : tunora::OndoChannel::allChannels()) {
        std::cout << channel.id() << '\t' << channel.name() << '\t' << channel.network().rawValue()
                  << '\t' << channel.streamURL().toString() << '\n';
    }
}

// A station named on the command line by its id ("ndr2") or its exact name ("NDR 2").
std::optional<std::string> stationIdFor(const std::string& idOrName) {
    const auto& stations = tunora::OndoChannel::allChannels();
    if (tunora::findChannelIndex(stations, idOrName)) {
        return idOrName;
    }
    for (const tunora::OndoChannel& station : stations) {
        if (station.name() == idOrName) {
            return station.id();
        }
    }
    return std::nullopt;
}

// Points the station table at the listener's addresses. Returns what was
// ignored (one sentence each) and what a station without an address says.
struct AppliedStreamConfig {
    std::vector<std::string> problems;
    tunora::StreamAddressHelp help;
};
AppliedStreamConfig applyStreamOriginConfig(const tunora::EnvironmentSettings& environment) {
    tunora::StreamOriginConfig config = tunora::loadStreamOriginConfig(
        environment.streamOrigin, tunora::xdg::configHome() / "tunora" / "stream-hosts.json");
    tunora::OndoChannel::configureStreamAddresses(std::move(config.overrides));
    return {std::move(config.problems),
            {tunora::xdg::shownPath(config.hostsFile), config.hostsFileIgnored}};
}

// Without a session bus there is no tray item, no media keys and no
// notification: only the log can say so.
void checkSessionBus(tunora::ProblemLog& problems) {
    GError* rawError = nullptr;
    tunora::GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &rawError));
    tunora::GErrorPtr error(rawError);
    if (!bus) {
        problems.report(tunora::fillIn(
            tunora::GettextStrings::translate(tunora::N_(
                "cannot reach the session bus ({}): no tray item, media keys or notifications")),
            error ? error->message : ""));
    }
}

// Outside a graphical session (a plain console, a service started before the
// desktop) no panel, window or key grab can reach the user. GTK itself opens
// only when a window or the XEmbed icon needs it.
bool sessionHasDisplay() {
    return tunora::nonEmptyVariable("WAYLAND_DISPLAY") || tunora::nonEmptyVariable("DISPLAY");
}

int runTrayApplication(bool service, const tunora::EnvironmentSettings& environment,
                       const AppliedStreamConfig& streamConfig) {
    using namespace tunora;
    const std::string cannotStart = GettextStrings::translate(N_("Tunora cannot start"));
    std::string problem;
    const std::optional<std::filesystem::path> runtimeFolder = xdg::privateRuntimeFolder(problem);
    if (!runtimeFolder) {
        ProblemNotices::tellBeforeExit(cannotStart, problem);
        return 1;
    }
    const SingleInstanceLock lock(*runtimeFolder);
    if (!lock.acquired()) {
        if (service) {
            return 0; // the command that started this one reaches the running Tunora
        }
        // Started again from a launcher, the user would otherwise see nothing at all.
        ProblemNotices::tellBeforeExit(GettextStrings::translate(N_("Tunora is already running")));
        return 0;
    }
    // Its few windows draw nothing with OpenGL; without this GDK loads the GL
    // driver when GTK opens, to choose visuals, which costs time and memory. Set
    // here, before any thread runs, for GTK opens later. A user's own setting wins.
    g_setenv("GDK_GL", "disable", FALSE);
    limitRepeatedLogMessages(); // anyone on the bus can make a library warn
    if (!sessionHasDisplay()) {
        ProblemNotices::tellBeforeExit(
            cannotStart, GettextStrings::translate(N_(
                             "it finds no display: neither DISPLAY nor WAYLAND_DISPLAY is set")));
        return 1;
    }
    MainLoopApplication application;
    LinuxServiceOptions options = LinuxServiceOptions::forThisUser(TUNORA_VERSION, environment);
    options.streamAddressHelp = streamConfig.help;
    AppDelegate::Services services = makeLinuxServices(application, options);
    for (const auto& problems : {environment.ignored, streamConfig.problems}) {
        for (const std::string& ignored : problems) {
            services.menu.problems->report(ignored);
        }
    }
    checkSessionBus(*services.menu.problems);
    // Kept for the life of the process; nothing is torn down at exit.
    static AppDelegate* delegate = new AppDelegate(std::move(services));
    application.setDelegate(delegate);
    application.run();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    tunora::GettextStrings::bindDomain(tunora::paths::localeDirectory());
    const std::optional<tunora::CommandLine> parsed = tunora::parseCommandLine(argc, argv);
    if (!parsed) {
        return 2;
    }
    const tunora::CommandLine& commandLine = *parsed;
    if (commandLine.version) {
        std::cout << "tunora " << TUNORA_VERSION << '\n';
        return 0;
    }
    if (commandLine.command) {
        tunora::ForwardedCommand command = *commandLine.command;
        if (command.kind == tunora::ForwardedCommand::Kind::station) {
            const std::optional<std::string> id = stationIdFor(command.station);
            if (!id) {
                // Known here already: no Tunora is started for it.
                std::cerr << "tunora: "
                          << tunora::fillIn(tunora::GettextStrings::translate(tunora::N_(
                                                "no station has the id or name \u201c{}\u201d; "
                                                "tunora --list-stations lists them")),
                                            command.station)
                          << '\n';
                return tunora::commandFailed;
            }
            command.station = *id;
        }
        return tunora::forwardCommand(command);
    }
    // The listener's settings in the environment are read here, once.
    const tunora::EnvironmentSettings environment = tunora::EnvironmentSettings::read();
    const AppliedStreamConfig streamConfig = applyStreamOriginConfig(environment);
    if (commandLine.listStations) {
        for (const std::string& problem : streamConfig.problems) {
            std::cerr << "tunora: " << problem << '\n';
        }
        listStations();
        return 0;
    }
    return runTrayApplication(commandLine.service, environment, streamConfig);
}
