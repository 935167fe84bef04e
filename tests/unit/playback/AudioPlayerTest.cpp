#include "core/playback/AudioPlayer.h"

#include "core/playback/StreamFailureText.h"
#include "fakes/FakePlayback.h"
#include "fakes/FakeToolkit.h"

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

TEST_F(AudioPlayerTest, PlayPublishesAndNotifiesBeforeTheStreamExists) {
    observe();
    EXPECT_EQ(commands->send(RemoteCommand::togglePlayPause), 0); // no station yet: nothing
    player->play(channel("ndr2"));
    EXPECT_EQ(*log, (Log{"info", "state 1", "changed", "make#1 " + urlOf("ndr2"), "play#1"}));
    ASSERT_EQ(seenDuringChange.size(), 1u);
    EXPECT_EQ(seenDuringChange[0], (std::pair<std::string, bool>{"ndr2", false}));
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(AudioPlayerTest, PlayingAgainPausesAndReleasesTheOldStreamBeforeTheNewOnePlays) {
    player->play(channel("wdr5"));
    log->clear();
    player->play(channel("wdr5"));
    EXPECT_EQ(*log, (Log{"pause#1", "info", "state 1", "make#2 " + urlOf("wdr5"), "release#1",
                         "play#2"}));
    EXPECT_EQ(streams->made, 2);
}

TEST_F(AudioPlayerTest, ToggleKeepsTheStationItsStreamAndTheNowPlayingInfo) {
    observe();
    player->play(channel("fritz"));
    log->clear();
    EXPECT_EQ(commands->send(RemoteCommand::togglePlayPause), 0);
    EXPECT_EQ(*log, (Log{"pause#1", "state 2", "changed"}));
    EXPECT_EQ(std::get<std::string>(nowPlaying->info->at("title")), "Fritz");
    log->clear();
    EXPECT_EQ(commands->send(RemoteCommand::togglePlayPause), 0);
    EXPECT_EQ(*log, (Log{"play#1", "state 1", "changed"}));
    EXPECT_EQ(player->currentChannel()->id(), "fritz");
}

TEST_F(AudioPlayerTest, VolumeIsClampedKeptForNewStreamsAndPublished) {
    std::vector<double> changes;
    player->onVolumeChange = [&](double volume) { changes.push_back(volume); };
    commands->volumeHandler(0.4);
    player->play(channel("ndr2"));
    EXPECT_EQ(streams->latest->volume, 0.4);
    for (double outside : {-1.0, 7.0, std::nan("")}) {
        player->setVolume(outside);
    }
    EXPECT_EQ(changes, (std::vector<double>{0.4, 0.0, 1.0}));
    EXPECT_EQ(streams->latest->volume, 1.0);
}

class AudioPlayerStreamEvents : public AudioPlayerTest {
  protected:
    void SetUp() override {
        observe();
        player->onStreamFailure = [this](const OndoChannel& channel, const StreamFailure& why) {
            announced.push_back(channel.id() + " " + std::to_string(int(why.reason)));
        };
    }
    std::vector<std::string> announced;
};

TEST_F(AudioPlayerStreamEvents, AFailureShowsPausedKeepsTheStationAndIsAnnouncedOncePerChoice) {
    const StreamFailure notFound{StreamFailure::Reason::httpError, 404, ""};
    player->play(channel("ndr2"));
    log->clear();
    streams->latest->report(StreamEvent::Kind::failed, notFound);
    EXPECT_EQ(*log, (Log{"state 2", "changed"}));
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->currentChannel()->id(), "ndr2");
    EXPECT_EQ(player->streamCondition(), AudioPlayer::StreamCondition::failed);
    streams->latest->report(StreamEvent::Kind::failed, notFound); // the platform retried
    EXPECT_EQ(announced.size(), 1u);
    EXPECT_EQ(log->size(), 2u) << "a repeated failure changes nothing";

    // Back by itself (the network returned): playing again, still the same choice.
    streams->latest->report(StreamEvent::Kind::flowing);
    EXPECT_EQ(nowPlaying->state, PlaybackState::playing);
    EXPECT_FALSE(player->streamFailure());
    streams->latest->report(StreamEvent::Kind::failed, notFound);
    EXPECT_EQ(announced.size(), 1u);

    player->resume(); // the listener chooses it again
    streams->latest->report(StreamEvent::Kind::failed, notFound);
    EXPECT_EQ(announced, (std::vector<std::string>{"ndr2 2", "ndr2 2"}));
}

TEST_F(AudioPlayerStreamEvents, AStationWithoutAnAddressIsToldSoNotAsAMissingServer) {
    const StreamFailure notFound{StreamFailure::Reason::hostNotFound, 0, ""};
    player->play(channel("ondo")); // its built-in host lies in the reserved .invalid domain
    streams->latest->report(StreamEvent::Kind::failed, notFound);
    player->play(channel("ndr2"));
    streams->latest->report(StreamEvent::Kind::failed, notFound);
    using Reason = StreamFailure::Reason;
    EXPECT_EQ(announced,
              (std::vector<std::string>{"ondo " + std::to_string(int(Reason::hostNotConfigured)),
                                        "ndr2 " + std::to_string(int(Reason::hostNotFound))}));
    EXPECT_EQ(player->streamFailure()->reason, Reason::hostNotFound);
}

// The listener's real file, and what to write into it: the station's id or its
// host; unless their file was ignored, which must be mended first.
TEST(StationFailureText, AStationWithoutAnAddressSaysWhatToWriteWhere) {
    fakes::FakeStrings strings;
    strings.texts = {{"failure_host_not_configured", "in {} under {} or {}"},
                     {"failure_hosts_file_ignored", "fix {}"}};
    const auto& all = OndoChannel::allChannels();
    const OndoChannel& kultur = all[*findChannelIndex(all, "ondo_kultur")];
    const StreamFailure unconfigured{StreamFailure::Reason::hostNotConfigured, 0, ""};
    const std::string file = "/x/tunora/stream-hosts.json";
    EXPECT_EQ(describeStationFailure(unconfigured, kultur, strings, {file, false}),
              "in /x/tunora/stream-hosts.json under ondo_kultur or st02.ondoria.invalid");
    EXPECT_EQ(describeStationFailure(unconfigured, kultur, strings, {file, true}),
              "fix /x/tunora/stream-hosts.json");
    EXPECT_EQ(describeStationFailure({StreamFailure::Reason::httpError, 404, ""}, kultur, strings,
                                     {file, true}),
              "[failure_http_status]");
}

TEST_F(AudioPlayerStreamEvents, ReconnectingStaysPlayingAndASwitchForgetsTheOldStream) {
    player->play(channel("wdr2"));
    fakes::FakeStreamPlayer* first = streams->latest;
    first->report(StreamEvent::Kind::reconnecting);
    EXPECT_EQ(player->streamCondition(), AudioPlayer::StreamCondition::reconnecting);
    EXPECT_EQ(nowPlaying->state, PlaybackState::playing);
    first->report(StreamEvent::Kind::flowing);
    EXPECT_EQ(player->streamCondition(), AudioPlayer::StreamCondition::normal);
    EXPECT_EQ(seenDuringChange.size(), 3u) << "play, reconnecting, flowing";
    first->report(StreamEvent::Kind::failed, {StreamFailure::Reason::httpError, 404, ""});

    auto stale = first->onEvent; // a stream that is no longer current
    player->play(channel("wdr5"));
    EXPECT_EQ(player->streamCondition(), AudioPlayer::StreamCondition::connecting);
    EXPECT_FALSE(player->streamFailure());
    log->clear();
    stale(StreamEvent{StreamEvent::Kind::failed, {}, {}});
    EXPECT_TRUE(log->empty());
    streams->latest->report(StreamEvent::Kind::failed); // told, as a new choice
    EXPECT_EQ(announced, (std::vector<std::string>{"wdr2 2", "wdr5 8"}));
}

TEST_F(AudioPlayerStreamEvents, AChoiceIsConnectingUntilItsFirstSoundAndAPauseEndsThat) {
    using Condition = AudioPlayer::StreamCondition;
    player->play(channel("ndr2"));
    EXPECT_EQ(player->streamCondition(), Condition::connecting);
    log->clear();
    streams->latest->report(StreamEvent::Kind::flowing);
    EXPECT_EQ(player->streamCondition(), Condition::normal);
    EXPECT_EQ(*log, Log{"changed"}) << "the hover text changes";
    player->pause();
    player->resume();
    EXPECT_EQ(player->streamCondition(), Condition::connecting);
    player->pause();
    EXPECT_EQ(player->streamCondition(), Condition::normal) << "nothing is on its way";

    player->resume();
    streams->latest->report(StreamEvent::Kind::failed, {StreamFailure::Reason::noSound, 0, ""});
    player->pause();
    EXPECT_EQ(player->streamCondition(), Condition::failed) << "told until the next choice";
}

} // namespace
} // namespace tunora
