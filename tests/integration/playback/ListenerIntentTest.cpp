#include "core/playback/AudioPlayer.h"
#include "fakes/FakePlayback.h"
#include "linux/net/HttpService.h"
#include "linux/playback/GstStreamPlayerFactory.h"
#include "support/TestDesktop.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;

// The whole player, as the menu and the media keys drive it, against the
// loopback server that counts what reaches it.
class ListenerIntentTest : public ::testing::Test {
  protected:
    ListenerIntentTest()
        : commands(std::make_shared<fakes::FakeRemoteCommandCenter>()),
          player(AudioPlayer::create(
              std::make_shared<GstStreamPlayerFactory>(
                  PlaybackSettings{}, std::make_shared<HttpService>(HttpService::Options{})),
              std::make_shared<fakes::FakeNowPlayingCenter>(
                  std::make_shared<std::vector<std::string>>()),
              commands)) {
        player->onStreamFailure = [this](const OndoChannel& channel, const StreamFailure&) {
            failed.push_back(channel.id());
        };
    }

    static OndoChannel station(const std::string& path) {
        return {path, path, *StreamUrl::parse(testing::streamUrl(path)), Network::ondo};
    }
    // Commands as a bus delivers them: one pass of the loop between two.
    void burst(int count, const std::function<void(int)>& command) {
        for (int n = 0; n < count; ++n) {
            command(n);
            g_main_context_iteration(nullptr, FALSE);
        }
    }
    // Until the server sent its nth answer to /slow-404, and the loop has had
    // its moment to read it. A loaded machine can only make this too short,
    // never fail a correct player.
    static void afterTheAnswer(int nth) {
        ASSERT_TRUE(testing::waitUntil(
            [nth] { return testing::streamRequests("answered:/slow-404") == nth; }));
        testing::waitUntil([] { return false; }, 300ms);
    }
    static bool playingAtServer(const std::string& path) {
        return testing::streamRequests("open:" + path) == 1;
    }

    std::shared_ptr<fakes::FakeRemoteCommandCenter> commands;
    std::shared_ptr<AudioPlayer> player;
    std::vector<std::string> failed;
};

TEST_F(ListenerIntentTest, BurstsOfCommandsEndInTheLastIntentAfterAFewRequests) {
    player->play(station("/tone.mp3"));
    ASSERT_TRUE(testing::waitUntil([] { return playingAtServer("/tone.mp3"); }));

    // 2,001 toggles: the listener ends up wanting silence, and the server
    // sees the connection go without any other.
    burst(2001, [&](int) { commands->send(RemoteCommand::togglePlayPause); });
    EXPECT_FALSE(player->isPlaying());
    ASSERT_TRUE(
        testing::waitUntil([] { return testing::streamRequests("open:/tone.mp3") == 0; }, 15s));
    // 2,001 more: playing again.
    burst(2001, [&](int) { commands->send(RemoteCommand::togglePlayPause); });
    EXPECT_TRUE(player->isPlaying());
    EXPECT_TRUE(testing::waitUntil([] { return playingAtServer("/tone.mp3"); }));
    EXPECT_LE(testing::streamRequests("/tone.mp3"), 1 + 5);

    // Hundreds of station changes, each one a new stream: the last one plays.
    const std::vector<std::string> paths{"/one.mp3", "/two.mp3", "/three.mp3"};
    const int before = testing::streamRequests("requests");
    burst(300, [&](int n) { player->play(station(paths[std::size_t(n) % 3])); });
    EXPECT_EQ(player->currentChannel()->id(), "/three.mp3");
    EXPECT_TRUE(testing::waitUntil([] {
        return playingAtServer("/three.mp3") && testing::streamRequests("open:/one.mp3") == 0 &&
               testing::streamRequests("open:/two.mp3") == 0 &&
               testing::streamRequests("open:/tone.mp3") == 0;
    }));
    EXPECT_LE(testing::streamRequests("requests") - before, 5);
    EXPECT_TRUE(failed.empty());
}

TEST_F(ListenerIntentTest, AFailureOfAStationLeftBehindIsNeverShown) {
    player->play(station("/slow-404")); // answers 404 after half a second
    ASSERT_TRUE(testing::waitUntil([] { return testing::streamRequests("/slow-404") == 1; }));
    player->play(station("/tone.mp3"));
    // Paused and resumed while the old request is still out.
    burst(10, [&](int) { commands->send(RemoteCommand::togglePlayPause); });
    ASSERT_TRUE(testing::waitUntil([] { return playingAtServer("/tone.mp3"); }));
    // After the 404 came: the old station was never the listener's problem.
    afterTheAnswer(1);
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(player->streamCondition(), AudioPlayer::StreamCondition::normal);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(testing::streamRequests("/tone.mp3"), 1);

    // Paused while its own request is out, a failing station is not shown
    // as failed either: nobody wants it any more.
    player->play(station("/slow-404"));
    ASSERT_TRUE(testing::waitUntil([] { return testing::streamRequests("/slow-404") == 2; }));
    commands->send(RemoteCommand::pause);
    afterTheAnswer(2);
    EXPECT_TRUE(failed.empty());
    EXPECT_EQ(player->streamCondition(), AudioPlayer::StreamCondition::normal);
}

} // namespace
} // namespace tunora
