#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/net/StreamNetwork.h"

#include <chrono>
#include <functional>
#include <libsoup/soup.h>
#include <memory>
#include <optional>
#include <string>

namespace tunora {

// Fetches one small document over HTTPS at a time on the program's one HTTP
// session (StreamNetwork), on the GLib main loop, so a fetch never blocks it.
// TLS is always verified, against the certificates the listener chose for the
// whole program when they did (and not at all, refusing https, when those
// cannot be read); redirects are followed only to https addresses. The
// session's trust is loaded at the first fetch, not with the program.
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

    HttpFetcher(Limits limits, std::shared_ptr<StreamNetwork> network);
    ~HttpFetcher();
    HttpFetcher(const HttpFetcher&) = delete;
    HttpFetcher& operator=(const HttpFetcher&) = delete;

    bool busy() const { return pending_ != nullptr; }
    // Starts a fetch unless one is running; completion runs on the main loop.
    bool fetch(const std::string& url, Completion completion);

  private:
    struct Pending;

    SoupSession* session();
    void send(const std::string& url);
    void received(GInputStream* stream);
    void finish(Result result);
    static void onSent(GObject* session, GAsyncResult* result, gpointer pending);
    static void onRead(GObject* stream, GAsyncResult* result, gpointer pending);
    static gboolean onDeadline(gpointer self);

    Limits limits_;
    std::shared_ptr<StreamNetwork> network_;
    Pending* pending_ = nullptr; // owned by the operation in flight
    GSourceId deadline_;
};

} // namespace tunora
