#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/playback/GstStreamPlayer.h"

#include <thread>

namespace tunora {

// Makes GStreamer stream players that share the settings, the program's HTTP
// service, the pipeline and the watches. The network monitor is GLib's
// default unless one is given.
class GstStreamPlayerFactory : public StreamPlayerFactory {
  public:
    GstStreamPlayerFactory(PlaybackSettings settings, std::shared_ptr<HttpService> http,
                           GNetworkMonitor* networkMonitor = nullptr);
    ~GstStreamPlayerFactory() override;
    GstStreamPlayerFactory(const GstStreamPlayerFactory&) = delete;
    GstStreamPlayerFactory& operator=(const GstStreamPlayerFactory&) = delete;
    std::unique_ptr<StreamPlayer> makePlayer(const std::string& url) override;

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
