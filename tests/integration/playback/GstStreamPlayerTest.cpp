#include "linux/net/HttpService.h"
#include "linux/playback/GstStreamPlayerFactory.h"

#include "support/SwitchableNetworkMonitor.h"
#include "support/TestDesktop.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <set>

namespace tunora {
namespace {

using namespace std::chrono_literals;

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
            factory = std::make_unique<GstStreamPlayerFactory>(
                settings,
                std::make_shared<HttpService>(HttpService::Options{
                    settings.networkTimeout, settings.tlsCaFile, settings.redirectCache}),
                networkMonitor.get());
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
    networkMonitor = testing::makeSwitchableNetworkMonitor();
    testing::switchNetwork(networkMonitor.get(), false);

    auto player = makePlayer(testing::streamUrl("/reset-once"));
    auto notFound = makePlayer(testing::streamUrl("/404"));
    player->play();
    notFound->play();
    ASSERT_TRUE(waitFor([&] { return events.size() == 2; }));
    EXPECT_EQ(std::multiset(events.begin(), events.end()),
              (std::multiset{failed(Reason::noNetwork), failed(Reason::httpError, 404)}));

    testing::switchNetwork(networkMonitor.get(), true);
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

// A server that answers and then sends no sound is told as that, once the
// silence limit after its answer passed: not as a stream that could not be
// played when the connection times out later.
TEST_F(GstStreamPlayerTest, AStationThatAnswersButSendsNoSoundIsToldSo) {
    settings.networkTimeout = 10s;
    settings.silenceLimit = 2s;
    for (const std::string path : {"/stall-at-once", "/silent-at-once"}) {
        events.clear();
        auto player = makePlayer(testing::streamUrl(path));
        player->play();
        ASSERT_TRUE(waitFor([&] { return !events.empty(); })) << path;
        EXPECT_EQ(events, std::vector{failed(Reason::noSound)}) << path;
        EXPECT_EQ(player->rate(), 0.0f);
    }
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
