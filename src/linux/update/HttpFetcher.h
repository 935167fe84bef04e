#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/net/HttpExchange.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace tunora {

class HttpService;

// Fetches one small document over HTTPS at a time, an HttpExchange on the
// program's one session, so a fetch never blocks the main loop. TLS is always
// verified, against the certificates the listener chose for the whole
// program when they did (and not at all, refusing https, when those cannot be
// read); redirects are followed only to https addresses.
class HttpFetcher {
  public:
    struct Result {
        std::optional<std::string> body; // none on failure
        std::string error;               // one sentence when there is no body
    };
    using Completion = std::function<void(Result)>;

    struct Limits {
        std::size_t maximumBytes = 64 * 1024;
        std::chrono::milliseconds timeout = std::chrono::seconds(10);
    };

    HttpFetcher(Limits limits, std::shared_ptr<HttpService> http);

    bool busy() const { return exchange_ != nullptr; }
    // Starts a fetch unless one is running; completion runs on the main loop.
    bool fetch(const std::string& url, Completion completion);

  private:
    void received(GBytes* piece);
    void finish(Result result);

    Limits limits_;
    std::shared_ptr<HttpService> http_;
    std::unique_ptr<HttpExchange> exchange_;
    std::string body_;
    Completion completion_;
    GSourceId deadline_;
};

} // namespace tunora
