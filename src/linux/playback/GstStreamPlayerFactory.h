#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/playback/GstStreamPlayer.h"
#include "platform/ConnectionWarmer.h"

#include <thread>

namespace tunora {

// Makes GStreamer stream players that share the settings, the HTTP session,
// the pipeline and the watches. The network monitor is GLib's default unless
// one is given.
class GstStreamPlayerFactory : public StreamPlayerFactory {
  public:
    explicit GstStreamPlayerFactory(PlaybackSettings settings,
                                    GNetworkMonitor* networkMonitor = nullptr);
    ~GstStreamPlayerFactory() override;
    GstStreamPlayerFactory(const GstStreamPlayerFactory&) = delete;
    GstStreamPlayerFactory& operator=(const GstStreamPlayerFactory&) = delete;
    std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) override;
    // Opens connections ahead on the players' session, as a menu opens.
    std::shared_ptr<ConnectionWarmer> connectionWarmer();
    // The players' session and trust, for the program's other requests.
    std::shared_ptr<StreamNetwork> network() const { return environment_->http; }

  private:
    static constexpr guint warmUpDelay = 1000; // ms after the program starts
    void loadGStreamer();
    static gboolean onLoaded(gpointer self);
    void startWatches();

    std::shared_ptr<StreamPlayerEnvironment> environment_;
    GObjectPtr<GNetworkMonitor> networkMonitor_;
    GSourceId warmUp_;
    std::thread loader_;
    // Attached by the loader as it ends; removed on the main thread after joining it.
    GSourcePtr loaded_;
};

} // namespace tunora
