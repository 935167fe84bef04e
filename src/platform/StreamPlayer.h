#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tunora {

// Why a stream could not be played, in terms a listener can be told.
struct StreamFailure {
    enum class Reason {
        hostNotFound,
        connectionRefused,
        httpError, // detail: the HTTP status
        notAudio,
        untrustedCertificate,
        insecureRedirect,
        noNetwork,
        gaveUp, // detail: the seconds spent reconnecting
        other,
        noSound,           // the connection stays open, but nothing in it decodes to audio
        caFileUnusable,    // the certificates the listener chose to trust cannot be read
        hostNotConfigured, // the station's host was never given an address
        noSoundOutput,     // no sound server or device takes the audio
    };
    Reason reason = Reason::other;
    int detail = 0;
    // The platform's own words, for bug reports.
    std::string technical;
};

// What happened to a stream on its own, after play().
struct StreamEvent {
    enum class Kind {
        flowing,      // audio reaches the output (again)
        reconnecting, // a stream that played dropped and is being brought back
        failed,       // given up for good; rate() is 0 from now on
        titled,       // the stream names what it plays now (a song, a programme)
    };
    Kind kind = Kind::flowing;
    StreamFailure failure; // for failed
    std::string title;     // for titled
};

// One live stream. play() and pause() return at once; connecting, buffering and
// decoding happen inside. rate() is above 0.0 after play() and 0.0 after pause()
// or a failure. play() on a paused or failed player continues that same stream.
class StreamPlayer {
  public:
    using EventHandler = std::function<void(const StreamEvent&)>;

    virtual ~StreamPlayer() = default;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual float rate() const = 0;
    // 0.0 (silent) to 1.0 (as the stream comes); kept across pause and play.
    virtual void setVolume(double volume) = 0;
    // Events arrive on the main thread from the event loop, never from inside
    // play() or pause(); none arrive after pause() until the next play().
    virtual void setEventHandler(EventHandler handler) = 0;
};

// Makes a stream player for an absolute stream URL.
class StreamPlayerFactory {
  public:
    virtual ~StreamPlayerFactory() = default;
    virtual std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) = 0;
};

} // namespace tunora
