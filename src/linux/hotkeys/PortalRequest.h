#pragma once

#include "linux/glib/GObjectPtr.h"

#include <functional>
#include <gio/gio.h>
#include <string>

namespace tunora {

// One call of a desktop portal method that answers through a Request object's
// Response signal. The Response is listened for before the call is made (a fast
// answer is never missed), only from the portal and only once; an answer of the
// wrong type, or none within 30 s, is a failure. A request dropped before its
// answer is closed, so the portal can take down any dialog it opened.
//
// Exactly one of the two handlers is called, at most once, on the main loop;
// either may destroy the request. Neither is called when the portal went away
// (a new owner of its name starts afresh) or the request was destroyed.
class PortalRequest {
  public:
    using Answered = std::function<void(guint32 response, GVariant* results)>;
    using Failed = std::function<void(const std::string& why)>;
    // Builds the call's arguments around the request's handle_token.
    using Arguments = std::function<GVariant*(const char* token)>;

    static constexpr guint deadlineSeconds = 30;

    PortalRequest(GDBusConnection* bus, const char* interface, const char* method,
                  const Arguments& arguments, Answered answered, Failed failed);
    ~PortalRequest();
    PortalRequest(const PortalRequest&) = delete;
    PortalRequest& operator=(const PortalRequest&) = delete;

  private:
    static void onCalled(GObject* bus, GAsyncResult* result, gpointer self);
    static void onResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                           GVariant* parameters, gpointer self);
    void listenOn(const std::string& path);
    void stopListening();
    void fail(const std::string& why);
    void finish();
    void close();

    GObjectPtr<GDBusConnection> bus_;
    GObjectPtr<GCancellable> cancellable_;
    std::string method_;
    std::string path_;
    guint subscription_ = 0;
    GSourceId deadline_;
    Answered answered_;
    Failed failed_;
};

} // namespace tunora
