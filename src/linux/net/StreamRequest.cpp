#include "linux/net/StreamRequest.h"

#include <cstring>
#include <glib.h>

namespace tunora {
namespace {

bool startsWith(const std::string& text, const char* prefix) {
    return g_ascii_strncasecmp(text.c_str(), prefix, strlen(prefix)) == 0;
}

} // namespace

bool isTextType(const std::string& contentType) {
    return startsWith(contentType, "text/") || startsWith(contentType, "application/json") ||
           startsWith(contentType, "application/xhtml");
}

StreamRequest::StreamRequest(std::shared_ptr<StreamNetwork> network, std::string station,
                             Handlers handlers)
    : network_(std::move(network)), station_(std::move(station)), handlers_(std::move(handlers)) {
    // Where the dispatcher sent this station before: asking it again costs a
    // round trip and a connection to another host.
    const std::optional<std::string> remembered = network_->rememberedTarget(station_);
    atRemembered_ = remembered.has_value();
    send(remembered.value_or(station_));
}

void StreamRequest::send(const std::string& address) {
    servedFrom_ = address;
    network_->warmLimit().used(originOf(address));
    // Replacing the reader from inside one of its handlers is safe: it lets
    // its request finish by itself.
    reader_ = std::make_unique<HttpStreamReader>(network_->session(), address,
                                                 network_->httpsRefused(), readerHandlers());
}

// Anything that goes wrong at a remembered target: the station's own address
// again, at once and without counting as a drop.
bool StreamRequest::fellBack() {
    if (!atRemembered_ || audioGiven_) {
        return false;
    }
    g_debug("%s: %s failed, asking the station's address", station_.c_str(), servedFrom_.c_str());
    network_->forgetRedirect(station_);
    atRemembered_ = false;
    network_->starts().startedWithoutWaiting(); // the same choice, asked again
    send(station_);
    return true;
}

// Each calls the owner last: it may end this request.
StreamRequest::Handlers StreamRequest::readerHandlers() {
    return {
        .answered =
            [this](const std::string& type) {
                if (isTextType(type) && fellBack()) {
                    return;
                }
                if (!isTextType(type) && !atRemembered_ && servedFrom_ != station_) {
                    network_->rememberRedirect(station_, servedFrom_);
                }
                handlers_.answered(type);
            },
        .audio =
            [this](GBytes* audio) {
                audioGiven_ = true;
                handlers_.audio(audio);
            },
        .titled = [this](std::string title) { handlers_.titled(std::move(title)); },
        .failed =
            [this](StreamFailure failure) {
                if (!fellBack()) {
                    handlers_.failed(std::move(failure));
                }
            },
        .ended =
            [this](std::string why) {
                if (!fellBack()) {
                    handlers_.ended(std::move(why));
                }
            },
        // A remembered target is where a dispatcher once sent the station, not
        // where it must send it: one that redirects elsewhere is left for the
        // dispatcher's answer of today, so the redirect limit counts from the
        // station's address.
        .redirecting =
            [this](const std::string& target) {
                if (handlers_.redirecting && !handlers_.redirecting(target)) {
                    return false;
                }
                if (fellBack()) {
                    return false;
                }
                servedFrom_ = target;
                network_->warmLimit().used(originOf(target));
                return true;
            },
        .hasRoom = [this] { return handlers_.hasRoom(); },
    };
}

} // namespace tunora
