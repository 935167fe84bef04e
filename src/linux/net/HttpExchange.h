#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/StreamPlayer.h"

#include <functional>
#include <memory>
#include <string>

namespace tunora {

class HttpService;

// One GET on the program's one session (HttpService), on the main loop: the
// only place the program sends with libsoup. It follows redirects by the
// program's rules (RedirectRules.h), refuses what they refuse and what the
// listener's trust refuses, names every failure as a StreamFailure, and reads
// the body as the owner has room for it.
//
// Going away stops the reading of a body and closes its connection at once; a
// request still waiting for its answer is left to take it, and its connection
// closes as it comes, all on the main thread. No handler runs inside the
// constructor, not even for a request refused before it goes out, and the
// owner may end the exchange from inside any of them.
class HttpExchange {
  public:
    enum class Kind {
        document, // a small answer, asked for at once
        // A station's radio stream. It waits its turn with every other stream
        // (HttpService::queueStart), asks for ICY metadata and takes it out of
        // the audio, and goes first to where the station's redirects led
        // lately: anything that goes wrong there before audio came sends it to
        // the station's own address instead, unheard by the owner. It learns
        // where a stream came from, and forgets it when that place fails. A
        // text answer (a web page, an error) is a failure: it is not audio.
        stream,
    };

    struct Handlers {
        // The server answered with a body; contentType is its media type, may
        // be empty. Optional.
        std::function<void(const std::string& contentType)> answered = nullptr;
        std::function<void(GBytes* piece)> body = nullptr;       // of a stream: audio only
        std::function<void(std::string title)> titled = nullptr; // untrusted, as the server sent it
        // No body to read; nothing more follows.
        std::function<void(StreamFailure failure)> failed = nullptr;
        // The body ended: `error` says how, empty when the server ended it. Nothing more follows.
        std::function<void(std::string error)> ended = nullptr;
        // False: no second request (a redirect, a fallback) goes out; `failed`
        // instead. Absent: it is always wanted.
        std::function<bool()> wanted = nullptr;
        // False: what was read so far is enough; reading waits until it is
        // true. Absent: there is always room.
        std::function<bool()> hasRoom = nullptr;
    };

    HttpExchange(std::shared_ptr<HttpService> http, std::string url, Kind kind, Handlers handlers);
    ~HttpExchange();
    HttpExchange(const HttpExchange&) = delete;
    HttpExchange& operator=(const HttpExchange&) = delete;

    // A stream still waiting for its turn: nothing went out yet.
    bool waiting() const;
    // What this stream brought could not be played (silence, no decoder for
    // it): the next request goes to the station's own address.
    void unplayable();

  private:
    struct Call;
    std::shared_ptr<HttpService> http_;
    Call* call_; // owned by the call in flight while there is one
};

} // namespace tunora
