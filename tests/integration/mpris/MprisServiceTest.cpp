#include "linux/mpris/MprisService.h"

#include "core/playback/AudioPlayer.h"
#include "linux/playback/GstStreamPlayer.h"
#include "support/DesktopServices.h"
#include "support/MainLoop.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>

namespace tunora {
namespace {

using namespace std::chrono_literals;

struct Result {
    int status;
    std::string output;
};

// The player under test: the real audio player on GStreamer (silent sink),
// published over MPRIS on a private session bus, and playerctl as the client.
class MprisServiceTest : public ::testing::Test {
  protected:
    MprisServiceTest() {
        setenv("DBUS_SESSION_BUS_ADDRESS", sessionBus.address().c_str(), 1);
        setenv("DBUS_SYSTEM_BUS_ADDRESS", sessionBus.address().c_str(), 1);
        PlaybackSettings settings;
        settings.audioSink = "fakesink sync=true";
        mpris = std::make_shared<MprisService>();
        player =
            AudioPlayer::create(std::make_shared<GstStreamPlayerFactory>(settings), mpris, mpris);
        player->onStateChange = [this] { ++stateChanges; };
        EXPECT_TRUE(waitFor([this] {
            return run({"playerctl", "-l"}).output.find("tunora") != std::string::npos;
        }));
    }

    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s) {
        return testing::waitUntil(condition, timeout, testing::spinMainLoop);
    }
    // Runs a client while this process keeps serving the bus.
    Result run(std::vector<std::string> argv) {
        testing::ChildProcess child(std::move(argv), {}, /*captureStdout=*/true);
        fcntl(child.stdoutFd(), F_SETFL, O_NONBLOCK);
        std::string output;
        auto drain = [&] {
            char buffer[4096];
            ssize_t count;
            while ((count = read(child.stdoutFd(), buffer, sizeof buffer)) > 0) {
                output.append(buffer, static_cast<std::size_t>(count));
            }
        };
        waitFor([&] {
            drain();
            return !child.running();
        });
        drain();
        return {child.wait(0ms), output};
    }
    std::string playerctl(const std::string& command, const std::string& argument = "") {
        std::vector<std::string> argv = {"playerctl", "-p", "tunora", command};
        if (!argument.empty()) {
            argv.push_back(argument);
        }
        const Result result = run(argv);
        return result.output.empty() ? "" : result.output.substr(0, result.output.find('\n'));
    }
    testing::PrivateBus sessionBus;
    testing::TemporaryDirectory work;
    testing::StreamServer server{work.path()};
    std::shared_ptr<MprisService> mpris;
    std::shared_ptr<AudioPlayer> player;
    int stateChanges = 0;
};

TEST_F(MprisServiceTest, DescribesItselfAsTheSpecificationRequires) {
    const Result root = run({"gdbus", "call", "--session", "--dest", MprisService::busName,
                             "--object-path", MprisService::objectPath, "--method",
                             "org.freedesktop.DBus.Properties.GetAll", "org.mpris.MediaPlayer2"});
    ASSERT_EQ(root.status, 0);
    for (const char* expected :
         {"'Identity': <'Tunora'>", "'DesktopEntry': <'org.tunora.Tunora'>", "'CanQuit': <false>",
          "'CanRaise': <false>", "'HasTrackList': <false>", "'SupportedUriSchemes': <@as []>"}) {
        EXPECT_NE(root.output.find(expected), std::string::npos) << expected << "\n" << root.output;
    }
    const Result playerProperties =
        run({"gdbus", "call", "--session", "--dest", MprisService::busName, "--object-path",
             MprisService::objectPath, "--method", "org.freedesktop.DBus.Properties.GetAll",
             "org.mpris.MediaPlayer2.Player"});
    for (const char* expected :
         {"'PlaybackStatus': <'Stopped'>", "'Rate': <1.0>", "'Volume': <1.0>",
          "'Position': <int64 0>", "'CanPlay': <true>", "'CanControl': <true>",
          "'CanSeek': <false>", "'CanGoNext': <false>", "'MaximumRate': <1.0>"}) {
        EXPECT_NE(playerProperties.output.find(expected), std::string::npos)
            << expected << "\n"
            << playerProperties.output;
    }
}

TEST_F(MprisServiceTest, PlayBeforeAnyStationIsAnErrorAndChangesNothing) {
    const Result result =
        run({"gdbus", "call", "--session", "--dest", MprisService::busName, "--object-path",
             MprisService::objectPath, "--method", "org.mpris.MediaPlayer2.Player.Play"});
    EXPECT_NE(result.status, 0);
    EXPECT_EQ(stateChanges, 0);
    EXPECT_EQ(playerctl("status"), "Stopped");
}

TEST_F(MprisServiceTest, ShowsTheStationAndObeysMediaCommands) {
    player->play(
        OndoChannel("ndr2", "NDR 2", *StreamUrl::parse(server.url("/ndr2.mp3")), Network::ndr));
    ASSERT_TRUE(waitFor([&] { return server.requests("/ndr2.mp3") == 1; }));
    EXPECT_EQ(playerctl("status"), "Playing");
    EXPECT_EQ(playerctl("metadata", "xesam:title"), "NDR 2");
    EXPECT_EQ(playerctl("metadata", "xesam:artist"), "NDR");
    EXPECT_EQ(playerctl("metadata", "mpris:trackid"), "'/org/tunora/Track/1'");

    playerctl("play-pause");
    EXPECT_EQ(playerctl("status"), "Paused");
    EXPECT_FALSE(player->isPlaying());
    playerctl("play-pause");
    EXPECT_EQ(playerctl("status"), "Playing");
    EXPECT_TRUE(player->isPlaying());
    playerctl("pause");
    EXPECT_EQ(playerctl("status"), "Paused");

    // The resume may not have connected before the pause overtook it.
    const int beforePlay = server.requests("/ndr2.mp3");
    playerctl("play"); // a new stream of the same station
    EXPECT_EQ(playerctl("status"), "Playing");
    EXPECT_TRUE(waitFor([&] { return server.requests("/ndr2.mp3") > beforePlay; }))
        << "play opened a fresh stream";
    EXPECT_EQ(playerctl("metadata", "mpris:trackid"), "'/org/tunora/Track/2'");
}

TEST_F(MprisServiceTest, PropertiesChangedReachesAListener) {
    testing::ChildProcess follower({"playerctl", "-p", "tunora", "--follow", "status"}, {}, true);
    fcntl(follower.stdoutFd(), F_SETFL, O_NONBLOCK);
    std::string seen;
    auto saw = [&](const std::string& text) {
        return waitFor([&] {
            char buffer[1024];
            ssize_t count;
            while ((count = read(follower.stdoutFd(), buffer, sizeof buffer)) > 0) {
                seen.append(buffer, static_cast<std::size_t>(count));
            }
            return seen.find(text) != std::string::npos;
        });
    };
    ASSERT_TRUE(saw("Stopped"));
    player->play(OndoChannel("x", "X", *StreamUrl::parse(server.url("/x.mp3")), Network::ondo));
    EXPECT_TRUE(saw("Playing"));
    player->pause();
    EXPECT_TRUE(saw("Paused"));
}

} // namespace
} // namespace tunora

namespace tunora {
namespace {

// Without a session bus the player works all the same, just unpublished.
TEST(MprisWithoutBus, ThePlayerPlaysAllTheSame) {
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
    auto mpris = std::make_shared<MprisService>();
    PlaybackSettings settings;
    settings.audioSink = "fakesink";
    auto player =
        AudioPlayer::create(std::make_shared<GstStreamPlayerFactory>(settings), mpris, mpris);
    player->play(
        OndoChannel("x", "X", *StreamUrl::parse("http://127.0.0.1:9/x.mp3"), Network::ondo));
    for (int i = 0; i < 100; ++i) {
        g_main_context_iteration(nullptr, FALSE);
    }
    EXPECT_EQ(player->currentChannel()->id(), "x");
    player->pause();
    EXPECT_FALSE(player->isPlaying());
}

} // namespace
} // namespace tunora
