#include "core/playback/AudioPlayer.h"

#include <algorithm>
#include <cmath>

namespace tunora {

AudioPlayer::AudioPlayer(std::shared_ptr<StreamPlayerFactory> streams,
                         std::shared_ptr<NowPlayingCenter> nowPlaying)
    : streams_(std::move(streams)), nowPlaying_(std::move(nowPlaying)) {}

std::shared_ptr<AudioPlayer> AudioPlayer::create(std::shared_ptr<StreamPlayerFactory> streams,
                                                 std::shared_ptr<NowPlayingCenter> nowPlaying,
                                                 std::shared_ptr<RemoteCommandCenter> commands) {
    std::shared_ptr<AudioPlayer> player(new AudioPlayer(std::move(streams), std::move(nowPlaying)));
    player->self_ = player;
    player->setupRemoteCommands(*commands);
    return player;
}

void AudioPlayer::play(const OndoChannel& channel) {
    if (player_) {
        player_->pause();
    }
    const bool anotherChannel = !currentChannel_ || currentChannel_->id() != channel.id();
    currentChannel_ = channel;
    if (anotherChannel && onChannelChange) {
        onChannelChange(channel);
    }
    title_.clear(); // a new stream says anew what it plays
    startNewChoice();
    updateNowPlaying();
    // The observer hears of the new station before its stream exists.
    notifyStateChange();
    auto next = streams_->makePlayer(channel.streamURL().toString());
    player_ = std::move(next); // releases the previous, already paused stream
    player_->setVolume(volume_);
    // Events of a stream that is no longer current are dropped: the handler
    // dies with its stream, and it checks that its stream is still the one.
    player_->setEventHandler([weak = self_, stream = player_.get()](const StreamEvent& event) {
        auto player = weak.lock();
        if (player && player->player_.get() == stream) {
            player->streamEventOccurred(event);
        }
    });
    player_->play();
}

void AudioPlayer::restore(const OndoChannel& channel) {
    currentChannel_ = channel;
    // Its name is published but no playback state: to the desktop the player is
    // stopped, with a station ready, not paused in a session that never played.
    publishNowPlayingInfo();
    notifyStateChange();
}

void AudioPlayer::pause() {
    if (player_) {
        player_->pause();
    }
    if (condition_ != StreamCondition::failed) {
        condition_ = StreamCondition::normal; // nothing is on its way any more
    }
    nowPlaying_->setPlaybackState(PlaybackState::paused);
    notifyStateChange();
}

void AudioPlayer::resume() {
    if (!player_ && currentChannel_) {
        // Restored at start and never played: there is no stream to continue.
        const OndoChannel channel = *currentChannel_;
        play(channel);
        return;
    }
    startNewChoice();
    if (player_) {
        player_->play();
    }
    nowPlaying_->setPlaybackState(PlaybackState::playing);
    notifyStateChange();
}

bool AudioPlayer::isPlaying() const {
    // A rate that is not a number compares false, so it counts as not playing.
    return player_ && player_->rate() > 0.0f;
}

void AudioPlayer::updateNowPlaying() {
    if (!currentChannel_) {
        return;
    }
    publishNowPlayingInfo();
    nowPlaying_->setPlaybackState(PlaybackState::playing);
}

void AudioPlayer::publishNowPlayingInfo() {
    nowPlaying_->setNowPlayingInfo({
        {nowplaying::isLiveStream, true},
        {nowplaying::title, currentChannel_->name()},
        {nowplaying::artist, std::string(currentChannel_->network().rawValue())},
    });
}

void AudioPlayer::setVolume(double volume) {
    if (std::isnan(volume)) {
        return; // no volume at all: keep the one there is
    }
    volume = std::clamp(volume, 0.0, 1.0);
    if (volume == volume_) {
        return;
    }
    volume_ = volume;
    if (player_) {
        player_->setVolume(volume_);
    }
    nowPlaying_->setVolume(volume_);
    if (onVolumeChange) {
        onVolumeChange(volume_);
    }
}

void AudioPlayer::startNewChoice() {
    condition_ = StreamCondition::connecting;
    failure_.reset();
    failureAnnounced_ = false;
}

void AudioPlayer::streamEventOccurred(const StreamEvent& event) {
    switch (event.kind) {
    case StreamEvent::Kind::failed:
        if (condition_ == StreamCondition::failed) {
            return; // a retry of the platform's own failed again: already told
        }
        condition_ = StreamCondition::failed;
        failure_ = event.failure;
        if (failure_->reason == StreamFailure::Reason::hostNotFound && currentChannel_ &&
            currentChannel_->streamURL().hostIsUnconfigured()) {
            failure_->reason = StreamFailure::Reason::hostNotConfigured; // not a network fault
        }
        nowPlaying_->setPlaybackState(PlaybackState::paused);
        notifyStateChange();
        if (!failureAnnounced_ && onStreamFailure && currentChannel_) {
            failureAnnounced_ = true;
            onStreamFailure(*currentChannel_, *failure_);
        }
        return;
    case StreamEvent::Kind::reconnecting:
        if (condition_ == StreamCondition::reconnecting) {
            return;
        }
        condition_ = StreamCondition::reconnecting;
        notifyStateChange(); // still playing: it will be back
        return;
    case StreamEvent::Kind::titled:
        if (event.title != title_) {
            title_ = event.title;
            if (onTitleChange) {
                onTitleChange(); // the now-playing entries stay
            }
        }
        return;
    case StreamEvent::Kind::flowing:
        if (onSoundFlowing && currentChannel_) {
            onSoundFlowing(*currentChannel_);
        }
        if (condition_ == StreamCondition::normal) {
            return;
        }
        if (condition_ == StreamCondition::failed) {
            failure_.reset();
            nowPlaying_->setPlaybackState(PlaybackState::playing);
        }
        condition_ = StreamCondition::normal;
        notifyStateChange();
        return;
    }
}

void AudioPlayer::notifyStateChange() {
    if (onStateChange) {
        onStateChange();
    }
}

void AudioPlayer::setupRemoteCommands(RemoteCommandCenter& commands) {
    using Status = RemoteCommandHandlerStatus;
    // Each handler holds the player weakly and finds out on each call whether it is still there.
    commands.addHandler(RemoteCommand::play, [weak = self_]() {
        auto player = weak.lock();
        if (!player || !player->currentChannel_) {
            return Status::commandFailed;
        }
        const OndoChannel channel = *player->currentChannel_;
        player->play(channel); // a fresh stream of the same station
        return Status::success;
    });
    commands.setVolumeHandler([weak = self_](double volume) {
        if (auto player = weak.lock()) {
            player->setVolume(volume);
        }
    });
    commands.addHandler(RemoteCommand::pause, [weak = self_]() {
        if (auto player = weak.lock()) {
            player->pause();
        }
        return Status::success;
    });
    commands.addHandler(RemoteCommand::togglePlayPause, [weak = self_]() {
        auto player = weak.lock();
        if (!player) {
            return Status::success;
        }
        if (player->isPlaying()) {
            player->pause();
        } else if (player->player_) {
            player->resume();
        } else if (player->currentChannel_) {
            const OndoChannel channel = *player->currentChannel_;
            player->play(channel);
        }
        return Status::success;
    });
}

} // namespace tunora
