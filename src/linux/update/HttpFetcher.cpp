#include "linux/update/HttpFetcher.h"

#include <glib-unix.h>

namespace tunora {

HttpFetcher::HttpFetcher(Limits limits, std::string caFile)
    : limits_(limits), caFile_(std::move(caFile)), multi_(curl_multi_init()) {
    curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &HttpFetcher::onSocket);
    curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &HttpFetcher::onTimer);
    curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
}

HttpFetcher::~HttpFetcher() {
    if (easy_ != nullptr) {
        curl_multi_remove_handle(multi_, easy_);
        curl_easy_cleanup(easy_);
    }
    for (const auto& [socket, source] : sockets_) {
        g_source_remove(source);
    }
    curl_multi_cleanup(multi_);
}

bool HttpFetcher::fetch(const std::string& url, Completion completion) {
    if (easy_ != nullptr) {
        return false;
    }
    easy_ = curl_easy_init();
    body_.clear();
    tooLarge_ = false;
    completion_ = std::move(completion);
    const bool loopback = url.rfind("http://127.0.0.1", 0) == 0;
    curl_easy_setopt(easy_, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, loopback ? "http" : "https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, loopback ? "http" : "https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!caFile_.empty()) {
        curl_easy_setopt(easy_, CURLOPT_CAINFO, caFile_.c_str());
    }
    curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, long(limits_.timeout.count()));
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, "Tunora");
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &HttpFetcher::onData);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_multi_add_handle(multi_, easy_);
    return true;
}

size_t HttpFetcher::onData(char* data, size_t size, size_t count, void* self) {
    auto* fetcher = static_cast<HttpFetcher*>(self);
    if (fetcher->body_.size() + size * count > fetcher->limits_.maximumBytes) {
        fetcher->tooLarge_ = true;
        return 0; // stops the transfer: more than a feed can be
    }
    fetcher->body_.append(data, size * count);
    return size * count;
}

int HttpFetcher::onSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
    auto* fetcher = static_cast<HttpFetcher*>(self);
    if (auto existing = fetcher->sockets_.find(socket); existing != fetcher->sockets_.end()) {
        g_source_remove(existing->second);
        fetcher->sockets_.erase(existing);
    }
    if (what != CURL_POLL_REMOVE) {
        int condition = G_IO_HUP | G_IO_ERR;
        condition |= (what & CURL_POLL_IN) ? G_IO_IN : 0;
        condition |= (what & CURL_POLL_OUT) ? G_IO_OUT : 0;
        fetcher->sockets_[socket] =
            g_unix_fd_add(socket, GIOCondition(condition), &HttpFetcher::onSocketReady, fetcher);
    }
    return 0;
}

int HttpFetcher::onTimer(CURLM*, long milliseconds, void* self) {
    auto* fetcher = static_cast<HttpFetcher*>(self);
    fetcher->timer_.reset();
    if (milliseconds >= 0) {
        fetcher->timer_.reset(g_timeout_add(guint(milliseconds), &HttpFetcher::onTimeout, fetcher));
    }
    return 0;
}

gboolean HttpFetcher::onSocketReady(gint fd, GIOCondition condition, gpointer self) {
    auto* fetcher = static_cast<HttpFetcher*>(self);
    int flags = 0;
    flags |= (condition & G_IO_IN) ? CURL_CSELECT_IN : 0;
    flags |= (condition & G_IO_OUT) ? CURL_CSELECT_OUT : 0;
    flags |= (condition & (G_IO_ERR | G_IO_HUP)) ? CURL_CSELECT_ERR : 0;
    int running = 0;
    // curl may replace this socket's source from inside; keep ours until it says so.
    curl_multi_socket_action(fetcher->multi_, fd, flags, &running);
    fetcher->finishIfDone();
    return G_SOURCE_CONTINUE;
}

gboolean HttpFetcher::onTimeout(gpointer self) {
    auto* fetcher = static_cast<HttpFetcher*>(self);
    fetcher->timer_.forget();
    int running = 0;
    curl_multi_socket_action(fetcher->multi_, CURL_SOCKET_TIMEOUT, 0, &running);
    fetcher->finishIfDone();
    return G_SOURCE_REMOVE;
}

void HttpFetcher::finishIfDone() {
    int pending = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &pending)) {
        if (message->msg != CURLMSG_DONE || message->easy_handle != easy_) {
            continue;
        }
        const CURLcode code = message->data.result;
        Result result;
        if (code == CURLE_OK) {
            result.body = std::move(body_);
        } else if (tooLarge_) {
            result.error = "The update information is too large.";
        } else if (code == CURLE_OPERATION_TIMEDOUT) {
            result.error = "The update server did not answer in time.";
        } else if (code == CURLE_HTTP_RETURNED_ERROR) {
            long status = 0;
            curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
            result.error = "The update server answered with error " + std::to_string(status) + ".";
        } else {
            result.error = std::string("The update server could not be reached (") +
                           curl_easy_strerror(code) + ").";
        }
        curl_multi_remove_handle(multi_, easy_);
        curl_easy_cleanup(easy_);
        easy_ = nullptr;
        Completion completion = std::move(completion_);
        completion(std::move(result));
        return;
    }
}

} // namespace tunora
