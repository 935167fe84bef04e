#include "linux/mpris/MprisService.h"

#include "core/playback/AudioPlayer.h"
#include "linux/playback/GstStreamPlayer.h"

#include <gtest/gtest.h>

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
