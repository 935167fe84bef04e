#pragma once

#include "core/menu/MenuManager.h"
#include "core/playback/AudioPlayer.h"
#include "platform/NotificationCenter.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusItem.h"

#include <memory>

namespace tunora {

// Owns the program's long-lived objects: the player from the start, the status
// item and the menu manager from the moment launching has finished.
class AppDelegate : public ApplicationDelegate {
  public:
    struct Services {
        std::shared_ptr<StreamPlayerFactory> streams;
        std::shared_ptr<NowPlayingCenter> nowPlaying;
        std::shared_ptr<RemoteCommandCenter> remoteCommands;
        std::shared_ptr<StatusBar> statusBar;
        std::shared_ptr<NotificationCenter> notifications;
        MenuManager::Services menu;
    };

    // Where the station the listener chose last is kept in the settings.
    static constexpr const char* lastChannelKey = "lastChannel";

    explicit AppDelegate(Services services);

    void applicationDidFinishLaunching() override;

    const std::shared_ptr<AudioPlayer>& audioPlayer() const { return audioPlayer_; }
    const std::shared_ptr<StatusItem>& statusItem() const { return statusItem_; }
    const std::shared_ptr<MenuManager>& menuManager() const { return menuManager_; }

  private:
    void restoreLastChannel();

    Services services_;
    std::shared_ptr<StatusItem> statusItem_;
    std::shared_ptr<AudioPlayer> audioPlayer_;
    std::shared_ptr<MenuManager> menuManager_;
};

} // namespace tunora
