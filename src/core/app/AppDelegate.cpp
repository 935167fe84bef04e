#include "core/app/AppDelegate.h"

namespace tunora {

AppDelegate::AppDelegate(Services services)
    : services_(std::move(services)),
      // Media commands are answered from here on, before any menu exists.
      audioPlayer_(
          AudioPlayer::create(services_.streams, services_.nowPlaying, services_.remoteCommands)) {}

void AppDelegate::applicationDidFinishLaunching() {
    statusItem_ = services_.statusBar->statusItemWithLength(StatusBar::variableLength);
    menuManager_ = MenuManager::create(statusItem_, audioPlayer_, services_.menu);
    menuManager_->start();
    // The program posts no notifications; the answer changes nothing.
    services_.notifications->requestAuthorization(NotificationCenter::alertOption, [](bool) {});
}

} // namespace tunora
