#include "linux/net/HttpStreamReader.h"

#include "linux/net/HttpsRules.h"
#include "linux/playback/IcyDemuxer.h"

#include <optional>

namespace tunora {
namespace {

using Reason = StreamFailure::Reason;

constexpr gsize readSize = 16 * 1024;
// How often a full buffer is looked at again; sound drains it at the stream's pace.
constexpr guint roomCheckMs = 100;

Reason reasonFor(const GError* error) {
    if (error->domain == G_RESOLVER_ERROR) {
        return Reason::hostNotFound;
    }
    if (error->domain == G_TLS_ERROR) {
        return Reason::untrustedCertificate;
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED)) {
        return Reason::connectionRefused;
    }
    if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_NETWORK_UNREACHABLE) ||
        g_error_matches(error, G_IO_ERROR, G_IO_ERROR_HOST_UNREACHABLE)) {
        return Reason::noNetwork;
    }
    return Reason::other;
}

} // namespace

// One stream's requests and reading. The asynchronous calls hold it, not the
// reader, so a reader that goes away mid-call only has to let it know.
struct HttpStreamReader::Request {
    Request(HttpStreamReader* reader, SoupSession* soup, std::string refused, Handlers calls)
        : owner(reader), session(soup), httpsRefused(std::move(refused)),
          handlers(std::move(calls)) {}

    HttpStreamReader* owner;
    SoupSession* session;
    std::string httpsRefused;
    Handlers handlers;
    GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
    GObjectPtr<SoupMessage> message;
    GObjectPtr<GInputStream> body;
    std::string url;
    int redirects = 0;
    std::optional<IcyDemuxer> demuxer;
    GSourceId roomCheck;
    bool inFlight = false;    // an asynchronous call holds this
    bool sending = false;     // that call is a send, waiting for the answer's headers
    bool dispatching = false; // a handler runs, which may let the reader go
    // A failure found before anything went out waits for the loop: the one
    // who made the reader has not even stored it yet.
    std::optional<StreamFailure> pendingFailure;
    GSourceId deferred;

    void send(const std::string& address);
    void answered();
    void read();
    void received(GBytes* bytes);
    void fail(StreamFailure failure) { handlers.failed(std::move(failure)); }
    void failSoon(StreamFailure failure);
    // After a handler ran: whether the reader is still there to hear more.
    bool alive() const { return owner != nullptr; }

    static void onSent(GObject* session, GAsyncResult* result, gpointer self);
    static void onRead(GObject* stream, GAsyncResult* result, gpointer self);
    static gboolean onDeferredFailure(gpointer self);
    // Ends a callback: frees the request if its reader went away meanwhile.
    static void release(Request* request);
};

HttpStreamReader::HttpStreamReader(SoupSession* session, const std::string& url,
                                   std::string httpsRefused, Handlers handlers)
    : request_(new Request(this, session, std::move(httpsRefused), std::move(handlers))) {
    request_->send(url);
}

HttpStreamReader::~HttpStreamReader() {
    request_->owner = nullptr;
    request_->roomCheck.reset();
    request_->deferred.reset();
    // A send is never cancelled: libsoup (3.6.5 at least) finishes a message
    // twice when a cancel lands between its headers and the send's return.
    // An abandoned send ends at the answer, whose body is closed at once, or
    // at the session's timeout. Only the reading of an open body is stopped.
    if (!request_->sending) {
        g_cancellable_cancel(request_->cancellable.get());
    }
    if (!request_->inFlight && !request_->dispatching) {
        delete request_; // closes the connection, if one is open
    }
}

void HttpStreamReader::Request::release(Request* request) {
    request->dispatching = false;
    if (request->owner == nullptr && !request->inFlight) {
        delete request;
    }
}

void HttpStreamReader::Request::send(const std::string& address) {
    url = address;
    body.reset();
    if (isHttps(url) && !httpsRefused.empty()) {
        failSoon({Reason::caFileUnusable, 0, httpsRefused});
        return;
    }
    message.reset(soup_message_new("GET", url.c_str()));
    if (!message) {
        failSoon({Reason::other, 0, "not an address: " + url});
        return;
    }
    SoupMessageHeaders* headers = soup_message_get_request_headers(message.get());
    soup_message_headers_append(headers, "Icy-MetaData", "1");
    // Redirects are looked at here first: an https stream must stay on https.
    soup_message_add_flags(message.get(), SOUP_MESSAGE_NO_REDIRECT);
    inFlight = true;
    sending = true;
    soup_session_send_async(session, message.get(), G_PRIORITY_DEFAULT, nullptr, &Request::onSent,
                            this);
}

void HttpStreamReader::Request::failSoon(StreamFailure failure) {
    pendingFailure = std::move(failure);
    deferred.reset(g_idle_add(&Request::onDeferredFailure, this));
}

// Runs only while the reader is there: it removes this source as it goes.
gboolean HttpStreamReader::Request::onDeferredFailure(gpointer self) {
    auto* request = static_cast<Request*>(self);
    request->deferred.forget();
    request->dispatching = true;
    StreamFailure failure = std::move(*request->pendingFailure);
    request->pendingFailure.reset();
    request->fail(std::move(failure));
    Request::release(request);
    return G_SOURCE_REMOVE;
}

void HttpStreamReader::Request::onSent(GObject* session, GAsyncResult* result, gpointer self) {
    auto* request = static_cast<Request*>(self);
    request->inFlight = false;
    request->sending = false;
    request->dispatching = true;
    GError* rawError = nullptr;
    GObjectPtr<GInputStream> body(
        soup_session_send_finish(SOUP_SESSION(session), result, &rawError));
    GErrorPtr error(rawError);
    if (request->owner == nullptr) {
        Request::release(request); // an abandoned answer: its body closes with it
        return;
    }
    if (!body) {
        request->fail({reasonFor(error.get()), 0, error->message});
    } else {
        request->body = std::move(body);
        request->answered();
    }
    Request::release(request);
}

void HttpStreamReader::Request::answered() {
    const guint status = soup_message_get_status(message.get());
    SoupMessageHeaders* headers = soup_message_get_response_headers(message.get());
    if (SOUP_STATUS_IS_REDIRECTION(status)) {
        const RedirectCheck check =
            checkRedirect(url, soup_message_headers_get_one(headers, "Location"), redirects++);
        switch (check.verdict) {
        case RedirectCheck::Verdict::follow:
            if (handlers.redirecting && !handlers.redirecting(check.target)) {
                return;
            }
            send(check.target);
            return;
        case RedirectCheck::Verdict::insecure:
            fail({Reason::insecureRedirect, 0, "redirected to " + check.target});
            return;
        case RedirectCheck::Verdict::tooMany:
            fail({Reason::other, 0, "too many redirects"});
            return;
        case RedirectCheck::Verdict::invalid:
            break; // a redirect to nowhere: an error like any other
        }
    }
    if (!SOUP_STATUS_IS_SUCCESSFUL(status)) {
        const char* phrase = soup_message_get_reason_phrase(message.get());
        fail({Reason::httpError, int(status), phrase != nullptr ? phrase : ""});
        return;
    }
    const char* metaint = soup_message_headers_get_one(headers, "icy-metaint");
    const guint64 interval = metaint != nullptr ? g_ascii_strtoull(metaint, nullptr, 10) : 0;
    demuxer.emplace(interval <= 1024 * 1024 ? std::size_t(interval) : 0);
    const char* type = soup_message_headers_get_content_type(headers, nullptr);
    handlers.answered(type != nullptr ? type : "");
    if (alive()) {
        read();
    }
}

void HttpStreamReader::Request::read() {
    if (!handlers.hasRoom()) {
        roomCheck.reset(g_timeout_add(
            roomCheckMs,
            [](gpointer self) -> gboolean {
                auto* request = static_cast<Request*>(self);
                request->roomCheck.forget();
                request->read();
                return G_SOURCE_REMOVE;
            },
            this));
        return;
    }
    inFlight = true;
    g_input_stream_read_bytes_async(body.get(), readSize, G_PRIORITY_DEFAULT, cancellable.get(),
                                    &Request::onRead, this);
}

void HttpStreamReader::Request::onRead(GObject* stream, GAsyncResult* result, gpointer self) {
    auto* request = static_cast<Request*>(self);
    request->inFlight = false;
    request->dispatching = true;
    GError* rawError = nullptr;
    GBytes* rawBytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(stream), result, &rawError);
    std::unique_ptr<GBytes, decltype(&g_bytes_unref)> bytes(rawBytes, &g_bytes_unref);
    GErrorPtr error(rawError);
    if (request->owner == nullptr) {
        Request::release(request);
        return;
    }
    if (!bytes) {
        request->handlers.ended(error->message);
    } else if (g_bytes_get_size(bytes.get()) == 0) {
        request->handlers.ended("the server ended the stream");
    } else {
        request->received(bytes.get());
        if (request->alive()) {
            request->read();
        }
    }
    Request::release(request);
}

void HttpStreamReader::Request::received(GBytes* bytes) {
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    demuxer->feed(
        std::string_view(data, size),
        [&](std::string_view audio) {
            if (alive()) {
                std::unique_ptr<GBytes, decltype(&g_bytes_unref)> piece(
                    g_bytes_new_from_bytes(bytes, audio.data() - data, audio.size()),
                    &g_bytes_unref);
                handlers.audio(piece.get());
            }
        },
        [&](std::string title) {
            if (alive()) {
                handlers.titled(std::move(title));
            }
        });
}

} // namespace tunora
