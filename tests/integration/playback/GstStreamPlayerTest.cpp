#include "linux/playback/GstStreamPlayer.h"

#include "support/TestDesktop.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;

// A port on 127.0.0.1 that refuses connections: bound, never listened on.
class RefusingPort {
  public:
    RefusingPort() : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~RefusingPort() { close(fd_); }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/x.mp3"; }

  private:
    int fd_;
    int port_ = 0;
};

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
    int count(const std::string& event) const {
        return int(std::count(events.begin(), events.end(), event));
    }
    void spin() {
        g_main_context_iteration(nullptr, FALSE);
        recorder.pump();
        std::this_thread::sleep_for(5ms); // keeps the poll loop from spinning hot
    }
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
        return testing::waitUntil(condition, timeout, [this] { spin(); });
    }
    bool waitForTone() {
        return waitFor([this] {
            return recorder.recentLevel() > 0.05 && std::abs(recorder.recentFrequency() - 440) < 30;
        });
    }
    bool waitForSilence() {
        return waitFor([this] { return recorder.recentLevel() < 0.002; });
    }
    bool waitForRateZero(StreamPlayer& player, std::chrono::milliseconds timeout = 10s) {
        return waitFor([&player] { return player.rate() == 0.0f; }, timeout);
    }

    testing::SoundRecorder recorder;
    PlaybackSettings settings;
    std::unique_ptr<GstStreamPlayerFactory> factory;
    GObjectPtr<GNetworkMonitor> networkMonitor;
    std::vector<std::string> events;
};

using Reason = StreamFailure::Reason;

TEST_F(GstStreamPlayerTest, PlaysPausesAndResumesAudibly) {
    auto player = makePlayer(testing::streamUrl("/tone.mp3"));
    EXPECT_EQ(player->rate(), 0.0f) << "a fresh player is not moving";
    player->play();
    EXPECT_EQ(player->rate(), 1.0f);
    ASSERT_TRUE(waitForTone());

    player->pause();
    EXPECT_EQ(player->rate(), 0.0f);
    ASSERT_TRUE(waitForSilence());

    player->play();
    EXPECT_EQ(player->rate(), 1.0f);
    ASSERT_TRUE(waitForTone());
    EXPECT_EQ(testing::streamRequests("/tone.mp3"), 2) << "resume starts at the live edge";
}

TEST_F(GstStreamPlayerTest, StreamsThatNeverPlayedFailAtOnceWithTheirReason) {
    RefusingPort refusing;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {refusing.url(), failed(Reason::connectionRefused)},
        {testing::streamUrl("/404"), failed(Reason::httpError, 404)},
        {testing::streamUrl("/html"), failed(Reason::notAudio)},
        {"http://st01.ondoria.invalid/x.mp3", failed(Reason::hostNotFound)},
    };
    for (const auto& [url, expected] : cases) {
        events.clear();
        auto player = makePlayer(url);
        player->play();
        EXPECT_TRUE(waitFor([&] { return !events.empty(); }, 5s)) << url;
        EXPECT_EQ(events, std::vector<std::string>{expected}) << url;
        EXPECT_EQ(player->rate(), 0.0f);
    }
    EXPECT_EQ(testing::streamRequests("/404"), 1) << "no retries";
}

TEST_F(GstStreamPlayerTest, ADroppedStreamIsReconnectedWithRateKept) {
    auto player = makePlayer(testing::streamUrl("/drop-once"));
    player->play();
    ASSERT_TRUE(waitForTone());
    bool rateDropped = false;
    ASSERT_TRUE(waitFor([&] {
        rateDropped = rateDropped || player->rate() == 0.0f;
        return testing::streamRequests("/drop-once") >= 2;
    }));
    EXPECT_TRUE(waitForTone());
    EXPECT_FALSE(rateDropped);
    EXPECT_TRUE(waitFor([&] { return events.size() >= 3; }));
    EXPECT_EQ(events, (std::vector<std::string>{"flowing", "reconnecting", "flowing"}));
}

TEST_F(GstStreamPlayerTest, ReconnectingGivesUpAfterItsWindow) {
    settings.reconnectGiveUp = 1500ms;
    auto player = makePlayer(testing::streamUrl("/drop-then-404"));
    player->play();
    ASSERT_TRUE(waitForTone());
    ASSERT_TRUE(waitFor([&] { return testing::streamRequests("/drop-then-404") >= 2; }));
    EXPECT_EQ(player->rate(), 1.0f) << "still trying";
    EXPECT_TRUE(waitForRateZero(*player, 15s));
    EXPECT_GE(testing::streamRequests("/drop-then-404"), 3) << "retried with backoff";
    EXPECT_EQ(events.back(), failed(Reason::gaveUp, 2));
    EXPECT_EQ(count(events.back()), 1);
}

TEST_F(GstStreamPlayerTest, AStreamThatBreaksSoonAfterEachStartIsGivenUpOn) {
    settings.reconnectGiveUp = 3s;
    auto player = makePlayer(testing::streamUrl("/drop-always"));
    player->play();
    ASSERT_TRUE(waitFor(
        [&] { return !events.empty() && events.back() == failed(Reason::gaveUp, 3); }, 20s));
    EXPECT_GT(count("flowing"), 1) << "it played between the drops";
    EXPECT_LT(testing::streamRequests("/drop-always"), 10);
}

TEST_F(GstStreamPlayerTest, AStationThatFailedWithoutNetworkPlaysWhenTheNetworkReturns) {
    networkMonitor.reset(G_NETWORK_MONITOR(g_object_new(switchable_monitor_get_type(), nullptr)));
    switchNetwork(networkMonitor.get(), false);

    auto player = makePlayer(testing::streamUrl("/reset-once"));
    player->play();
    ASSERT_TRUE(waitFor([&] { return !events.empty(); }));
    EXPECT_EQ(events, std::vector<std::string>{failed(Reason::noNetwork)});

    switchNetwork(networkMonitor.get(), true);
    EXPECT_TRUE(waitForTone());
    EXPECT_TRUE(waitFor([&] { return events.back() == "flowing"; }, 3s))
        << ::testing::PrintToString(events);
    EXPECT_EQ(player->rate(), 1.0f);
}

TEST_F(GstStreamPlayerTest, AStalledServerNeitherFreezesTheLoopNorEndsPlayback) {
    auto player = makePlayer(testing::streamUrl("/stall"));
    player->play();
    ASSERT_TRUE(waitForTone());
    testing::MainLoopTicker ticker(100);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(waitFor([&] { return testing::streamRequests("/stall") >= 2; }, 15s));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(ticker.ticks(), waited / 100ms - 3)
        << "the main loop kept running while the server stalled";
    EXPECT_EQ(player->rate(), 1.0f);
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

using GstStreamPlayerTlsTest = GstStreamPlayerTest;

TEST_F(GstStreamPlayerTlsTest, AnUntrustedCertificateFails) {
    auto player = makePlayer(testing::tlsStreamUrl("/tone.mp3"));
    player->play();
    EXPECT_TRUE(waitForRateZero(*player));
    EXPECT_TRUE(waitForSilence());
    EXPECT_TRUE(waitFor([&] { return !events.empty(); }));
    EXPECT_EQ(events, std::vector<std::string>{failed(Reason::untrustedCertificate)});
}

TEST_F(GstStreamPlayerTlsTest, ARedirectFromHttpsToHttpIsRefused) {
    settings.tlsCaFile = testing::testCaFile();
    auto player = makePlayer(testing::tlsStreamUrl("/redirect-to-http"));
    player->play();
    EXPECT_TRUE(waitForRateZero(*player));
    EXPECT_LT(recorder.recentLevel(), 0.002);
    EXPECT_EQ(testing::tlsStreamRequests("/redirect-to-http"), 1);
    EXPECT_EQ(testing::streamRequests("/plain.mp3"), 0) << "not one request in plain text";
    EXPECT_EQ(events, std::vector<std::string>{failed(Reason::insecureRedirect)});
}

TEST_F(GstStreamPlayerTlsTest, HttpsPlaysWithTheConfiguredAuthorityAndFollowsHttpsRedirects) {
    settings.tlsCaFile = testing::testCaFile();
    auto player = makePlayer(testing::tlsStreamUrl("/redirect-here"));
    player->play();
    EXPECT_TRUE(waitForTone());
    EXPECT_EQ(testing::tlsStreamRequests("/tone.mp3"), 1);
}

} // namespace
} // namespace tunora

namespace tunora {
namespace {

// No sound server at all: playing must neither crash nor stall the program.
TEST(GstStreamPlayerWithoutSound, PlayingWithoutASoundServerIsHarmless) {
    setenv("PULSE_SERVER", "unix:/nonexistent/pulse", 1);
    GstStreamPlayerFactory factory(PlaybackSettings{});
    auto player = factory.makePlayer(testing::streamUrl("/tone.mp3"));
    player->play();
    testing::MainLoopTicker ticker(20);
    EXPECT_TRUE(testing::waitUntil([&] { return ticker.ticks() >= 50; }));
    player->pause();
    EXPECT_EQ(player->rate(), 0.0f);
}

} // namespace
} // namespace tunora
