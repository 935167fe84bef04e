#include "linux/net/HttpService.h"

#include "linux/net/RedirectCache.h"
#include "linux/system/Files.h"

namespace tunora {
namespace {

// Far more than the requests a burst of commands may leave waiting for answers.
constexpr int maxConnectionsPerHost = 16;
constexpr int maxConnections = 32;

constexpr std::size_t mostRedirectCacheBytes = 256 * 1024;
// A redirect learnt is written down this long after, when the stream it led
// to plays: a burst of choices costs one write.
constexpr guint redirectSaveDelaySeconds = 2;

RedirectCacheTime timeNow() {
    return {RedirectMemory::Clock::now(), std::chrono::system_clock::now()};
}

} // namespace

HttpService::HttpService(Options options) : options_(std::move(options)) {}

HttpService::~HttpService() {
    if (redirectsSave_) {
        saveRedirects(); // what was learnt last is still worth a round trip next time
    }
}

void HttpService::open() {
    if (session_) {
        return;
    }
    // A request the listener left keeps its connection until its answer comes
    // (or the timeout): libsoup's two connections per host would queue the
    // station chosen next behind two such requests to the same host.
    session_.reset(soup_session_new_with_options(
        "user-agent", "Tunora", "timeout", guint(options_.timeout.count()), "max-conns-per-host",
        maxConnectionsPerHost, "max-conns", maxConnections, nullptr));
}

SoupSession* HttpService::session() {
    open();
    prepare();
    return session_.get();
}

void HttpService::prepare() {
    if (prepared_) {
        return;
    }
    open();
    prepared_ = true;
    if (const auto& caFile = options_.caFile) {
        GError* rawError = nullptr;
        GObjectPtr<GTlsDatabase> database(g_tls_file_database_new(caFile->c_str(), &rawError));
        GErrorPtr error(rawError);
        if (database) {
            soup_session_set_tls_database(session_.get(), database.get());
        } else {
            // The listener chose this file instead of the system's certificates:
            // falling back to those would trust what they did not.
            tlsProblem_ = error ? error->message : "cannot be read";
            g_message(
                "cannot use TUNORA_TLS_CA_FILE %s for streams (%s); https streams are refused",
                caFile->c_str(), tlsProblem_.c_str());
        }
    }
    loadRedirects();
}

void HttpService::loadRedirects() {
    if (!options_.redirectCache) {
        return;
    }
    const std::filesystem::path& file = *options_.redirectCache;
    const files::ReadResult read = files::readRegularFile(file, mostRedirectCacheBytes);
    if (read.status == files::ReadResult::Status::ok &&
        !readRedirectCache(read.contents, redirects_, timeNow())) {
        // Not ours to trust, nor to overwrite unseen: kept beside, and started afresh.
        std::string problem;
        if (const auto kept = files::setAside(file, problem)) {
            g_message("%s is not a redirect cache of this program; kept as %s", file.c_str(),
                      kept->c_str());
        } else {
            g_message("%s", problem.c_str());
        }
    }
}

std::optional<std::string> HttpService::rememberedTarget(const std::string& station) const {
    return redirects_.target(station, RedirectMemory::Clock::now());
}

void HttpService::rememberTarget(const std::string& station, const std::string& target) {
    const auto now = RedirectMemory::Clock::now();
    if (redirects_.target(station, now) != target) {
        redirects_.remember(station, target, now);
        saveRedirectsSoon();
    }
}

void HttpService::forgetTarget(const std::string& station) {
    if (redirects_.target(station, RedirectMemory::Clock::now())) {
        redirects_.forget(station);
        saveRedirectsSoon();
    }
}

void HttpService::saveRedirectsSoon() {
    if (!options_.redirectCache || redirectsSave_) {
        return;
    }
    redirectsSave_.reset(g_timeout_add_seconds(
        redirectSaveDelaySeconds,
        [](gpointer self) -> gboolean {
            auto* service = static_cast<HttpService*>(self);
            service->redirectsSave_.forget();
            service->saveRedirects();
            return G_SOURCE_REMOVE;
        },
        this));
}

void HttpService::saveRedirects() {
    redirectsSave_.reset();
    std::string problem;
    if (!files::replaceFile(*options_.redirectCache, writeRedirectCache(redirects_, timeNow()),
                            0600, problem)) {
        g_debug("cannot keep where stations are served from: %s", problem.c_str());
    }
}

void HttpService::queueStart(const void* who, PacedStarts::Start start) {
    starts_.queue(who, std::move(start));
    armTurn();
}

void HttpService::cancelStart(const void* who) {
    starts_.cancel(who);
    if (!starts_.due(PacedStarts::Clock::now())) {
        turn_.reset();
    }
}

void HttpService::startedWithoutWaiting() {
    starts_.startedWithoutWaiting(PacedStarts::Clock::now());
}

void HttpService::armTurn() {
    const auto now = PacedStarts::Clock::now();
    const std::optional<PacedStarts::Clock::time_point> due = starts_.due(now);
    if (turn_ || !due) {
        return; // the turn already booked serves the newest waiter
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
    // Even at once it is from the loop: whatever else the command changed (the
    // menu, its export to the panel) goes out first.
    turn_.reset(wait <= 0 ? g_idle_add(&HttpService::onTurn, this)
                          : g_timeout_add(guint(wait), &HttpService::onTurn, this));
}

gboolean HttpService::onTurn(gpointer self) {
    auto* service = static_cast<HttpService*>(self);
    service->turn_.forget();
    PacedStarts::Start start = service->starts_.take(PacedStarts::Clock::now());
    service->armTurn(); // older wishes still standing wait for the next turn
    if (start) {
        start(); // may queue or cancel again, or end the one who queued it
    }
    return G_SOURCE_REMOVE;
}

void HttpService::connectionUsed(const std::string& origin) {
    warmLimit_.used(origin);
}

std::vector<std::string> HttpService::originsToWarm(const std::vector<std::string>& streamUrls) {
    const auto now = WarmLimit::Clock::now();
    std::vector<std::string> offered;
    for (const std::string& url : streamUrls) {
        for (std::string& origin : redirects_.originsToWarm(url, now)) {
            offered.push_back(std::move(origin));
        }
    }
    std::vector<std::string> chosen = warmLimit_.take(offered, now);
    warmLimit_.hold(offered, now);
    return chosen;
}

std::vector<std::string> HttpService::originsToKeepWarm() {
    return warmLimit_.held(WarmLimit::Clock::now());
}

void HttpService::menuClosed() {
    warmLimit_.release();
}

bool HttpService::preconnecting(const std::string& origin) {
    return preconnecting_.insert(origin).second;
}

void HttpService::preconnected(const std::string& origin, bool connected) {
    preconnecting_.erase(origin);
    if (!connected) {
        // Not kept trying while the menu is open: a host that refuses now
        // would be asked four times a second.
        warmLimit_.used(origin);
    }
}

} // namespace tunora
