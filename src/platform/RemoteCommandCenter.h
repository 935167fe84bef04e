#pragma once

#include <functional>

namespace tunora {

// Next and Previous step through the listener's preset stations.
enum class RemoteCommand { play, pause, togglePlayPause, nextTrack, previousTrack };

// What a handler reports back to the desktop.
enum class RemoteCommandHandlerStatus { success = 0, commandFailed = 200 };

// The desktop's media commands (media keys, the panel's player widget).
class RemoteCommandCenter {
  public:
    using Handler = std::function<RemoteCommandHandlerStatus()>;

    virtual ~RemoteCommandCenter() = default;
    // handler runs on the main thread each time the desktop sends command.
    virtual void addHandler(RemoteCommand command, Handler handler) = 0;
    // handler runs when the desktop sets the volume (0.0 to 1.0).
    virtual void setVolumeHandler(std::function<void(double)>) {}
};

} // namespace tunora
