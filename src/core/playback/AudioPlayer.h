#pragma once

#include "core/catalogue/OndoChannel.h"
#include "platform/NowPlayingCenter.h"
#include "platform/RemoteCommandCenter.h"
#include "platform/StreamPlayer.h"

#include <functional>
#include <memory>
#include <optional>

namespace tunora {

// The one stream player of the program: plays a station, pauses and resumes it,
// publishes it to the desktop's now-playing display, answers media commands and
// tells one observer about every change.
//
// States follow from the members: idle (no stream yet), playing (a stream whose
// rate is above zero), paused (a stream that is not moving). The player listens
// to its current stream so that it never claims to play what cannot be heard: a
// stream that fails for good is published as paused, keeping its station, and a
// new choice of that station tries again.
class AudioPlayer {
  public:
    // Makes the player and installs its media-command handlers at once.
    static std::shared_ptr<AudioPlayer> create(std::shared_ptr<StreamPlayerFactory> streams,
                                               std::shared_ptr<NowPlayingCenter> nowPlaying,
                                               std::shared_ptr<RemoteCommandCenter> commands);

    AudioPlayer(const AudioPlayer&) = delete;
    AudioPlayer& operator=(const AudioPlayer&) = delete;

    // Starts channel from scratch (also when it is the current one).
    void play(const OndoChannel& channel);
    // Makes channel the current station without playing it, as if it had been
    // paused: published as paused, and play, play/pause, Next and Previous go
    // on from it. For the station the listener chose before the program started.
    void restore(const OndoChannel& channel);
    void pause();
    // Continues the paused stream; starts the current station when it has none.
    void resume();

    bool isPlaying() const;
    // False while the station restored at start waits: no stream was started
    // since, so there is nothing paused either.
    bool hasStream() const { return player_ != nullptr; }
    const std::optional<OndoChannel>& currentChannel() const { return currentChannel_; }

    // How the current stream is doing, as far as the listener should know:
    // connecting from a choice until its first sound, normal while paused.
    enum class StreamCondition { normal, connecting, reconnecting, failed };
    StreamCondition streamCondition() const { return condition_; }
    // Why the current stream failed, until the next choice.
    const std::optional<StreamFailure>& streamFailure() const { return failure_; }
    // What the current stream says it plays now; empty until it says so.
    const std::string& streamTitle() const { return title_; }

    // Called synchronously, once, by every play, pause and resume; and when the
    // current stream's condition changes by itself.
    std::function<void()> onStateChange;
    // Called when the current stream names something new. Not a state change:
    // songs change every few minutes and touch nothing but the hover text.
    std::function<void()> onTitleChange;
    // 0.0 to 1.0; applies to the current stream and every later one.
    double volume() const { return volume_; }
    void setVolume(double volume);
    // Called when the volume changed, from the desktop or from the program.
    std::function<void(double)> onVolumeChange;

    // Called when another station becomes the current one by play.
    std::function<void(const OndoChannel&)> onChannelChange;

    // Called once per choice of a station (play or resume) whose stream fails.
    std::function<void(const OndoChannel&, const StreamFailure&)> onStreamFailure;
    // Called each time the current station's sound starts to flow: after its
    // choice, a reconnect or a failure it came back from.
    std::function<void(const OndoChannel&)> onSoundFlowing;

    // Publishes the current channel as live, titled with its name, by its network.
    void updateNowPlaying();

  private:
    AudioPlayer(std::shared_ptr<StreamPlayerFactory> streams,
                std::shared_ptr<NowPlayingCenter> nowPlaying);
    void setupRemoteCommands(RemoteCommandCenter& commands);
    void notifyStateChange();
    void publishNowPlayingInfo();
    void startNewChoice();
    void streamEventOccurred(const StreamEvent& event);

    std::shared_ptr<StreamPlayerFactory> streams_;
    std::shared_ptr<NowPlayingCenter> nowPlaying_;
    std::unique_ptr<StreamPlayer> player_;
    std::optional<OndoChannel> currentChannel_;
    StreamCondition condition_ = StreamCondition::normal;
    std::optional<StreamFailure> failure_;
    std::string title_;
    double volume_ = 1.0;
    bool failureAnnounced_ = false;
    std::weak_ptr<AudioPlayer> self_;
};

} // namespace tunora
