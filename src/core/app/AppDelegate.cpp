#include "core/app/AppDelegate.h"

#include "core/playback/StreamFailureText.h"

namespace tunora {

AppDelegate::AppDelegate(Services services)
    : services_(std::move(services)),
      // Media commands are answered from here on, before any menu exists.
      audioPlayer_(
          AudioPlayer::create(services_.streams, services_.nowPlaying, services_.remoteCommands)) {}

void AppDelegate::applicationDidFinishLaunching() {
    statusItem_ = services_.statusBar->statusItemWithLength(StatusBar::variableLength);
    // The volume the listener left it at, kept under "volume" in the settings.
    if (const std::optional<double> volume = services_.menu.settings->readNumber("volume")) {
        audioPlayer_->setVolume(*volume);
    }
    audioPlayer_->onVolumeChange = [settings = services_.menu.settings,
                                    problems = services_.menu.problems,
                                    strings = services_.menu.strings](double volume) {
        if (!settings->writeNumber("volume", volume) && problems) {
            problems->report(
                fillIn(strings->localizedString("volume_not_saved"), settings->lastWriteProblem()));
        }
    };
    menuManager_ = MenuManager::create(statusItem_, audioPlayer_, services_.menu);
    menuManager_->start();
    // Notifications are posted either way: without a notification server the
    // log still gets the line.
    services_.notifications->requestAuthorization(NotificationCenter::alertOption, [](bool) {});
    audioPlayer_->onStreamFailure = [notifications = services_.notifications,
                                     strings = services_.menu.strings](
                                        const OndoChannel& channel, const StreamFailure& failure) {
        notifications->post(stationCannotBePlayed(channel.name(), *strings),
                            describeStreamFailure(failure, *strings));
    };
    if (services_.menu.problems) {
        services_.menu.problems->startFinished();
    }
}

} // namespace tunora
