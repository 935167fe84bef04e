#include "linux/net/HttpExchange.h"

#include "core/net/IcyDemuxer.h"
#include "core/net/RedirectRules.h"
#include "core/net/UrlRules.h"
#include "linux/net/HttpService.h"

#include <optional>

namespace tunora {
namespace {

using Reason = StreamFailure::Reason;

constexpr gsize readSize = 16 * 1024;
// How often a full buffer is looked at again; sound drains it at the stream's pace.
constexpr guint roomCheckMs = 100;
// Far more than any ICY metadata interval a station uses.
constexpr guint64 longestIcyInterval = 1024 * 1024;

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

// The exchange's requests and reading. The asynchronous calls hold it, not the
// exchange, so an exchange that goes away mid-call only has to let it know.
struct HttpExchange::Call {
    Call(HttpExchange* exchange, HttpService* service, std::string url, Kind what, Handlers calls)
        : owner(exchange), http(service), address(std::move(url)), kind(what),
          handlers(std::move(calls)) {}

    HttpExchange* owner; // null once the exchange went away
    HttpService* http;   // the owner's, used only while the owner is there
    std::string address; // what was asked for: the station's own address
    Kind kind;
    Handlers handlers;
    GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
    GObjectPtr<SoupMessage> message;
    GObjectPtr<GInputStream> body;
    std::string url; // where the current request goes
    int redirects = 0;
    bool waitingTurn = false;
    bool atRemembered = false; // url is where the station's redirects led lately
    bool bodyTaken = false;
    std::optional<IcyDemuxer> demuxer;
    GSourceId roomCheck;
    bool inFlight = false;    // an asynchronous call holds this
    bool sending = false;     // that call is a send, waiting for the answer's headers
    bool dispatching = false; // a handler runs, which may let the exchange go
    // A failure found before anything went out waits for the loop: the one
    // who made the exchange may not even have stored it yet.
    std::optional<StreamFailure> pendingFailure;
    GSourceId deferred;

    bool isStream() const { return kind == Kind::stream; }
    bool wanted() const { return !handlers.wanted || handlers.wanted(); }
    // After a handler ran: whether the exchange is still there to hear more.
    bool alive() const { return owner != nullptr; }

    void begin();
    void send(const std::string& to);
    void answered();
    void redirected(const std::string& target);
    bool fellBack();
    void fail(StreamFailure failure);
    void failSoon(StreamFailure failure);
    void end(std::string error);
    void read();
    void received(GBytes* bytes);

    static void onSent(GObject* session, GAsyncResult* result, gpointer self);
    static void onRead(GObject* stream, GAsyncResult* result, gpointer self);
    static gboolean onDeferredFailure(gpointer self);
    // Ends a callback: frees the call if its exchange went away meanwhile.
    static void release(Call* call);
};

HttpExchange::HttpExchange(std::shared_ptr<HttpService> http, std::string url, Kind kind,
                           Handlers handlers)
    : http_(std::move(http)),
      call_(new Call(this, http_.get(), std::move(url), kind, std::move(handlers))) {
    if (kind == Kind::document) {
        call_->begin();
        return;
    }
    call_->waitingTurn = true;
    http_->queueStart(this, [call = call_] {
        call->waitingTurn = false;
        call->begin();
    });
}

HttpExchange::~HttpExchange() {
    http_->cancelStart(this);
    call_->owner = nullptr;
    call_->roomCheck.reset();
    call_->deferred.reset();
    // A send is never cancelled: libsoup (3.6.5 at least) finishes a message
    // twice when a cancel lands between its headers and the send's return.
    // An abandoned send ends at the answer, whose body is closed at once, or
    // at the session's timeout. Only the reading of an open body is stopped.
    if (!call_->sending) {
        g_cancellable_cancel(call_->cancellable.get());
    }
    if (!call_->inFlight && !call_->dispatching) {
        delete call_; // closes the connection, if one is open
    }
}

bool HttpExchange::waiting() const {
    return call_->waitingTurn;
}

void HttpExchange::unplayable() {
    if (call_->isStream()) {
        http_->forgetTarget(call_->address);
    }
}

void HttpExchange::Call::release(Call* call) {
    call->dispatching = false;
    if (call->owner == nullptr && !call->inFlight) {
        delete call;
    }
}

void HttpExchange::Call::begin() {
    http->prepare();
    // Where the dispatcher sent this station before: asking it again costs a
    // round trip and a connection to another host.
    const std::optional<std::string> remembered =
        isStream() ? http->rememberedTarget(address) : std::nullopt;
    atRemembered = remembered && (!isHttps(*remembered) || http->httpsRefused().empty());
    send(atRemembered ? *remembered : address);
}

void HttpExchange::Call::send(const std::string& to) {
    url = to;
    body.reset();
    http->connectionUsed(originOf(url));
    if (inInvalidDomain(url)) {
        failSoon({Reason::hostNotConfigured, 0, url + " lies in the reserved .invalid domain"});
        return;
    }
    if (isHttps(url) && !http->httpsRefused().empty()) {
        failSoon({Reason::caFileUnusable, 0, http->httpsRefused()});
        return;
    }
    message.reset(soup_message_new("GET", url.c_str()));
    if (!message) {
        failSoon({Reason::other, 0, "not an address: " + url});
        return;
    }
    if (isStream()) {
        soup_message_headers_append(soup_message_get_request_headers(message.get()), "Icy-MetaData",
                                    "1");
    }
    // Redirects are looked at here first: an https address must stay on https.
    soup_message_add_flags(message.get(), SOUP_MESSAGE_NO_REDIRECT);
    inFlight = true;
    sending = true;
    soup_session_send_async(http->session(), message.get(), G_PRIORITY_DEFAULT, nullptr,
                            &Call::onSent, this);
}

void HttpExchange::Call::failSoon(StreamFailure failure) {
    pendingFailure = std::move(failure);
    deferred.reset(g_idle_add(&Call::onDeferredFailure, this));
}

// Runs only while the exchange is there: it removes this source as it goes.
gboolean HttpExchange::Call::onDeferredFailure(gpointer self) {
    auto* call = static_cast<Call*>(self);
    call->deferred.forget();
    call->dispatching = true;
    StreamFailure failure = std::move(*call->pendingFailure);
    call->pendingFailure.reset();
    call->fail(std::move(failure));
    Call::release(call);
    return G_SOURCE_REMOVE;
}

void HttpExchange::Call::onSent(GObject* session, GAsyncResult* result, gpointer self) {
    auto* call = static_cast<Call*>(self);
    call->inFlight = false;
    call->sending = false;
    call->dispatching = true;
    GError* rawError = nullptr;
    GObjectPtr<GInputStream> body(
        soup_session_send_finish(SOUP_SESSION(session), result, &rawError));
    GErrorPtr error(rawError);
    if (call->owner == nullptr) {
        Call::release(call); // an abandoned answer: its body closes with it
        return;
    }
    if (!body) {
        call->fail({reasonFor(error.get()), 0, error->message});
    } else {
        call->body = std::move(body);
        call->answered();
    }
    Call::release(call);
}

void HttpExchange::Call::answered() {
    const guint status = soup_message_get_status(message.get());
    SoupMessageHeaders* headers = soup_message_get_response_headers(message.get());
    if (SOUP_STATUS_IS_REDIRECTION(status)) {
        const char* location = soup_message_headers_get_one(headers, "Location");
        const GCharPtr resolved(
            location != nullptr
                ? g_uri_resolve_relative(url.c_str(), location, G_URI_FLAGS_NONE, nullptr)
                : nullptr);
        const std::string target = resolved ? resolved.get() : "";
        switch (redirectVerdict(url, target, redirects++)) {
        case RedirectVerdict::follow:
            redirected(target);
            return;
        case RedirectVerdict::insecure:
            fail({Reason::insecureRedirect, 0, "redirected to " + target});
            return;
        case RedirectVerdict::tooMany:
            fail({Reason::other, 0, "too many redirects"});
            return;
        case RedirectVerdict::invalid:
            break; // a redirect to nowhere: an error like any other
        }
    }
    if (!SOUP_STATUS_IS_SUCCESSFUL(status)) {
        const char* phrase = soup_message_get_reason_phrase(message.get());
        fail({Reason::httpError, int(status), phrase != nullptr ? phrase : ""});
        return;
    }
    const char* type = soup_message_headers_get_content_type(headers, nullptr);
    const std::string contentType = type != nullptr ? type : "";
    if (isStream() && isTextType(contentType)) {
        fail({Reason::notAudio, 0, "the server sent " + contentType});
        return;
    }
    const char* metaint =
        isStream() ? soup_message_headers_get_one(headers, "icy-metaint") : nullptr;
    const guint64 interval = metaint != nullptr ? g_ascii_strtoull(metaint, nullptr, 10) : 0;
    demuxer.emplace(interval <= longestIcyInterval ? std::size_t(interval) : 0);
    if (isStream() && !atRemembered && url != address) {
        http->rememberTarget(address, url);
    }
    if (handlers.answered) {
        handlers.answered(contentType);
    }
    if (alive()) {
        read();
    }
}

// A remembered target is where a dispatcher once sent the station, not where
// it must send it: one that redirects elsewhere is left for the dispatcher's
// answer of today, so the redirect limit counts from the station's address.
void HttpExchange::Call::redirected(const std::string& target) {
    if (!wanted()) {
        handlers.failed({Reason::other, 0, "nobody waits for " + target + " any more"});
        return;
    }
    if (!fellBack()) {
        send(target);
    }
}

// Anything that goes wrong at a remembered target before audio came: the
// station's own address again, at once, and the owner never hears of it.
bool HttpExchange::Call::fellBack() {
    if (!atRemembered || bodyTaken || !wanted()) {
        return false;
    }
    g_debug("%s: %s failed, asking the station's address", address.c_str(), url.c_str());
    http->forgetTarget(address);
    atRemembered = false;
    redirects = 0;
    http->startedWithoutWaiting(); // the same choice, asked again
    send(address);
    return true;
}

// Whatever failed there is not where this station is asked for first again.
void HttpExchange::Call::fail(StreamFailure failure) {
    if (fellBack()) {
        return;
    }
    if (isStream()) {
        http->forgetTarget(address);
    }
    handlers.failed(std::move(failure));
}

void HttpExchange::Call::end(std::string error) {
    if (fellBack()) {
        return;
    }
    if (isStream()) {
        http->forgetTarget(address);
    }
    handlers.ended(std::move(error));
}

void HttpExchange::Call::read() {
    if (handlers.hasRoom && !handlers.hasRoom()) {
        roomCheck.reset(g_timeout_add(
            roomCheckMs,
            [](gpointer self) -> gboolean {
                auto* call = static_cast<Call*>(self);
                call->roomCheck.forget();
                call->read();
                return G_SOURCE_REMOVE;
            },
            this));
        return;
    }
    inFlight = true;
    g_input_stream_read_bytes_async(body.get(), readSize, G_PRIORITY_DEFAULT, cancellable.get(),
                                    &Call::onRead, this);
}

void HttpExchange::Call::onRead(GObject* stream, GAsyncResult* result, gpointer self) {
    auto* call = static_cast<Call*>(self);
    call->inFlight = false;
    call->dispatching = true;
    GError* rawError = nullptr;
    GBytes* rawBytes = g_input_stream_read_bytes_finish(G_INPUT_STREAM(stream), result, &rawError);
    std::unique_ptr<GBytes, decltype(&g_bytes_unref)> bytes(rawBytes, &g_bytes_unref);
    GErrorPtr error(rawError);
    if (call->owner == nullptr) {
        Call::release(call);
        return;
    }
    if (!bytes) {
        call->end(error->message);
    } else if (g_bytes_get_size(bytes.get()) == 0) {
        call->end("");
    } else {
        call->received(bytes.get());
        if (call->alive()) {
            call->read();
        }
    }
    Call::release(call);
}

void HttpExchange::Call::received(GBytes* bytes) {
    bodyTaken = true;
    gsize size = 0;
    const auto* data = static_cast<const char*>(g_bytes_get_data(bytes, &size));
    demuxer->feed(
        std::string_view(data, size),
        [&](std::string_view piece) {
            if (alive()) {
                std::unique_ptr<GBytes, decltype(&g_bytes_unref)> part(
                    g_bytes_new_from_bytes(bytes, piece.data() - data, piece.size()),
                    &g_bytes_unref);
                handlers.body(part.get());
            }
        },
        [&](std::string title) {
            if (alive()) {
                handlers.titled(std::move(title));
            }
        });
}

} // namespace tunora
