#include "core/playback/AudioPlayer.h"

#include "fakes/FakePlayback.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tunora {
namespace {

using Log = std::vector<std::string>;

class AudioPlayerTest : public ::testing::Test {
  protected:
    const OndoChannel& channel(std::string_view id) {
        return OndoChannel::allChannels()[*findChannelIndex(OndoChannel::allChannels(), id)];
    }
    std::string urlOf(std::string_view id) { return channel(id).streamURL().toString(); }
    void observe() {
        player->onStateChange = [this] {
            log->push_back("changed");
            seenDuringChange.push_back(
                {player->currentChannel() ? player->currentChannel()->id() : "",
                 player->isPlaying()});
        };
    }

    fakes::CallLog log = std::make_shared<Log>();
    std::shared_ptr<fakes::FakeStreamPlayerFactory> streams =
        std::make_shared<fakes::FakeStreamPlayerFactory>(log);
    std::shared_ptr<fakes::FakeNowPlayingCenter> nowPlaying =
        std::make_shared<fakes::FakeNowPlayingCenter>(log);
    std::shared_ptr<fakes::FakeRemoteCommandCenter> commands =
        std::make_shared<fakes::FakeRemoteCommandCenter>();
    std::shared_ptr<AudioPlayer> player = AudioPlayer::create(streams, nowPlaying, commands);
    std::vector<std::pair<std::string, bool>> seenDuringChange;
};

TEST_F(AudioPlayerTest, FreshPlayerIsIdleWithItsCommandsInstalled) {
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FALSE(player->currentChannel());
    EXPECT_FALSE(player->hasStreamPlayer());
    EXPECT_EQ(commands->order,
              (std::vector<RemoteCommand>{RemoteCommand::play, RemoteCommand::pause,
                                          RemoteCommand::togglePlayPause}));
    EXPECT_TRUE(log->empty());
}

TEST_F(AudioPlayerTest, PlayPublishesAndNotifiesBeforeTheStreamExists) {
    observe();
    player->play(channel("ndr2"));
    EXPECT_EQ(*log, (Log{"info", "state 1", "changed", "make#1 " + urlOf("ndr2"), "play#1"}));
    ASSERT_EQ(seenDuringChange.size(), 1u);
    EXPECT_EQ(seenDuringChange[0], (std::pair<std::string, bool>{"ndr2", false}));
    EXPECT_TRUE(player->isPlaying());

    const NowPlayingInfo expected = {
        {"isLiveStream", true}, {"title", std::string("NDR 2")}, {"artist", std::string("NDR")}};
    EXPECT_EQ(nowPlaying->info, expected);
}

TEST_F(AudioPlayerTest, PlayingAgainPausesAndReleasesTheOldStreamBeforeTheNewOnePlays) {
    player->play(channel("wdr5"));
    log->clear();
    player->play(channel("wdr5"));
    EXPECT_EQ(*log, (Log{"pause#1", "info", "state 1", "make#2 " + urlOf("wdr5"), "release#1",
                         "play#2"}));
    EXPECT_EQ(streams->made, 2);
}

TEST_F(AudioPlayerTest, PauseAndResumeKeepTheStreamAndTheNowPlayingInfo) {
    observe();
    player->play(channel("fritz"));
    log->clear();
    player->pause();
    EXPECT_EQ(*log, (Log{"pause#1", "state 2", "changed"}));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(std::get<std::string>(nowPlaying->info->at("title")), "Fritz");
    log->clear();
    player->resume();
    EXPECT_EQ(*log, (Log{"play#1", "state 1", "changed"}));
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(streams->made, 1);
    EXPECT_EQ(player->currentChannel()->id(), "fritz");
}

TEST_F(AudioPlayerTest, PauseAndResumeWhileIdleOnlySetTheStateAndNotify) {
    observe();
    player->pause();
    player->resume();
    EXPECT_EQ(*log, (Log{"state 2", "changed", "state 1", "changed"}));
    EXPECT_FALSE(player->hasStreamPlayer());
    EXPECT_FALSE(nowPlaying->info);
}

TEST_F(AudioPlayerTest, WithoutObserverEverythingStillWorks) {
    player->play(channel("ondo"));
    player->pause();
    player->resume();
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(AudioPlayerTest, RateDecidesIsPlaying) {
    player->play(channel("ondo"));
    for (float rate : {0.0f, -1.0f, std::nanf("")}) {
        streams->latest->currentRate = rate;
        EXPECT_FALSE(player->isPlaying()) << rate;
    }
    streams->latest->currentRate = 0.5f;
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(AudioPlayerTest, CommandsBeforeAnyStation) {
    observe();
    EXPECT_EQ(commands->send(RemoteCommand::play), 200);
    EXPECT_EQ(commands->send(RemoteCommand::togglePlayPause), 0);
    EXPECT_TRUE(log->empty());
    EXPECT_EQ(commands->send(RemoteCommand::pause), 0);
    EXPECT_EQ(*log, (Log{"state 2", "changed"}));
}

TEST_F(AudioPlayerTest, CommandsWhilePlayingAndPaused) {
    player->play(channel("swr3"));
    EXPECT_EQ(commands->send(RemoteCommand::togglePlayPause), 0);
    EXPECT_FALSE(player->isPlaying());
    log->clear();
    EXPECT_EQ(commands->send(RemoteCommand::togglePlayPause), 0);
    EXPECT_EQ(*log, (Log{"play#1", "state 1"})) << "toggle resumes the same stream";

    EXPECT_EQ(commands->send(RemoteCommand::pause), 0);
    EXPECT_EQ(commands->send(RemoteCommand::play), 0);
    EXPECT_EQ(streams->made, 2) << "play opens the station anew";
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(commands->send(RemoteCommand::pause), 0);
    EXPECT_FALSE(player->isPlaying());
}

TEST_F(AudioPlayerTest, CommandsAfterThePlayerIsGone) {
    player.reset();
    EXPECT_EQ(commands->send(RemoteCommand::play), 200);
    EXPECT_EQ(commands->send(RemoteCommand::pause), 0);
    EXPECT_EQ(commands->send(RemoteCommand::togglePlayPause), 0);
    EXPECT_TRUE(log->empty());
}

} // namespace
} // namespace tunora
