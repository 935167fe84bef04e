#include "linux/app/CommandLine.h"

#include "linux/glib/GObjectPtr.h"
#include "linux/strings/GettextStrings.h"

#include <glib.h>
#include <iostream>
#include <memory>
#include <vector>

namespace tunora {
namespace {

// Where GOption writes what it parses.
struct Options {
    gboolean listStations = FALSE;
    gboolean version = FALSE;
    gboolean service = FALSE;
    gchar* station = nullptr;
    gchar* slot = nullptr;
    gboolean toggle = FALSE;
    gboolean play = FALSE;
    gboolean pause = FALSE;
    gboolean next = FALSE;
    gboolean previous = FALSE;
    gboolean status = FALSE;
    gboolean quit = FALSE;

    Options() = default;
    Options(const Options&) = delete;
    Options& operator=(const Options&) = delete;
    ~Options() {
        g_free(station);
        g_free(slot);
    }
};

bool usageError(const std::string& problem) {
    std::cerr << "tunora: " << problem << "\n"
              << GettextStrings::translate(N_("Try \u201ctunora --help\u201d.")) << "\n";
    return false;
}

// Station names are UTF-8 whatever the locale says (a C locale calls itself
// ASCII); only a name that is not UTF-8 is read in the locale's character set,
// and one that is neither stays as given, to match no station.
std::string stationNameAsUtf8(const char* given) {
    if (g_utf8_validate(given, -1, nullptr)) {
        return given;
    }
    const GCharPtr converted(g_locale_to_utf8(given, -1, nullptr, nullptr, nullptr));
    return converted ? converted.get() : given;
}

// The one command for the running program the options name, if any; false
// (after saying why) when they name more than one or a slot that does not exist.
bool chooseCommand(const Options& options, CommandLine& result) {
    using Kind = ForwardedCommand::Kind;
    std::vector<ForwardedCommand> given;
    if (options.station != nullptr) {
        given.push_back({Kind::station, stationNameAsUtf8(options.station), 0});
    }
    if (options.slot != nullptr) {
        const std::string slot = options.slot;
        if (slot.size() != 1 || slot[0] < '1' || slot[0] > '5') {
            return usageError(
                GettextStrings::translate(N_("--slot takes a number from 1 to 5, not")) + " \"" +
                slot + "\"");
        }
        given.push_back({Kind::slot, "", slot[0] - '0'});
    }
    for (const auto& [flag, kind] :
         {std::pair{options.toggle, Kind::toggle}, std::pair{options.play, Kind::play},
          std::pair{options.pause, Kind::pause}, std::pair{options.next, Kind::next},
          std::pair{options.previous, Kind::previous}, std::pair{options.status, Kind::status},
          std::pair{options.quit, Kind::quit}}) {
        if (flag) {
            given.push_back({kind, "", 0});
        }
    }
    if (given.size() + (options.listStations ? 1 : 0) + (options.version ? 1 : 0) > 1) {
        return usageError(GettextStrings::translate(N_("give one option at a time")));
    }
    if (!given.empty()) {
        result.command = given.front();
    }
    result.listStations = options.listStations;
    result.version = options.version;
    result.service = options.service;
    return true;
}

} // namespace

std::optional<CommandLine> parseCommandLine(int& argc, char**& argv) {
    Options options;
    const GOptionEntry entries[] = {
        // Taken as the bytes given: GOption would convert a string from the
        // locale's character set and refuse "MDR Thüringen" in the C locale of cron.
        {"station", 0, 0, G_OPTION_ARG_FILENAME, &options.station,
         N_("Choose a station in the running Tunora, as in its menu, by its id or exact name "
            "(see --list-stations)"),
         N_("STATION")},
        {"slot", 0, 0, G_OPTION_ARG_STRING, &options.slot,
         N_("Play or pause the station of shortcut N (1 to 5), as Alt+N does"), "N"},
        {"toggle", 0, 0, G_OPTION_ARG_NONE, &options.toggle,
         N_("Pause or resume the current station"), nullptr},
        {"play", 0, 0, G_OPTION_ARG_NONE, &options.play, N_("Play the current station"), nullptr},
        {"pause", 0, 0, G_OPTION_ARG_NONE, &options.pause, N_("Pause"), nullptr},
        {"next", 0, 0, G_OPTION_ARG_NONE, &options.next,
         N_("Play the next station of the shortcuts"), nullptr},
        {"previous", 0, 0, G_OPTION_ARG_NONE, &options.previous,
         N_("Play the previous station of the shortcuts"), nullptr},
        {"status", 0, 0, G_OPTION_ARG_NONE, &options.status,
         N_("Print the state, station id, station name and song title, tab-separated"), nullptr},
        {"quit", 0, 0, G_OPTION_ARG_NONE, &options.quit,
         N_("End the running Tunora, as Quit in its menu does"), nullptr},
        {"list-stations", 0, 0, G_OPTION_ARG_NONE, &options.listStations,
         N_("Print every station with its stream address and exit"), nullptr},
        {"version", 0, 0, G_OPTION_ARG_NONE, &options.version, N_("Print the version and exit"),
         nullptr},
        {"service", 0, G_OPTION_FLAG_HIDDEN, G_OPTION_ARG_NONE, &options.service, nullptr, nullptr},
        {nullptr, 0, 0, G_OPTION_ARG_NONE, nullptr, nullptr, nullptr},
    };
    std::unique_ptr<GOptionContext, decltype(&g_option_context_free)> context(
        g_option_context_new(nullptr), &g_option_context_free);
    g_option_context_set_translation_domain(context.get(), GettextStrings::domain);
    g_option_context_set_summary(
        context.get(),
        GettextStrings::translate(N_("Plays German public radio stations from the system tray."))
            .c_str());
    g_option_context_set_description(
        context.get(),
        GettextStrings::translate(
            N_("The options from --station to --quit go to the Tunora running in this "
               "session, which is started first when none runs (not for --status "
               "or --quit).\n"
               "Exit status: 0 done, 1 it cannot be done, 2 wrong options, "
               "3 no Tunora runs (--status)."))
            .c_str());
    g_option_context_add_main_entries(context.get(), entries, GettextStrings::domain);
    GError* rawError = nullptr;
    const bool parsed = g_option_context_parse(context.get(), &argc, &argv, &rawError);
    GErrorPtr error(rawError);
    CommandLine result;
    if (!parsed || argc > 1) {
        usageError(error ? error->message
                         : GettextStrings::translate(N_("unexpected argument")) + " \u201c" +
                               argv[1] + "\u201d");
        return std::nullopt;
    }
    if (!chooseCommand(options, result)) {
        return std::nullopt;
    }
    return result;
}

} // namespace tunora
