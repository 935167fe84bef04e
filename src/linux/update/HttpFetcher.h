#pragma once

#include "linux/glib/GObjectPtr.h"

#include <chrono>
#include <curl/curl.h>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace tunora {

// Fetches one small document over HTTPS at a time with libcurl, driven from the
// GLib main loop (curl's sockets and timers become main-loop sources), so it
// never blocks the loop. TLS is always verified; redirects stay on https.
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

    bool busy() const { return easy_ != nullptr; }
    // Starts a fetch unless one is running; completion runs on the main loop.
    bool fetch(const std::string& url, Completion completion);

  private:
    static int onSocket(CURL*, curl_socket_t socket, int what, void* self, void*);
    static int onTimer(CURLM*, long milliseconds, void* self);
    static gboolean onSocketReady(gint fd, GIOCondition condition, gpointer self);
    static gboolean onTimeout(gpointer self);
    static size_t onData(char* data, size_t size, size_t count, void* self);
    void finishIfDone();

    Limits limits_;
    std::string caFile_;
    CURLM* multi_ = nullptr;
    CURL* easy_ = nullptr;
    std::string body_;
    bool tooLarge_ = false;
    Completion completion_;
    std::map<curl_socket_t, guint> sockets_;
    GSourceId timer_;
};

} // namespace tunora
