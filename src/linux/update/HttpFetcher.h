#pragma once

#include "linux/glib/GObjectPtr.h"

#include <chrono>
#include <functional>
#include <libsoup/soup.h>
#include <optional>
#include <string>

namespace tunora {

// Fetches one small document over HTTPS at a time with libsoup, which lives on
// the GLib main loop, so a fetch never blocks it. TLS is always verified
// (against caFile when given); redirects are followed only to https addresses.
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

    // caFile: a CA bundle to trust instead of the system's (may be empty).
    HttpFetcher(Limits limits, std::string caFile);
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
    std::string caFile_;
    GObjectPtr<SoupSession> session_;
    Pending* pending_ = nullptr; // owned by the operation in flight
    GSourceId deadline_;
};

} // namespace tunora
