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
    restoreLastChannel();
    menuManager_ = MenuManager::create(statusItem_, audioPlayer_, services_.menu);
    menuManager_->start();
    // Notifications are posted either way: without a notification server the
    // log still gets the line.
    services_.notifications->requestAuthorization(NotificationCenter::alertOption, [](bool) {});
    if (const std::shared_ptr<ProblemLog>& problems = services_.menu.problems) {
        audioPlayer_->onStreamFailure =
            [problems, strings = services_.menu.strings, help = services_.menu.streamAddressHelp](
                const OndoChannel& channel, const StreamFailure& failure) {
                problems->tell({.topic = stationTopic(channel),
                                .title = stationCannotBePlayed(channel.name(), *strings),
                                .body = describeStationFailure(failure, channel, *strings, help)});
            };
        audioPlayer_->onSoundFlowing = [problems](const OndoChannel& channel) {
            problems->settle(stationTopic(channel));
        };
        problems->startFinished();
    }
}

// The station the listener chose last, kept by id under "lastChannel", is the
// current one again, paused: Play, the media keys and Next go on from it, and a
// start never plays unasked. An id that names no station is left alone.
void AppDelegate::restoreLastChannel() {
    SettingsStore& settings = *services_.menu.settings;
    const std::vector<OndoChannel>& channels = OndoChannel::allChannels();
    if (const std::optional<std::string> id = settings.readString(lastChannelKey)) {
        if (const std::optional<std::size_t> index = findChannelIndex(channels, *id)) {
            audioPlayer_->restore(channels[*index]);
        }
    }
    // A burst of Next presses is one write (each write waits for the disk),
    // of the station the burst ended on.
    auto pending = std::make_shared<bool>(false);
    auto save = [player = std::weak_ptr<AudioPlayer>(audioPlayer_), pending,
                 settings = services_.menu.settings, problems = services_.menu.problems,
                 strings = services_.menu.strings] {
        *pending = false;
        const auto strong = player.lock();
        if (!strong || !strong->currentChannel()) {
            return;
        }
        if (!settings->writeString(lastChannelKey, strong->currentChannel()->id()) && problems) {
            problems->report(fillIn(strings->localizedString("station_not_saved"),
                                    settings->lastWriteProblem()));
        }
    };
    audioPlayer_->onChannelChange = [pending, save,
                                     runWhenIdle = services_.menu.runWhenIdle](const OndoChannel&) {
        if (*pending) {
            return;
        }
        *pending = true;
        runWhenIdle ? runWhenIdle(save) : save();
    };
}

} // namespace tunora
