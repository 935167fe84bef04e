#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/InstanceCommandCenter.h"
#include "platform/RemoteCommandCenter.h"

#include <gio/gio.h>
#include <map>
#include <vector>

namespace tunora {

// Where later starts of the program reach the running one: owns org.tunora.Tunora
// on the session bus once opened, and turns the calls of its interface into the
// installed handlers. The single-instance lock decides which process runs; this
// only carries the commands, so without a session bus the program runs all the
// same, just out of reach of the command line.
class InstanceCommandServer : public InstanceCommandCenter, public RemoteCommandCenter {
  public:
    static constexpr const char* busName = "org.tunora.Tunora";
    static constexpr const char* objectPath = "/org/tunora/Tunora";
    static constexpr const char* interfaceName = "org.tunora.Tunora";
    static constexpr const char* failedError = "org.tunora.Tunora.Error.Failed";

    InstanceCommandServer() = default;
    ~InstanceCommandServer() override;
    InstanceCommandServer(const InstanceCommandServer&) = delete;
    InstanceCommandServer& operator=(const InstanceCommandServer&) = delete;

    void open(Handlers handlers) override;
    void addHandler(RemoteCommand command, Handler handler) override;
    // What "tunora --quit" does: ends the program, after the answer has gone.
    void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

  private:
    static void onBusAcquired(GDBusConnection* connection, const gchar* name, gpointer self);
    static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar* method, GVariant* parameters,
                             GDBusMethodInvocation* invocation, gpointer self);
    RemoteCommandHandlerStatus perform(RemoteCommand command);
    void status(GDBusMethodInvocation* invocation) const;

    Handlers handlers_;
    std::function<void()> quit_;
    std::map<RemoteCommand, std::vector<Handler>> commands_;
    guint ownerId_ = 0;
    GObjectPtr<GDBusConnection> connection_;
    guint registration_ = 0;
};

} // namespace tunora
