#pragma once

#include <memory>
#include <string>

namespace tunora {

// One live stream. play() and pause() return at once; connecting, buffering and
// decoding happen inside. rate() is above 0.0 after play() and 0.0 after pause().
// play() on a paused player continues that same stream.
class StreamPlayer {
  public:
    virtual ~StreamPlayer() = default;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual float rate() const = 0;
};

// Makes a stream player for an absolute stream URL.
class StreamPlayerFactory {
  public:
    virtual ~StreamPlayerFactory() = default;
    virtual std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) = 0;
};

} // namespace tunora
