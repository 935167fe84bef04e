#include "linux/playback/GstStreamPlayerFactory.h"
#include "linux/tray/DbusmenuExport.h"

#include "support/TestDesktop.h"

#include <filesystem>
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <set>

namespace tunora {
namespace {

using namespace std::chrono_literals;

// A GNetworkMonitor the test switches on and off, as GLib's own monitors do
// when the machine's routes change.
struct SwitchableMonitor {
    GObject parent;
    gboolean available;
};
struct SwitchableMonitorClass {
    GObjectClass parent;
};
enum { propertyAvailable = 1, propertyMetered, propertyConnectivity };

void switchableMonitorInterface(GNetworkMonitorInterface*) {}
gboolean switchableMonitorInit(GInitable*, GCancellable*, GError**) {
    return TRUE;
}
void switchableMonitorInitable(GInitableIface* iface) {
    iface->init = switchableMonitorInit;
}

G_DEFINE_TYPE_WITH_CODE(SwitchableMonitor, switchable_monitor, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(G_TYPE_INITABLE, switchableMonitorInitable)
                            G_IMPLEMENT_INTERFACE(G_TYPE_NETWORK_MONITOR,
                                                  switchableMonitorInterface))

void switchable_monitor_init(SwitchableMonitor* monitor) {
    monitor->available = TRUE;
}
void switchableMonitorGet(GObject* object, guint id, GValue* value, GParamSpec*) {
    const auto* monitor = reinterpret_cast<SwitchableMonitor*>(object);
    if (id == propertyAvailable) {
        g_value_set_boolean(value, monitor->available);
    } else if (id == propertyMetered) {
        g_value_set_boolean(value, FALSE);
    } else {
        g_value_set_enum(value, monitor->available ? G_NETWORK_CONNECTIVITY_FULL
                                                   : G_NETWORK_CONNECTIVITY_LOCAL);
    }
}
void switchable_monitor_class_init(SwitchableMonitorClass* klass) {
    auto* objectClass = G_OBJECT_CLASS(klass);
    objectClass->get_property = switchableMonitorGet;
    g_object_class_override_property(objectClass, propertyAvailable, "network-available");
    g_object_class_override_property(objectClass, propertyMetered, "network-metered");
    g_object_class_override_property(objectClass, propertyConnectivity, "connectivity");
}
void switchNetwork(GNetworkMonitor* monitor, bool available) {
    reinterpret_cast<SwitchableMonitor*>(monitor)->available = available;
    g_signal_emit_by_name(monitor, "network-changed", gboolean(available));
}

class GstStreamPlayerTest : public ::testing::Test {
  protected:
    GstStreamPlayerTest() {
        settings.reconnectGiveUp = 20s;
        settings.networkTimeout = 2s;
    }

    // A player whose events are written to `events`: "flowing", "reconnecting",
    // or "failed <reason> <detail>".
    std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) {
        if (!factory) {
            factory = std::make_unique<GstStreamPlayerFactory>(settings, networkMonitor.get());
        }
        auto player = factory->makePlayer(url);
        player->setEventHandler([this](const StreamEvent& event) {
            if (event.kind == StreamEvent::Kind::titled) {
                return; // the tone names nothing; titles are tested end to end
            }
            static const char* const kinds[] = {"flowing", "reconnecting", "failed"};
            std::string text = kinds[int(event.kind)];
            if (event.kind == StreamEvent::Kind::failed) {
                text += " " + std::to_string(int(event.failure.reason)) + " " +
                        std::to_string(event.failure.detail);
            }
            events.push_back(text);
        });
        return player;
    }
    static std::string failed(StreamFailure::Reason reason, int detail = 0) {
        return "failed " + std::to_string(int(reason)) + " " + std::to_string(detail);
    }
    void spin() {
        g_main_context_iteration(nullptr, FALSE);
        recorder.pump();
        std::this_thread::sleep_for(5ms); // keeps the poll loop from spinning hot
    }
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 60s) {
        return testing::waitUntil(condition, timeout, [this] { spin(); });
    }
    bool waitForTone() {
        return waitFor([this] {
            return recorder.recentLevel() > 0.05 && std::abs(recorder.recentFrequency() - 440) < 30;
        });
    }
    testing::SoundRecorder recorder;
    PlaybackSettings settings;
    std::unique_ptr<GstStreamPlayerFactory> factory;
    GObjectPtr<GNetworkMonitor> networkMonitor;
    std::vector<std::string> events;
};

using Reason = StreamFailure::Reason;

TEST_F(GstStreamPlayerTest, TheNetworkReturningRestartsOnlyWhatTheNetworkStopped) {
    networkMonitor.reset(G_NETWORK_MONITOR(g_object_new(switchable_monitor_get_type(), nullptr)));
    switchNetwork(networkMonitor.get(), false);

    auto player = makePlayer(testing::streamUrl("/reset-once"));
    auto notFound = makePlayer(testing::streamUrl("/404"));
    player->play();
    notFound->play();
    ASSERT_TRUE(waitFor([&] { return events.size() == 2; }));
    EXPECT_EQ(std::multiset(events.begin(), events.end()),
              (std::multiset{failed(Reason::noNetwork), failed(Reason::httpError, 404)}));

    switchNetwork(networkMonitor.get(), true);
    EXPECT_TRUE(waitForTone());
    EXPECT_TRUE(waitFor([&] { return events.back() == "flowing"; }, 30s))
        << ::testing::PrintToString(events);
    EXPECT_EQ(player->rate(), 1.0f);
    EXPECT_EQ(testing::streamRequests("/404"), 1) << "a 404 is not the network's to cure";
}

TEST_F(GstStreamPlayerTest, ADeadServerIsRetriedEverLessOftenUntilTheWindowCloses) {
    settings.reconnectGiveUp = 3s;
    settings.firstReconnectDelay = 50ms;
    auto player = makePlayer(testing::streamUrl("/dead-after-one"));
    player->play();
    ASSERT_TRUE(
        waitFor([&] { return !events.empty() && events.back().starts_with("failed"); }, 15s));
    EXPECT_EQ(events,
              (std::vector<std::string>{"flowing", "reconnecting", failed(Reason::gaveUp, 3)}));
    // Waits that double from 50 ms fit about six tries into 3 s; a steady 50 ms, dozens.
    EXPECT_LE(testing::streamRequests("/dead-after-one"), 10);
}

TEST_F(GstStreamPlayerTest, PausedWhileWaitingToReconnectItStaysClosed) {
    auto player = makePlayer(testing::streamUrl("/drop-once"));
    player->play();
    ASSERT_TRUE(waitFor([&] { return !events.empty() && events.back() == "reconnecting"; }, 15s));
    player->pause();
    EXPECT_FALSE(waitFor([] { return testing::streamRequests("/drop-once") > 1; }, 2s));
    EXPECT_EQ(player->rate(), 0.0f);
}

TEST_F(GstStreamPlayerTest, AStalledServerNeitherFreezesTheLoopNorEndsPlayback) {
    auto player = makePlayer(testing::streamUrl("/stall"));
    player->play();
    ASSERT_TRUE(waitForTone());
    int ticks = 0; // a timer on the main loop: proof that the loop kept running
    GSourceId ticker;
    ticker.reset(g_timeout_add(
        100, [](gpointer count) -> gboolean { return ++*static_cast<int*>(count), TRUE; }, &ticks));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return testing::streamRequests("/stall") >= 2; }, 15s));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(ticks, waited / 100ms - 3) << "the main loop kept running while the server stalled";
    EXPECT_EQ(player->rate(), 1.0f);
}

TEST_F(GstStreamPlayerTest, AServerSendingWhatDecodesToNothingIsADropUntilItHasNoSound) {
    settings.silenceLimit = 2s;
    settings.reconnectGiveUp = 1s;
    settings.firstReconnectDelay = 50ms;
    auto player = makePlayer(testing::streamUrl("/silent"));
    player->play();
    ASSERT_TRUE(
        waitFor([&] { return !events.empty() && events.back().starts_with("failed"); }, 20s));
    EXPECT_EQ(events, (std::vector<std::string>{"flowing", "reconnecting", "flowing",
                                                failed(Reason::noSound)}));
    EXPECT_EQ(testing::streamRequests("/silent"), 2);
    EXPECT_EQ(player->rate(), 0.0f);
}

TEST_F(GstStreamPlayerTest, AnOpeningMenuWarmsOneConnectionPerHostThatTheClickThenUses) {
    settings.tlsCaFile = testing::testCaFile();
    networkMonitor.reset(G_NETWORK_MONITOR(g_object_new(switchable_monitor_get_type(), nullptr)));
    const std::string station = testing::tlsStreamUrl("/tone.mp3");
    auto player = makePlayer(station);
    const std::shared_ptr<ConnectionWarmer> warmer = factory->connectionWarmer();
    switchNetwork(networkMonitor.get(), false);
    std::string otherHost = station; // the same server under another name
    warmer->warm({otherHost.replace(otherHost.find("127.0.0.1"), 9, "localhost")});
    switchNetwork(networkMonitor.get(), true);
    // Two stations of one host, opened twice: one connection, and not one request.
    warmer->warm({station, testing::tlsStreamUrl("/other.mp3")});
    warmer->warm({station});
    ASSERT_TRUE(waitFor([] { return testing::tlsStreamRequests("connections") == 1; }));
    player->play();
    ASSERT_TRUE(waitForTone());
    EXPECT_EQ(testing::tlsStreamRequests("requests"), 1);
    EXPECT_EQ(testing::tlsStreamRequests("connections"), 1) << "the click used the warm one";
}

// libsoup stops trusting a connection opened ahead and never used after three
// seconds: a menu read for longer must have it opened again, one at a time.
TEST_F(GstStreamPlayerTest, AMenuReadForLongStillHasAWarmConnectionForTheClick) {
    settings.tlsCaFile = testing::testCaFile();
    networkMonitor.reset(G_NETWORK_MONITOR(g_object_new(switchable_monitor_get_type(), nullptr)));
    const std::string station = testing::tlsStreamUrl("/tone.mp3");
    auto player = makePlayer(station);
    const std::shared_ptr<ConnectionWarmer> warmer = factory->connectionWarmer();
    warmer->warm({station});
    ASSERT_TRUE(waitFor([] { return testing::tlsStreamRequests("connections") == 1; }));
    // Its first connection went stale; a second replaces it, never a request.
    ASSERT_TRUE(waitFor([] { return testing::tlsStreamRequests("connections") == 2; }, 15s));
    EXPECT_EQ(testing::tlsStreamRequests("requests"), 0);
    player->play();
    ASSERT_TRUE(waitForTone());
    EXPECT_EQ(testing::tlsStreamRequests("requests"), 1);
    EXPECT_EQ(testing::tlsStreamRequests("connections"), 2) << "the click used the warm one";
}

// The panel says the menu closed: what it warmed is no longer opened again once
// libsoup drops it, while what a later opening warmed still is.
TEST_F(GstStreamPlayerTest, APanelsClosedEventEndsTheHoldingOfWhatTheMenuWarmed) {
    settings.tlsCaFile = testing::testCaFile();
    networkMonitor.reset(G_NETWORK_MONITOR(g_object_new(switchable_monitor_get_type(), nullptr)));
    auto player = makePlayer(testing::tlsStreamUrl("/tone.mp3"));
    const std::shared_ptr<ConnectionWarmer> warmer = factory->connectionWarmer();

    struct : ActionTarget {
        void performAction(const std::string&, const MenuItem&) override {}
    } application;
    DbusmenuExport panelMenu("/TestMenu", application);
    Menu menu;
    auto network = std::make_unique<MenuItem>("Network", "", "");
    auto stations = std::make_unique<Menu>();
    stations->addItem(std::make_unique<MenuItem>("Station", "channelSelected:", ""));
    network->setSubmenu(std::move(stations));
    menu.addItem(std::move(network));
    panelMenu.show(menu);
    std::vector<std::string> heard;
    panelMenu.setOpeningHandler([&](const Menu& opening) {
        heard.push_back(&opening == &menu ? "menu opened" : "submenu opened");
        warmer->warm({testing::streamUrl("/tone.mp3")}); // the plain server: one host
    });
    panelMenu.setDidCloseHandler([&] {
        heard.push_back("closed");
        warmer->menuDidClose();
    });
    GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    auto call = [&](const char* method, GVariant* arguments) {
        GObjectPtr<GAsyncResult> result;
        g_dbus_connection_call(
            bus.get(), g_dbus_connection_get_unique_name(bus.get()), "/TestMenu",
            "com.canonical.dbusmenu", method, arguments, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000,
            nullptr,
            [](GObject*, GAsyncResult* answer, gpointer into) {
                static_cast<GObjectPtr<GAsyncResult>*>(into)->reset(
                    G_ASYNC_RESULT(g_object_ref(answer)));
            },
            &result);
        EXPECT_TRUE(waitFor([&] { return bool(result); })) << method;
        return GVariantPtr(g_dbus_connection_call_finish(bus.get(), result.get(), nullptr));
    };
    auto event = [&](int id, const char* name) {
        call("Event", g_variant_new("(isvu)", id, name, g_variant_new_int32(0), 0u));
    };
    GVariantPtr layout; // once the export has the bus, which it asks for in the background
    ASSERT_TRUE(waitFor([&] {
        layout = call("GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
        return bool(layout);
    }));
    GVariantPtr root(g_variant_get_child_value(layout.get(), 1));
    GVariantPtr children(g_variant_get_child_value(root.get(), 2));
    GVariantPtr boxed(g_variant_get_child_value(children.get(), 0));
    GVariantPtr submenu(g_variant_get_variant(boxed.get()));
    gint32 submenuId = 0;
    g_variant_get_child(submenu.get(), 0, "i", &submenuId);

    event(0, "opened");
    ASSERT_TRUE(waitFor([] { return testing::streamRequests("connections") == 1; }));
    event(submenuId, "opened");
    event(submenuId, "closed"); // the listener moved on to another submenu
    event(0, "closed");
    ASSERT_TRUE(waitFor([&] { return heard.size() == 3; }));
    EXPECT_EQ(heard, (std::vector<std::string>{"menu opened", "submenu opened", "closed"}));

    // An opening of another menu, on the TLS server, after the close: its
    // connection is opened again twice meanwhile, the closed menu's never.
    warmer->warm({testing::tlsStreamUrl("/tone.mp3")});
    ASSERT_TRUE(waitFor([] { return testing::tlsStreamRequests("connections") == 3; }));
    EXPECT_EQ(testing::streamRequests("connections"), 1);
    EXPECT_EQ(testing::streamRequests("requests") + testing::tlsStreamRequests("requests"), 0);
}

TEST_F(GstStreamPlayerTest, ARememberedRedirectIsUsedUntilItFailsThenTheStationAgain) {
    settings.tlsCaFile = testing::testCaFile();
    // Every play a new request: a paused connection is let go at once.
    settings.keepPausedConnection = 0ms;
    auto playThenPause = [&](StreamPlayer& player) {
        events.clear();
        player.play();
        EXPECT_TRUE(waitFor([&] { return !events.empty(); }));
        player.pause();
    };
    auto steady = makePlayer(testing::tlsStreamUrl("/dispatch/tone.mp3"));
    playThenPause(*steady);
    playThenPause(*steady);
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/tone.mp3"), 1) << "again without the 302";
    EXPECT_EQ(testing::tlsStreamRequests("/tone.mp3"), 2);

    // Its edge answers once, then 404 for good.
    auto dying = makePlayer(testing::tlsStreamUrl("/dispatch/dead-after-one"));
    playThenPause(*dying);
    EXPECT_EQ(events, std::vector<std::string>{"flowing"});
    playThenPause(*dying);
    EXPECT_EQ(events, std::vector{failed(Reason::httpError, 404)});
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 2) << "the station again";
    EXPECT_EQ(testing::tlsStreamRequests("/dead-after-one"), 3);
    playThenPause(*dying);
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 3) << "and not the edge";
}

TEST_F(GstStreamPlayerTest, ANewRunGoesToTheEdgeOfTheLastRunAndBackToTheStationIfItFails) {
    settings.tlsCaFile = testing::testCaFile();
    settings.keepPausedConnection = 0ms;
    testing::TemporaryDirectory cache;
    settings.redirectCache = cache.path() / "tunora" / "redirects.json";
    // Each run with a factory of its own, as a new start of the program.
    auto run = [&](const std::string& path) {
        factory.reset();
        auto player = makePlayer(testing::tlsStreamUrl(path));
        events.clear();
        player->play();
        EXPECT_TRUE(waitFor([&] { return !events.empty(); }));
        player->pause();
        return events.front();
    };
    EXPECT_EQ(run("/dispatch/tone.mp3"), "flowing");
    EXPECT_EQ(run("/dispatch/tone.mp3"), "flowing");
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/tone.mp3"), 1) << "the edge of the last run";
    EXPECT_EQ(testing::tlsStreamRequests("/tone.mp3"), 2);

    // The edge serves the first run only: the second asks the station again.
    EXPECT_EQ(run("/dispatch/dead-after-one"), "flowing");
    EXPECT_EQ(run("/dispatch/dead-after-one"), failed(Reason::httpError, 404));
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 2);
    EXPECT_EQ(testing::tlsStreamRequests("/dead-after-one"), 3);
    run("/dispatch/dead-after-one");
    EXPECT_EQ(testing::tlsStreamRequests("/dispatch/dead-after-one"), 3) << "failed edges go";

    // A file that is not ours, or that would send an https station to plain
    // http, is no reason to skip the station's own address.
    const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    std::string station = testing::tlsStreamUrl("/dispatch/tone.mp3");
    std::string plain = testing::streamUrl("/tone.mp3");
    for (const std::string& contents :
         {std::string("{\"format\": \"tunora-redirects-1\", \"targets\": [{"),
          R"({"format": "tunora-redirects-1", "targets": [{"station": ")" + station +
              R"(", "target": ")" + plain + R"(", "learnt": )" + std::to_string(now) + "}]}"}) {
        ASSERT_TRUE(
            g_file_set_contents(settings.redirectCache->c_str(), contents.c_str(), -1, nullptr));
        const int before = testing::tlsStreamRequests("/dispatch/tone.mp3");
        EXPECT_EQ(run("/dispatch/tone.mp3"), "flowing");
        EXPECT_EQ(testing::tlsStreamRequests("/dispatch/tone.mp3"), before + 1) << contents;
    }
    EXPECT_EQ(testing::streamRequests("/tone.mp3"), 0);
    std::vector<std::string> kept; // the file that was not ours, as it was
    for (const auto& entry :
         std::filesystem::directory_iterator(settings.redirectCache->parent_path())) {
        if (entry.path().filename().string().starts_with("redirects.json.bad-")) {
            gchar* contents = nullptr;
            ASSERT_TRUE(g_file_get_contents(entry.path().c_str(), &contents, nullptr, nullptr));
            kept.emplace_back(contents);
            g_free(contents);
        }
    }
    EXPECT_EQ(kept,
              std::vector<std::string>{"{\"format\": \"tunora-redirects-1\", \"targets\": [{"});
}

TEST_F(GstStreamPlayerTest, WakingFromSuspendReconnectsAPlayingStream) {
    auto player = makePlayer(testing::streamUrl("/tone.mp3"));
    player->play();
    ASSERT_TRUE(waitForTone());
    auto idle = makePlayer(testing::streamUrl("/idle.mp3")); // never played: must stay closed

    GError* error = nullptr;
    GObjectPtr<GDBusConnection> bus(g_dbus_connection_new_for_address_sync(
        g_getenv("DBUS_SYSTEM_BUS_ADDRESS"),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &error));
    ASSERT_TRUE(bus) << (error ? error->message : "");
    GVariantPtr owned(g_dbus_connection_call_sync(
        bus.get(), "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "RequestName", g_variant_new("(su)", "org.freedesktop.login1", 0u), nullptr,
        G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, nullptr));
    ASSERT_TRUE(owned);

    // The player subscribes asynchronously; wake it until it answers.
    ASSERT_TRUE(waitFor(
        [&] {
            g_dbus_connection_emit_signal(bus.get(), nullptr, "/org/freedesktop/login1",
                                          "org.freedesktop.login1.Manager", "PrepareForSleep",
                                          g_variant_new("(b)", FALSE), nullptr);
            g_dbus_connection_flush_sync(bus.get(), nullptr, nullptr);
            return testing::streamRequests("/tone.mp3") >= 2;
        },
        10s));
    EXPECT_TRUE(waitForTone());
    EXPECT_EQ(testing::streamRequests("/idle.mp3"), 0);
}

} // namespace
} // namespace tunora
