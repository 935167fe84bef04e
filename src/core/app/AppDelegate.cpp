#include "core/app/AppDelegate.h"

#include "core/playback/StreamFailureText.h"

namespace tunora {

AppDelegate::AppDelegate(Services services)
    : services_(std::move(services)),
      // Media commands are answered from here on, before any menu exists.
      audioPlayer_(
          AudioPlayer::create(services_.streams, services_.nowPlaying, services_.remoteCommands)) {}

namespace {

// A station's failures are told once, until it plays again.
std::string stationTopic(const OndoChannel& channel) {
    return "station " + channel.id();
}

} // namespace

void AppDelegate::applicationDidFinishLaunching() {
    statusItem_ = services_.statusBar->statusItemWithLength(StatusBar::variableLength);
    // The volume the listener left it at, kept under "volume" in the settings.
    if (const std::optional<double> volume = services_.menu.settings->readNumber("volume")) {
        audioPlayer_->setVolume(*volume);
    }
    audioPlayer_->onVolumeChange = [settings = services_.menu.settings,
                                    problems = services_.menu.problems,
                                    strings = services_.menu.strings](double volume) {
        const bool saved = settings->writeNumber("volume", volume);
        if (!problems) {
            return;
        }
        if (saved) {
            problems->settle("volume_not_saved");
        } else {
            problems->tell({.topic = "volume_not_saved",
                            .body = fillIn(strings->localizedString("volume_not_saved"),
                                           settings->lastWriteProblem())});
        }
    };
    menuManager_ = MenuManager::create(statusItem_, audioPlayer_, services_.menu);
    menuManager_->start();
    // Notifications are posted either way: without a notification server the
    // log still gets the line.
    services_.notifications->requestAuthorization(NotificationCenter::alertOption, [](bool) {});
    if (const std::shared_ptr<ProblemLog>& problems = services_.menu.problems) {
        audioPlayer_->onStreamFailure =
            [problems, strings = services_.menu.strings](const OndoChannel& channel,
                                                         const StreamFailure& failure) {
                problems->tell({.topic = stationTopic(channel),
                                .title = stationCannotBePlayed(channel.name(), *strings),
                                .body = describeStreamFailure(failure, *strings)});
            };
        audioPlayer_->onSoundFlowing = [problems](const OndoChannel& channel) {
            problems->settle(stationTopic(channel));
        };
        problems->startFinished();
    }
}

} // namespace tunora
