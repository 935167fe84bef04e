#pragma once

#include "core/net/PacedStarts.h"
#include "core/net/RedirectRules.h"
#include "core/net/WarmLimit.h"
#include "linux/glib/GObjectPtr.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <libsoup/soup.h>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace tunora {

// Everything the program's HTTP exchanges share, in one place: the one
// session on the main loop, the certificates the listener chose, where the
// dispatchers send stations (in memory and across runs), the turns stream
// requests wait for, and the connections opened ahead. Exchanges
// (HttpExchange) and the Preconnector use it; nobody else knows what is in here.
class HttpService {
  public:
    struct Options {
        // Bounds every step of a request, one that nobody waits for any more included.
        std::chrono::seconds timeout{10};
        std::optional<std::string> caFile = std::nullopt; // instead of the system's certificates
        std::optional<std::filesystem::path> redirectCache = std::nullopt;
    };

    explicit HttpService(Options options);
    ~HttpService();
    HttpService(const HttpService&) = delete;
    HttpService& operator=(const HttpService&) = delete;

    // Makes the session: no connection, no TLS yet.
    void open();
    bool isOpen() const { return session_ != nullptr; }
    // Opens the session with what is needed only once the listener is about to
    // use the network (a menu opens, a station is chosen, an update check
    // runs), loaded then and once: the CA file, and where stations were served
    // from last time.
    void prepare();
    // The session, opened and prepared.
    SoupSession* session();
    // Why https is refused (the chosen CA file cannot be read); empty: it is not.
    const std::string& httpsRefused() const { return tlsProblem_; }

    // Where `station`'s redirects led lately; a change is written to the
    // cache a moment later, off the way to the first audio.
    std::optional<std::string> rememberedTarget(const std::string& station) const;
    void rememberTarget(const std::string& station, const std::string& target);
    void forgetTarget(const std::string& station);

    // Stream requests wait their turn here: one per intent, not per command.
    // A start always runs from the main loop, never inside the call that queued it.
    void queueStart(const void* who, PacedStarts::Start start);
    void cancelStart(const void* who);
    void startedWithoutWaiting();

    // A request went to `origin`: a connection opened ahead there is taken.
    void connectionUsed(const std::string& origin);
    // The origins worth opening ahead for a menu offering `streamUrls`, as the
    // warm limit allows now; they are then kept usable while it is open.
    std::vector<std::string> originsToWarm(const std::vector<std::string>& streamUrls);
    // What an open menu still wants kept usable; none once it is long past.
    std::vector<std::string> originsToKeepWarm();
    void menuClosed();
    // A connection to `origin` is being opened ahead; false: one already is.
    bool preconnecting(const std::string& origin);
    void preconnected(const std::string& origin, bool connected);

  private:
    void armTurn();
    static gboolean onTurn(gpointer self);
    void loadRedirects();
    void saveRedirectsSoon();
    void saveRedirects();

    Options options_;
    GObjectPtr<SoupSession> session_;
    bool prepared_ = false;
    std::string tlsProblem_;
    RedirectMemory redirects_;
    GSourceId redirectsSave_;
    WarmLimit warmLimit_;
    std::set<std::string> preconnecting_;
    PacedStarts starts_;
    GSourceId turn_;
};

} // namespace tunora
