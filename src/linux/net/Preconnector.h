#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/ConnectionWarmer.h"

#include <gio/gio.h>
#include <memory>

namespace tunora {

class HttpService;

// Opens connections ahead with libsoup's preconnect on the program's one
// session: to where each stream would be fetched from (a remembered redirect
// target, or the station's host and the hosts its dispatcher sends to), as
// the warm limit allows, and keeps them usable while the menu is open, until
// it closes. The session's idle timeout closes what is not used.
// Nothing on a metered network or without one.
class Preconnector : public ConnectionWarmer {
  public:
    // monitor: null for GLib's default.
    Preconnector(std::shared_ptr<HttpService> http, GNetworkMonitor* monitor);
    void warm(const std::vector<std::string>& streamUrls) override;
    void menuDidClose() override;

  private:
    static constexpr guint keepWarmMs = 250;
    struct Pending;

    bool mayWarm() const;
    void preconnect(const std::string& origin);
    static void onPreconnected(GObject* session, GAsyncResult* result, gpointer pending);
    static gboolean onKeepWarm(gpointer self);

    std::shared_ptr<HttpService> http_;
    GObjectPtr<GNetworkMonitor> monitor_;
    GSourceId keepWarm_; // while an opening's connections are held
};

} // namespace tunora
