#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/StreamPlayer.h"

#include <chrono>
#include <functional>
#include <libsoup/soup.h>
#include <string>

namespace tunora {

// Reads one radio stream over HTTP with the program's own libsoup session on
// the main loop: asks for ICY metadata, follows redirects by the program's
// rules (see HttpsRules.h), takes the metadata out of the audio and says why a
// request failed in the words libsoup and GIO give. Going away stops the
// reading of a body and closes its connection at once; a request still
// waiting for its answer is left to take it, and its connection closes as it
// comes, all on the main thread; no thread of anyone else's ever holds the
// session. No handler runs inside the constructor: even a request refused
// before it goes out is reported from the loop.
class HttpStreamReader {
  public:
    struct Handlers {
        // The server answered with a body; contentType is its media type, may be empty.
        std::function<void(const std::string& contentType)> answered;
        std::function<void(GBytes* audio)> audio;
        std::function<void(std::string title)> titled; // untrusted, as the server sent it
        // No body to play; nothing more follows.
        std::function<void(StreamFailure failure)> failed;
        // The body ended (closed or broken); nothing more follows.
        std::function<void(std::string why)> ended;
        // A redirect to `target` is about to be followed; false: it is not, and
        // nothing more follows. Absent: every allowed redirect is followed.
        std::function<bool(const std::string& target)> redirecting;
        // False: the audio taken so far is enough; reading waits until it is true.
        std::function<bool()> hasRoom;
    };

    // httpsRefused: when not empty, why https addresses are not fetched at all.
    HttpStreamReader(SoupSession* session, const std::string& url, std::string httpsRefused,
                     Handlers handlers);
    ~HttpStreamReader();
    HttpStreamReader(const HttpStreamReader&) = delete;
    HttpStreamReader& operator=(const HttpStreamReader&) = delete;

  private:
    struct Request;
    Request* request_; // owned by the call in flight while there is one
};

} // namespace tunora
