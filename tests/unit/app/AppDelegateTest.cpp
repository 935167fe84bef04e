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
                 std::make_shared<fakes::FakeLoginItems>(), notifications,
                 [] { return std::make_shared<fakes::FakeUpdateController>(); }}};
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
};

TEST_F(AppDelegateTest, MediaCommandsWorkBeforeLaunchHasFinished) {
    AppDelegate delegate(services());
    EXPECT_FALSE(delegate.statusItem());
    EXPECT_EQ(commands->send(RemoteCommand::pause), 0);
    EXPECT_EQ(nowPlaying->state, PlaybackState::paused);
    EXPECT_EQ(commands->send(RemoteCommand::play), 200);
}

TEST_F(AppDelegateTest, LaunchMakesAVariableItemStartsTheMenuAndAsksForAlerts) {
    AppDelegate delegate(services());
    fakes::FakeApplication application;
    application.setDelegate(&delegate);
    application.run();
    EXPECT_EQ(statusBar->lengths, std::vector<double>{-1.0});
    ASSERT_TRUE(statusBar->item->current) << "the first menu is up";
    EXPECT_EQ(statusBar->item->statusButton.title, "");
    EXPECT_EQ(settings->strings("hotkeyChannels")[0], "ondo");
    EXPECT_EQ(notifications->options, std::vector<unsigned>{4});
    EXPECT_FALSE(delegate.audioPlayer()->currentChannel())
        << "a refused permission changes nothing";
}

TEST_F(AppDelegateTest, HoverShowsTheSongAndAFailedStreamIsNotifiedOnceAndExplained) {
    AppDelegate delegate(services());
    fakes::FakeApplication application;
    application.setDelegate(&delegate);
    application.run();
    const auto& ndr2 =
        OndoChannel::allChannels()[*findChannelIndex(OndoChannel::allChannels(), "ndr2")];
    delegate.audioPlayer()->play(ndr2);
    auto& button = statusBar->item->statusButton;
    EXPECT_EQ(button.toolTip, "NDR 2");

    fakes::FakeStreamPlayer* stream = streams->latest;
    stream->report(StreamEvent::Kind::titled, {}, "Song");
    EXPECT_EQ(button.toolTip, "NDR 2 \u2013 Song");
    stream->report(StreamEvent::Kind::reconnecting);
    EXPECT_EQ(button.toolTip, "NDR 2 \u2013 [reconnecting]");
    EXPECT_TRUE(notifications->posted.empty());
    stream->report(StreamEvent::Kind::failed, {StreamFailure::Reason::httpError, 404, ""});
    stream->report(StreamEvent::Kind::failed, {StreamFailure::Reason::httpError, 404, ""});
    EXPECT_EQ(notifications->posted,
              std::vector<std::string>{"[station_cannot_be_played]: [failure_http_status]"});
    EXPECT_EQ(button.toolTip, "NDR 2 \u2013 [failure_http_status]");
    EXPECT_EQ(button.title, " NDR 2") << "the station stays beside the icon";
}

} // namespace
} // namespace tunora
