#include "linux/net/StreamNetwork.h"

#include "linux/net/HttpsRules.h"

namespace tunora {
namespace {

// Far more than the requests a burst of commands may leave waiting for answers.
constexpr int maxConnectionsPerHost = 16;
constexpr int maxConnections = 32;

} // namespace

GObjectPtr<SoupSession> makeStreamSession(std::chrono::seconds timeout) {
    // A request the listener left keeps its connection until its answer comes
    // (or the timeout): libsoup's two connections per host would queue the
    // station chosen next behind two such requests to the same host.
    return GObjectPtr<SoupSession>(soup_session_new_with_options(
        "user-agent", "Tunora", "timeout", guint(timeout.count()), "max-conns-per-host",
        maxConnectionsPerHost, "max-conns", maxConnections, nullptr));
}

void StreamNetwork::open() {
    if (!session_) {
        session_ = makeStreamSession(options_.timeout);
    }
}

void StreamNetwork::prepare() {
    if (prepared_ || !session_) {
        return;
    }
    prepared_ = true;
    if (const auto& caFile = options_.caFile) {
        GObjectPtr<GTlsDatabase> database = loadTrustedCertificates(*caFile, tlsProblem_);
        if (database) {
            soup_session_set_tls_database(session_.get(), database.get());
        } else {
            // The listener chose this file instead of the system's certificates:
            // falling back to those would trust what they did not.
            g_message(
                "cannot use TUNORA_TLS_CA_FILE %s for streams (%s); https streams are refused",
                caFile->c_str(), tlsProblem_.c_str());
        }
    }
    if (options_.redirectCache) {
        redirectCache_.emplace(*options_.redirectCache);
        redirectCache_->load(redirects_, RedirectMemory::Clock::now());
    }
}

std::optional<std::string> StreamNetwork::rememberedTarget(const std::string& station) const {
    std::optional<std::string> target = redirects_.target(station, RedirectMemory::Clock::now());
    if (target && isHttps(*target) && !tlsProblem_.empty()) {
        return std::nullopt; // refused before a request: that would fail inside the reader
    }
    return target;
}

void StreamNetwork::rememberRedirect(const std::string& station, const std::string& target) {
    const auto now = RedirectMemory::Clock::now();
    if (redirects_.target(station, now) == target) {
        return; // nothing new to write down
    }
    redirects_.remember(station, target, now);
    saveRedirects(now);
}

void StreamNetwork::forgetRedirect(const std::string& station) {
    const auto now = RedirectMemory::Clock::now();
    if (!redirects_.target(station, now)) {
        return;
    }
    redirects_.forget(station);
    saveRedirects(now);
}

void StreamNetwork::saveRedirects(RedirectMemory::Clock::time_point now) const {
    if (redirectCache_) {
        redirectCache_->save(redirects_, now);
    }
}

} // namespace tunora
