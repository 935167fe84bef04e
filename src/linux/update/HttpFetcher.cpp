#include "linux/update/HttpFetcher.h"

#include "linux/net/HttpsRules.h"
#include "linux/strings/GettextStrings.h"
#include <glib.h>

namespace tunora {

// One fetch in flight. The asynchronous calls hold it, not the fetcher, so a
// fetcher that goes away first only has to let it know.
struct HttpFetcher::Pending {
    explicit Pending(HttpFetcher* fetcher) : owner(fetcher) {}

    HttpFetcher* owner;
    GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
    GObjectPtr<SoupMessage> message;
    GObjectPtr<GInputStream> stream;
    std::string buffer;
    std::string url;
    int redirects = 0;
    bool inFlight = false; // an asynchronous call holds this
    bool sending = false;  // that call is a send, waiting for the answer's headers
    Completion completion;

    // Lets the call under way go on without its fetcher. A send is never
    // cancelled (libsoup 3.6.5 finishes a message twice when a cancel lands
    // between its headers and the send's return): it ends at its answer,
    // closed at once, or at the session's timeout. A read is cancelled.
    void abandon() {
        owner = nullptr;
        if (!sending) {
            g_cancellable_cancel(cancellable.get());
        }
    }
};

HttpFetcher::HttpFetcher(Limits limits, std::shared_ptr<StreamNetwork> network)
    : limits_(limits), network_(std::move(network)) {}

// The program's session, with its trust loaded now at the latest: most runs of
// the program check for updates an hour after start, if at all. Its timeout
// also ends a send nobody waits for any more.
SoupSession* HttpFetcher::session() {
    network_->open();
    network_->prepare();
    return network_->session();
}

HttpFetcher::~HttpFetcher() {
    if (pending_ == nullptr) {
        return;
    }
    if (pending_->inFlight) {
        pending_->abandon();
    } else {
        delete pending_;
    }
}

bool HttpFetcher::fetch(const std::string& url, Completion completion) {
    if (pending_ != nullptr) {
        return false;
    }
    pending_ = new Pending(this);
    pending_->completion = std::move(completion);
    deadline_.reset(g_timeout_add(guint(limits_.timeout.count()), &HttpFetcher::onDeadline, this));
    send(url);
    return true;
}

void HttpFetcher::send(const std::string& url) {
    pending_->url = url;
    pending_->message.reset(isHttps(url) ? soup_message_new("GET", url.c_str()) : nullptr);
    if (!pending_->message) {
        finish({std::nullopt, N_("The update address is not a secure (https) address.")});
        return;
    }
    SoupSession* const soup = session();
    if (const std::string& refused = network_->httpsRefused(); !refused.empty()) {
        // The listener's certificates cannot be read: the system's are not
        // trusted in their place.
        finish({std::nullopt, "The update server could not be reached (" + refused + ")."});
        return;
    }
    // Redirects are looked at here first: they must stay on https.
    soup_message_add_flags(pending_->message.get(), SOUP_MESSAGE_NO_REDIRECT);
    pending_->inFlight = true;
    pending_->sending = true;
    soup_session_send_async(soup, pending_->message.get(), G_PRIORITY_DEFAULT, nullptr,
                            &HttpFetcher::onSent, pending_);
}

void HttpFetcher::onSent(GObject* session, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<Pending*>(data);
    pending->inFlight = false;
    pending->sending = false;
    GError* rawError = nullptr;
    GObjectPtr<GInputStream> stream(
        soup_session_send_finish(SOUP_SESSION(session), result, &rawError));
    GErrorPtr error(rawError);
    if (pending->owner == nullptr) {
        delete pending; // the fetcher is gone; the answer's body closes with it
        return;
    }
    if (!stream) {
        pending->owner->finish({std::nullopt, std::string("The update server could not be "
                                                          "reached (") +
                                                  error->message + ")."});
        return;
    }
    pending->owner->received(stream.release());
}

void HttpFetcher::received(GInputStream* stream) {
    pending_->stream.reset(stream);
    SoupMessage* message = pending_->message.get();
    const guint status = soup_message_get_status(message);
    if (SOUP_STATUS_IS_REDIRECTION(status)) {
        const RedirectCheck check = checkRedirect(
            pending_->url,
            soup_message_headers_get_one(soup_message_get_response_headers(message), "Location"),
            pending_->redirects++);
        if (check.verdict == RedirectCheck::Verdict::follow) {
            send(check.target);
        } else if (check.verdict == RedirectCheck::Verdict::tooMany) {
            finish({std::nullopt, N_("The update server redirected too often.")});
        } else {
            finish({std::nullopt, N_("The update server redirected to an address that is not "
                                     "secure (https).")});
        }
        return;
    }
    if (status != SOUP_STATUS_OK) {
        finish({std::nullopt,
                "The update server answered with error " + std::to_string(status) + "."});
        return;
    }
    // One byte more than allowed tells a document that is too large.
    pending_->buffer.resize(limits_.maximumBytes + 1);
    pending_->inFlight = true;
    g_input_stream_read_all_async(pending_->stream.get(), pending_->buffer.data(),
                                  pending_->buffer.size(), G_PRIORITY_DEFAULT,
                                  pending_->cancellable.get(), &HttpFetcher::onRead, pending_);
}

void HttpFetcher::onRead(GObject* stream, GAsyncResult* result, gpointer data) {
    auto* pending = static_cast<Pending*>(data);
    pending->inFlight = false;
    gsize length = 0;
    GError* rawError = nullptr;
    const bool read =
        g_input_stream_read_all_finish(G_INPUT_STREAM(stream), result, &length, &rawError);
    GErrorPtr error(rawError);
    if (pending->owner == nullptr) {
        delete pending;
        return;
    }
    HttpFetcher& fetcher = *pending->owner;
    if (!read) {
        fetcher.finish({std::nullopt, std::string("The update server could not be reached (") +
                                          error->message + ")."});
    } else if (length > fetcher.limits_.maximumBytes) {
        fetcher.finish({std::nullopt, N_("The update information is too large.")});
    } else {
        pending->buffer.resize(length);
        fetcher.finish({std::move(pending->buffer), {}});
    }
}

gboolean HttpFetcher::onDeadline(gpointer self) {
    auto* fetcher = static_cast<HttpFetcher*>(self);
    fetcher->deadline_.forget();
    fetcher->finish({std::nullopt, N_("The update server did not answer in time.")});
    return G_SOURCE_REMOVE;
}

// Ends the fetch: a call still under way is abandoned and frees the fetch's
// state when it ends.
void HttpFetcher::finish(Result result) {
    Pending* pending = pending_;
    pending_ = nullptr;
    deadline_.reset();
    Completion completion = std::move(pending->completion);
    if (pending->inFlight) {
        pending->abandon();
    } else {
        delete pending;
    }
    completion(std::move(result));
}

} // namespace tunora
