#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/NowPlayingCenter.h"
#include "platform/RemoteCommandCenter.h"

#include <gio/gio.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// The desktop's now-playing display and media commands over MPRIS2: owns
// org.mpris.MediaPlayer2.tunora on the session bus, publishes what plays and
// turns Play, Pause, PlayPause, Next and Previous into the installed command
// handlers, and Quit into the quit handler. Without a session bus it does
// nothing and the program plays all the same.
class MprisService : public NowPlayingCenter, public RemoteCommandCenter {
  public:
    static constexpr const char* busName = "org.mpris.MediaPlayer2.tunora";
    static constexpr const char* objectPath = "/org/mpris/MediaPlayer2";

    MprisService();
    ~MprisService() override;
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    void setNowPlayingInfo(const NowPlayingInfo& info) override;
    void setPlaybackState(PlaybackState state) override;
    void addHandler(RemoteCommand command, Handler handler) override;
    void setVolume(double volume) override;
    // The volume last published.
    double volume() const { return volume_; }
    void setVolumeHandler(std::function<void(double)> handler) override {
        volumeHandler_ = std::move(handler);
    }
    // What Quit does: ends the program. Without one, CanQuit is false.
    void setQuitHandler(std::function<void()> quit) { quit_ = std::move(quit); }

  private:
    static void onBusAcquired(GDBusConnection* connection, const gchar* name, gpointer self);
    static void onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar* interface,
                             const gchar* method, GVariant*, GDBusMethodInvocation* invocation,
                             gpointer self);
    static GVariant* onGetProperty(GDBusConnection*, const gchar*, const gchar*,
                                   const gchar* interface, const gchar* property, GError**,
                                   gpointer self);
    static gboolean onSetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                  const gchar*, GVariant*, GError**, gpointer);

    void callCommand(RemoteCommand command, GDBusMethodInvocation* invocation);
    GVariant* rootProperty(const std::string& name) const;
    GVariant* playerProperty(const std::string& name) const;
    GVariant* metadata() const;
    const char* playbackStatus() const;
    void emitPlayerPropertiesChanged(const std::vector<std::string>& names);

    guint ownerId_ = 0;
    GObjectPtr<GDBusConnection> connection_;
    std::vector<guint> registrations_;
    std::map<RemoteCommand, std::vector<Handler>> handlers_;
    std::optional<PlaybackState> state_;
    double volume_ = 1.0;
    std::function<void(double)> volumeHandler_;
    std::function<void()> quit_;
    std::optional<NowPlayingInfo> info_;
    unsigned publication_ = 0;
};

} // namespace tunora
