#pragma once

#include <map>
#include <string>
#include <variant>

namespace tunora {

// What the desktop shows as the item being played, keyed by the property names below.
using NowPlayingValue = std::variant<bool, std::string>;
using NowPlayingInfo = std::map<std::string, NowPlayingValue>;

namespace nowplaying {
inline const std::string isLiveStream = "isLiveStream";
inline const std::string title = "title";
inline const std::string artist = "artist";
} // namespace nowplaying

enum class PlaybackState { playing = 1, paused = 2 };

// The desktop's now-playing display. What is set stays published until set again.
class NowPlayingCenter {
  public:
    virtual ~NowPlayingCenter() = default;
    virtual void setNowPlayingInfo(const NowPlayingInfo& info) = 0;
    virtual void setPlaybackState(PlaybackState state) = 0;
    // The player's volume, 0.0 to 1.0, for desktops that show or change it.
    virtual void setVolume(double) {}
};

} // namespace tunora
