#include "core/app/AppDelegate.h"

#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakePlayback.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeToolkit.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

class AppDelegateTest : public ::testing::Test {
  protected:
    AppDelegate::Services services() {
        return {streams,
                nowPlaying,
                commands,
                statusBar,
                notifications,
                {settings, std::make_shared<fakes::FakeHotkeyEventServices>(),
                 std::make_shared<fakes::FakeGraphics>(), std::make_shared<fakes::FakeStrings>(),
                 std::make_shared<fakes::FakeLoginItems>(), problems,
                 [] { return std::make_shared<fakes::FakeUpdateController>(); }, commands,
                 nullptr}};
    }

    fakes::CallLog log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<fakes::FakeStreamPlayerFactory> streams =
        std::make_shared<fakes::FakeStreamPlayerFactory>(log);
    std::shared_ptr<fakes::FakeNowPlayingCenter> nowPlaying =
        std::make_shared<fakes::FakeNowPlayingCenter>(log);
    std::shared_ptr<fakes::FakeRemoteCommandCenter> commands =
        std::make_shared<fakes::FakeRemoteCommandCenter>();
    std::shared_ptr<fakes::FakeStatusBar> statusBar = std::make_shared<fakes::FakeStatusBar>();
    std::shared_ptr<fakes::FakeNotificationCenter> notifications =
        std::make_shared<fakes::FakeNotificationCenter>();
    std::shared_ptr<fakes::FakeSettingsStore> settings =
        std::make_shared<fakes::FakeSettingsStore>();
    std::shared_ptr<fakes::FakeProblemLog> problems = std::make_shared<fakes::FakeProblemLog>();
};

TEST_F(AppDelegateTest, HoverShowsConnectingTheSongWithoutAMenuOrReconnectingUntilASwitch) {
    AppDelegate delegate(services());
    fakes::FakeApplication application;
    application.setDelegate(&delegate);
    application.run();
    delegate.audioPlayer()->play(OndoChannel::allChannels()[0]);
    auto& button = statusBar->item->statusButton;
    EXPECT_EQ(button.toolTip, "Ondoria \u2013 [connecting]") << "until the first sound";
    streams->latest->report(StreamEvent::Kind::flowing);
    const int menus = statusBar->item->menusSet;
    streams->latest->report(StreamEvent::Kind::titled, {}, "Song");
    EXPECT_EQ(button.toolTip, "Ondoria \u2013 Song");
    EXPECT_EQ(statusBar->item->menusSet, menus) << "a song is not a menu change";
    streams->latest->report(StreamEvent::Kind::reconnecting);
    EXPECT_EQ(button.toolTip, "Ondoria \u2013 [reconnecting]");
    EXPECT_EQ(statusBar->item->menusSet, menus + 1);
    EXPECT_EQ(button.title, " Ondoria") << "the station stays beside the icon";

    streams->latest->report(StreamEvent::Kind::failed, {StreamFailure::Reason::httpError, 404, ""});
    delegate.audioPlayer()->play(OndoChannel::allChannels()[1]);
    streams->latest->report(StreamEvent::Kind::reconnecting);
    streams->latest->report(StreamEvent::Kind::flowing); // back, and drawn anew while playing
    EXPECT_EQ(button.toolTip, "Ondo Kultur") << "nothing of the station before";
}

// Play, the media keys and Next go on after a restart (or a start by Launch at
// Login) from what the listener chose last, kept by id; the start plays nothing.
TEST_F(AppDelegateTest, ARestartHasTheStationChosenLastReady) {
    const auto& all = OndoChannel::allChannels();
    {
        AppDelegate first(services());
        first.applicationDidFinishLaunching();
        EXPECT_FALSE(first.audioPlayer()->currentChannel()) << "a file without the key";
        first.audioPlayer()->play(all[3]);
        first.audioPlayer()->play(all[45]);
    }
    EXPECT_EQ(settings->texts["lastChannel"], "fritz");
    const int streamsMade = streams->made;
    nowPlaying->state.reset(); // a new process has published nothing yet
    AppDelegate second(services());
    second.applicationDidFinishLaunching();
    const AudioPlayer& player = *second.audioPlayer();
    ASSERT_TRUE(player.currentChannel());
    EXPECT_EQ(player.currentChannel()->id(), "fritz");
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(streams->made, streamsMade) << "nothing plays unasked";
    EXPECT_FALSE(nowPlaying->state) << "stopped, with the station ready";
    EXPECT_EQ(std::get<std::string>(nowPlaying->info->at(nowplaying::title)), "Fritz");
    EXPECT_EQ(statusBar->item->statusButton.title, " Fritz");

    const MenuItem& fritz = *statusBar->item->current->items().at(3 + 7)->submenu()->items().at(2);
    ASSERT_EQ(fritz.title(), "Fritz");
    fakes::FakeApplication application;
    sendAction(fritz, application); // chosen in the menu, as the station that is paused
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(streams->made, streamsMade + 1);
    EXPECT_EQ(commands->send(RemoteCommand::play), 0);
    EXPECT_TRUE(player.isPlaying());
    EXPECT_EQ(player.currentChannel()->id(), "fritz");
    EXPECT_EQ(commands->send(RemoteCommand::nextTrack), 0) << "no shortcut: the menu's next";
    EXPECT_EQ(settings->texts["lastChannel"], "antenne_bbg");

    settings->texts["lastChannel"] = "gone_station";
    AppDelegate third(services());
    third.applicationDidFinishLaunching();
    EXPECT_FALSE(third.audioPlayer()->currentChannel());
}

TEST_F(AppDelegateTest, AFailureIsToldUntilTheStationPlaysAndAnUnsavedVolumeUntilOneIsSaved) {
    AppDelegate delegate(services());
    fakes::FakeApplication application;
    application.setDelegate(&delegate);
    application.run();
    EXPECT_EQ(problems->starts, 1);
    using Told = std::vector<std::pair<std::string, std::string>>;
    delegate.audioPlayer()->play(OndoChannel::allChannels()[0]);
    streams->latest->report(StreamEvent::Kind::failed, {StreamFailure::Reason::httpError, 404, ""});
    EXPECT_EQ(problems->told,
              (Told{{"station ondo", "[station_cannot_be_played]: [failure_http_status]"}}));
    EXPECT_EQ(problems->settled, std::vector<std::string>{});
    delegate.audioPlayer()->play(OndoChannel::allChannels()[0]);
    streams->latest->report(StreamEvent::Kind::flowing);
    EXPECT_EQ(problems->settled, std::vector<std::string>{"station ondo"});

    settings->failWrites = true;
    delegate.audioPlayer()->setVolume(0.5);
    EXPECT_EQ(problems->told.back(),
              (std::pair<std::string, std::string>{"volume_not_saved", "[volume_not_saved]"}));
    settings->failWrites = false;
    delegate.audioPlayer()->setVolume(0.4);
    EXPECT_EQ(problems->settled.back(), "volume_not_saved");
    EXPECT_EQ(problems->told.size(), 2u);
}

} // namespace
} // namespace tunora
