#pragma once

#include "linux/net/HttpStreamReader.h"
#include "linux/net/StreamNetwork.h"

#include <memory>
#include <string>

namespace tunora {

// Web pages, error texts and the like: nothing a decoder should be asked about.
bool isTextType(const std::string& contentType);

// One station's stream, asked of the network. It goes first to where the
// station's dispatcher sent it last (remembered, also from an earlier run),
// else to the station's address, following redirects by the program's rules,
// and remembers where the stream came from. Whatever goes wrong at a
// remembered place before any audio came sends it at once to the station's
// own address instead; the owner never hears of that. The handlers are
// HttpStreamReader's: `redirecting`, when given, may refuse a redirect (and
// then end the request); none runs from inside the constructor, and the
// request may be ended from inside any of them.
class StreamRequest {
  public:
    using Handlers = HttpStreamReader::Handlers;

    StreamRequest(std::shared_ptr<StreamNetwork> network, std::string station, Handlers handlers);
    StreamRequest(const StreamRequest&) = delete;
    StreamRequest& operator=(const StreamRequest&) = delete;

  private:
    void send(const std::string& address);
    bool fellBack();
    Handlers readerHandlers();

    std::shared_ptr<StreamNetwork> network_;
    std::string station_;
    Handlers handlers_;
    std::unique_ptr<HttpStreamReader> reader_;
    std::string servedFrom_; // the address the current request is at
    bool atRemembered_ = false;
    bool audioGiven_ = false;
};

} // namespace tunora
