// Process entry: reads the command line, hands the platform's configuration to
// the core, wires the Linux adapters to the program's logic and runs the loop.

#include "core/catalogue/OndoChannel.h"
#include "linux/app/InstanceClient.h"
#include "linux/app/LinuxServices.h"
#include "linux/app/SingleInstanceLock.h"
#include "linux/config/StreamOriginConfig.h"
#include "linux/glib/GObjectPtr.h"
#include "linux/notifications/FreedesktopNotifications.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/ExecutablePaths.h"
#include "linux/system/XdgPaths.h"
#include "linux/toolkit/GtkApplicationLoop.h"

#include <clocale>
#include <gtk/gtk.h>
#include <iostream>

#ifndef TUNORA_VERSION
#error "TUNORA_VERSION must be defined by the build"
#endif

namespace {

struct CommandLine {
    gboolean listStations = FALSE;
    gboolean version = FALSE;
    // Started by a command that found no Tunora: quiet when one runs after all.
    gboolean service = FALSE;
    gchar* station = nullptr;
    gchar* slot = nullptr;
    gboolean toggle = FALSE;
    gboolean play = FALSE;
    gboolean pause = FALSE;
    gboolean next = FALSE;
    gboolean previous = FALSE;
    gboolean status = FALSE;
    std::optional<tunora::ForwardedCommand> command;

    CommandLine() = default;
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;
    ~CommandLine() {
        g_free(station);
        g_free(slot);
    }
};

bool usageError(const std::string& problem) {
    std::cerr << "tunora: " << problem << "\n"
              << "Try \"tunora --help\".\n";
    return false;
}

// The one command for the running program the options name, if any; false
// (after saying why) when they name more than one or a slot that does not exist.
bool chooseCommand(CommandLine& commandLine) {
    using Kind = tunora::ForwardedCommand::Kind;
    std::vector<tunora::ForwardedCommand> given;
    if (commandLine.station != nullptr) {
        given.push_back({Kind::station, commandLine.station, 0});
    }
    if (commandLine.slot != nullptr) {
        const std::string slot = commandLine.slot;
        if (slot.size() != 1 || slot[0] < '1' || slot[0] > '5') {
            return usageError(tunora::GettextStrings::translate(
                                  tunora::N_("--slot takes a number from 1 to 5, not")) +
                              " \"" + slot + "\"");
        }
        given.push_back({Kind::slot, "", slot[0] - '0'});
    }
    for (const auto& [flag, kind] :
         {std::pair{commandLine.toggle, Kind::toggle}, std::pair{commandLine.play, Kind::play},
          std::pair{commandLine.pause, Kind::pause}, std::pair{commandLine.next, Kind::next},
          std::pair{commandLine.previous, Kind::previous},
          std::pair{commandLine.status, Kind::status}}) {
        if (flag) {
            given.push_back({kind, "", 0});
        }
    }
    if (given.size() + (commandLine.listStations ? 1 : 0) + (commandLine.version ? 1 : 0) > 1) {
        return usageError(
            tunora::GettextStrings::translate(tunora::N_("give one option at a time")));
    }
    if (!given.empty()) {
        commandLine.command = given.front();
    }
    return true;
}

// Parses the options; false (after saying why on stderr) when they make no sense.
bool parseCommandLine(int& argc, char**& argv, CommandLine& commandLine) {
    using tunora::N_;
    const GOptionEntry entries[] = {
        {"station", 0, 0, G_OPTION_ARG_STRING, &commandLine.station,
         N_("Choose the station ID in the running Tunora, as in its menu"), "ID"},
        {"slot", 0, 0, G_OPTION_ARG_STRING, &commandLine.slot,
         N_("Play or pause the station of shortcut N (1 to 5), as Alt+N does"), "N"},
        {"toggle", 0, 0, G_OPTION_ARG_NONE, &commandLine.toggle,
         N_("Pause or resume the current station"), nullptr},
        {"play", 0, 0, G_OPTION_ARG_NONE, &commandLine.play, N_("Play the current station"),
         nullptr},
        {"pause", 0, 0, G_OPTION_ARG_NONE, &commandLine.pause, N_("Pause"), nullptr},
        {"next", 0, 0, G_OPTION_ARG_NONE, &commandLine.next,
         N_("Play the next station of the shortcuts"), nullptr},
        {"previous", 0, 0, G_OPTION_ARG_NONE, &commandLine.previous,
         N_("Play the previous station of the shortcuts"), nullptr},
        {"status", 0, 0, G_OPTION_ARG_NONE, &commandLine.status,
         N_("Print the state, station id, station name and song title, tab-separated"), nullptr},
        {"list-stations", 0, 0, G_OPTION_ARG_NONE, &commandLine.listStations,
         N_("Print every station with its stream address and exit"), nullptr},
        {"version", 0, 0, G_OPTION_ARG_NONE, &commandLine.version, N_("Print the version and exit"),
         nullptr},
        {"service", 0, G_OPTION_FLAG_HIDDEN, G_OPTION_ARG_NONE, &commandLine.service, nullptr,
         nullptr},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
    };
    std::unique_ptr<GOptionContext, decltype(&g_option_context_free)> context(
        g_option_context_new(nullptr), &g_option_context_free);
    g_option_context_set_translation_domain(context.get(), tunora::GettextStrings::domain);
    g_option_context_set_summary(context.get(),
                                 tunora::GettextStrings::translate(
                                     N_("Plays German public radio stations from the system tray."))
                                     .c_str());
    g_option_context_set_description(
        context.get(),
        tunora::GettextStrings::translate(
            N_("The options from --station to --status go to the Tunora running in this "
               "session, which is started first when none runs (not for --status).\n"
               "Exit status: 0 done, 1 it cannot be done, 2 wrong options, "
               "3 no Tunora runs (--status)."))
            .c_str());
    g_option_context_add_main_entries(context.get(), entries, tunora::GettextStrings::domain);
    GError* rawError = nullptr;
    const bool parsed = g_option_context_parse(context.get(), &argc, &argv, &rawError);
    tunora::GErrorPtr error(rawError);
    if (!parsed || argc > 1) {
        return usageError(error ? error->message : "unexpected argument " + std::string(argv[1]));
    }
    return chooseCommand(commandLine);
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

int runTrayApplication(bool service) {
    using namespace tunora;
    std::string problem;
    const std::optional<std::filesystem::path> runtimeFolder = xdg::privateRuntimeFolder(problem);
    if (!runtimeFolder) {
        std::cerr << "tunora: " << problem << " (needed for the tray picture and the lock)\n";
        return 1;
    }
    const SingleInstanceLock lock(*runtimeFolder);
    if (!lock.acquired()) {
        if (service) {
            return 0; // the command that started this one reaches the running Tunora
        }
        // Started again from a launcher, the user would otherwise see nothing at all.
        const std::string message = GettextStrings::translate(N_("Tunora is already running"));
        std::cerr << "tunora: " << message << "\n";
        FreedesktopNotifications::postBeforeExit(message);
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
    // Kept for the life of the process; nothing is torn down at exit.
    static AppDelegate* delegate = new AppDelegate(makeLinuxServices(
        application, LinuxServiceOptions::forThisUser(*runtimeFolder, TUNORA_VERSION)));
    application.setDelegate(delegate);
    application.run();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    tunora::GettextStrings::bindDomain(tunora::paths::localeDirectory());
    CommandLine commandLine;
    if (!parseCommandLine(argc, argv, commandLine)) {
        return 2;
    }
    if (commandLine.version) {
        std::cout << "tunora " << TUNORA_VERSION << '\n';
        return 0;
    }
    if (commandLine.command) {
        if (commandLine.command->kind == tunora::ForwardedCommand::Kind::station &&
            !tunora::findChannelIndex(tunora::OndoChannel::allChannels(),
                                      commandLine.command->station)) {
            // Known here already: no Tunora is started for it.
            std::cerr << "tunora: "
                      << tunora::GettextStrings::translate(tunora::N_("no station has this id"))
                      << ": " << commandLine.command->station << '\n';
            return tunora::commandFailed;
        }
        return tunora::forwardCommand(*commandLine.command);
    }
    applyStreamOriginConfig();
    if (commandLine.listStations) {
        listStations();
        return 0;
    }
    return runTrayApplication(commandLine.service);
}
