// Process entry: reads the command line, hands the platform's configuration to
// the core, wires the Linux adapters to the program's logic and runs the loop.

#include "core/catalogue/OndoChannel.h"
#include "linux/app/LinuxServices.h"
#include "linux/app/SingleInstanceLock.h"
#include "linux/config/StreamOriginConfig.h"
#include "linux/glib/GObjectPtr.h"
#include "linux/glib/LogLimit.h"
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
};

// Parses the options; false (after saying why on stderr) when they make no sense.
bool parseCommandLine(int& argc, char**& argv, CommandLine& commandLine) {
    const GOptionEntry entries[] = {
        {"list-stations", 0, 0, G_OPTION_ARG_NONE, &commandLine.listStations,
         tunora::N_("Print every station with its stream address and exit"), nullptr},
        {"version", 0, 0, G_OPTION_ARG_NONE, &commandLine.version,
         tunora::N_("Print the version and exit"), nullptr},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
    };
    std::unique_ptr<GOptionContext, decltype(&g_option_context_free)> context(
        g_option_context_new(nullptr), &g_option_context_free);
    g_option_context_set_translation_domain(context.get(), tunora::GettextStrings::domain);
    g_option_context_set_summary(
        context.get(), tunora::GettextStrings::translate(
                           tunora::N_("Plays German public radio stations from the system tray."))
                           .c_str());
    g_option_context_add_main_entries(context.get(), entries, tunora::GettextStrings::domain);
    GError* rawError = nullptr;
    const bool parsed = g_option_context_parse(context.get(), &argc, &argv, &rawError);
    tunora::GErrorPtr error(rawError);
    if (!parsed || argc > 1) {
        std::cerr << "tunora: "
                  << (error ? error->message : "unexpected argument " + std::string(argv[1]))
                  << "\n"
                  << "Try \"tunora --help\".\n";
        return false;
    }
    return true;
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
    const std::optional<std::filesystem::path> runtimeFolder = xdg::privateRuntimeFolder(problem);
    if (!runtimeFolder) {
        std::cerr << "tunora: " << problem << " (needed for the tray picture and the lock)\n";
        return 1;
    }
    const SingleInstanceLock lock(*runtimeFolder);
    if (!lock.acquired()) {
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
    limitRepeatedLogMessages(); // anyone on the bus can make a library warn
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
    applyStreamOriginConfig();
    if (commandLine.listStations) {
        listStations();
        return 0;
    }
    return runTrayApplication();
}
