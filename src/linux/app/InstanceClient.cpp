#include "linux/app/InstanceClient.h"

#include "linux/app/InstanceCommandServer.h"
#include "linux/glib/GObjectPtr.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/ExecutablePaths.h"

#include <gio/gio.h>
#include <iostream>
#include <unistd.h>

namespace tunora {
namespace {

// How long a running Tunora may take to answer, and a new one to come up.
constexpr int answerSeconds = 5;
constexpr int startSeconds = 15;

using Kind = ForwardedCommand::Kind;

const char* methodName(Kind kind) {
    switch (kind) {
    case Kind::station:
        return "Station";
    case Kind::slot:
        return "Slot";
    case Kind::toggle:
        return "PlayPause";
    case Kind::play:
        return "Play";
    case Kind::pause:
        return "Pause";
    case Kind::next:
        return "Next";
    case Kind::previous:
        return "Previous";
    case Kind::quit:
        return "Quit";
    case Kind::status:
        break;
    }
    return "Status";
}

GVariant* parameters(const ForwardedCommand& command) {
    if (command.kind == Kind::station) {
        return g_variant_new("(s)", command.station.c_str());
    }
    if (command.kind == Kind::slot) {
        return g_variant_new("(i)", command.slot);
    }
    return nullptr;
}

// Why the running program said no; it knows only that it could not.
std::string refusal(const ForwardedCommand& command) {
    switch (command.kind) {
    case Kind::station:
        return GettextStrings::translate(N_("no station has this id or name")) + ": " +
               command.station;
    case Kind::slot:
        return GettextStrings::translate(N_("no station is bound to this shortcut")) + ": " +
               std::to_string(command.slot);
    case Kind::next:
    case Kind::previous:
        return GettextStrings::translate(N_("no station is chosen to step from"));
    default:
        return GettextStrings::translate(N_("no station to play"));
    }
}

// A field of the status line: tabs and line breaks would break the line apart.
std::string field(const gchar* text) {
    std::string value(text);
    for (char& c : value) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return value;
}

enum class Outcome { done, refused, absent, unanswered, broken };

struct Answer {
    Outcome outcome;
    std::string problem;
};

Answer call(GDBusConnection* bus, const ForwardedCommand& command) {
    GError* rawError = nullptr;
    const bool status = command.kind == Kind::status;
    GVariantPtr reply(g_dbus_connection_call_sync(
        bus, InstanceCommandServer::busName, InstanceCommandServer::objectPath,
        InstanceCommandServer::interfaceName, methodName(command.kind), parameters(command),
        status ? G_VARIANT_TYPE("(ssss)") : nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START,
        answerSeconds * 1000, nullptr, &rawError));
    GErrorPtr error(rawError);
    if (reply) {
        if (status) {
            const gchar *state = nullptr, *id = nullptr, *name = nullptr, *title = nullptr;
            g_variant_get(reply.get(), "(&s&s&s&s)", &state, &id, &name, &title);
            std::cout << field(state) << '\t' << field(id) << '\t' << field(name) << '\t'
                      << field(title) << '\n';
        }
        return {Outcome::done, ""};
    }
    if (GCharPtr remote(g_dbus_error_get_remote_error(error.get()));
        remote && g_strcmp0(remote.get(), InstanceCommandServer::failedError) == 0) {
        return {Outcome::refused, refusal(command)};
    }
    if (g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) ||
        g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER)) {
        return {Outcome::absent, ""};
    }
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_TIMED_OUT) ||
        g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) ||
        g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_TIMEOUT)) {
        return {Outcome::unanswered, ""};
    }
    return {Outcome::broken, error->message};
}

// The start of a new Tunora, watched until its commands are on the bus.
struct Start {
    GMainLoop* loop = nullptr;
    GSourceId child;
    bool appeared = false;
    bool failed = false; // the new one ended with an error before it was up
};

// Its own session, so that closing the terminal it was started from leaves it playing.
void detach(gpointer) {
    setsid();
}

// Starts Tunora in the background and waits until it takes commands. Two starts
// at once are harmless: the one that loses the instance lock ends quietly
// (--service), and both callers reach the one that won.
bool startInstance(GDBusConnection* bus, std::string& problem) {
    const std::string executable = paths::executable().string();
    gchar* argv[] = {const_cast<gchar*>(executable.c_str()), const_cast<gchar*>("--service"),
                     nullptr};
    GPid pid = 0;
    GError* rawError = nullptr;
    const auto flags = static_cast<GSpawnFlags>(
        G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL | G_SPAWN_STDERR_TO_DEV_NULL);
    if (!g_spawn_async(nullptr, argv, nullptr, flags, &detach, nullptr, &pid, &rawError)) {
        GErrorPtr error(rawError);
        problem = error->message;
        return false;
    }
    MainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
    Start start;
    start.loop = loop.get();
    const guint watch = g_bus_watch_name_on_connection(
        bus, InstanceCommandServer::busName, G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, gpointer data) {
            auto* start = static_cast<Start*>(data);
            start->appeared = true;
            g_main_loop_quit(start->loop);
        },
        nullptr, &start, nullptr);
    start.child.reset(g_child_watch_add(
        pid,
        [](GPid ended, gint status, gpointer data) {
            auto* start = static_cast<Start*>(data);
            start->child.forget(); // a child watch ends with its child
            g_spawn_close_pid(ended);
            // Status 0: another Tunora holds the lock; it will answer soon.
            if (!g_spawn_check_wait_status(status, nullptr)) {
                start->failed = true;
                g_main_loop_quit(start->loop);
            }
        },
        &start));
    GSourceId deadline;
    deadline.reset(g_timeout_add_seconds(
        startSeconds,
        [](gpointer data) -> gboolean {
            g_main_loop_quit(static_cast<Start*>(data)->loop);
            return G_SOURCE_CONTINUE;
        },
        &start));
    g_main_loop_run(loop.get());
    g_bus_unwatch_name(watch);
    if (start.appeared) {
        return true;
    }
    problem =
        start.failed
            ? GettextStrings::translate(N_("Tunora could not start; start it alone to see why"))
            : GettextStrings::translate(N_("Tunora did not answer in time"));
    return false;
}

// Waits until the program that owned the name has ended (its connection, and
// with it the name, go when the process does), so that a start right after
// finds no Tunora running.
bool waitUntilEnded(GDBusConnection* bus) {
    MainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
    bool ended = false;
    struct Watch {
        GMainLoop* loop;
        bool* ended;
    } watch{loop.get(), &ended};
    const guint watcher = g_bus_watch_name_on_connection(
        bus, InstanceCommandServer::busName, G_BUS_NAME_WATCHER_FLAGS_NONE, nullptr,
        [](GDBusConnection*, const gchar*, gpointer data) {
            auto* watch = static_cast<Watch*>(data);
            *watch->ended = true;
            g_main_loop_quit(watch->loop);
        },
        &watch, nullptr);
    GSourceId deadline;
    deadline.reset(g_timeout_add_seconds(
        answerSeconds,
        [](gpointer data) -> gboolean {
            g_main_loop_quit(static_cast<GMainLoop*>(data));
            return G_SOURCE_CONTINUE;
        },
        loop.get()));
    g_main_loop_run(loop.get());
    g_bus_unwatch_name(watcher);
    return ended;
}

} // namespace

int forwardCommand(const ForwardedCommand& command) {
    GError* rawError = nullptr;
    GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &rawError));
    GErrorPtr error(rawError);
    if (!bus) {
        std::cerr << "tunora: " << GettextStrings::translate(N_("cannot reach the session bus"))
                  << ": " << error->message << '\n';
        return commandFailed;
    }
    Answer answer = call(bus.get(), command);
    if (answer.outcome == Outcome::absent) {
        if (command.kind == Kind::quit) {
            return commandDone; // none runs: nothing to end, and none is started for it
        }
        if (command.kind == Kind::status) {
            // The state column's word for it: scripts read one line either way.
            std::cout << "not running\n";
            return noInstanceRuns;
        }
        if (!startInstance(bus.get(), answer.problem)) {
            std::cerr << "tunora: " << answer.problem << '\n';
            return commandFailed;
        }
        answer = call(bus.get(), command);
    }
    switch (answer.outcome) {
    case Outcome::done:
        if (command.kind == Kind::quit && !waitUntilEnded(bus.get())) {
            answer.problem = GettextStrings::translate(N_("Tunora did not answer in time"));
            break;
        }
        return commandDone;
    case Outcome::unanswered:
    case Outcome::absent:
        answer.problem = GettextStrings::translate(N_("Tunora did not answer in time"));
        break;
    default:
        break;
    }
    std::cerr << "tunora: " << answer.problem << '\n';
    return commandFailed;
}

} // namespace tunora
