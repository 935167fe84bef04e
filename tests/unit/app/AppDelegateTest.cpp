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

TEST_F(AppDelegateTest, HoverShowsTheSongWithoutAMenuOrThatTheStreamIsReconnectingUntilASwitch) {
    AppDelegate delegate(services());
    fakes::FakeApplication application;
    application.setDelegate(&delegate);
    application.run();
    delegate.audioPlayer()->play(OndoChannel::allChannels()[0]);
    auto& button = statusBar->item->statusButton;
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
