#pragma once

#include "core/catalogue/OndoChannel.h"
#include "core/hotkeys/HotkeyManager.h"
#include "core/menu/MenuModel.h"
#include "core/menu/OutsideCommands.h"
#include "core/playback/AudioPlayer.h"
#include "core/playback/StreamFailureText.h"
#include "platform/ConnectionWarmer.h"
#include "platform/InstanceCommandCenter.h"
#include "platform/LocalizedStrings.h"
#include "platform/LoginItemService.h"
#include "platform/ProblemLog.h"
#include "platform/RemoteCommandCenter.h"
#include "platform/UpdateController.h"
#include "platform/toolkit/Image.h"
#include "platform/toolkit/StatusItem.h"

#include <functional>
#include <memory>
#include <vector>

namespace tunora {

// The object behind the status item: builds its menu and picture from the
// current state, turns menu choices and hot-key presses into player actions,
// and edits the hot-key bindings and the start-at-login switch.
//
// It never edits the menu in place: every change rebuilds the whole menu.
class MenuManager : public ActionTarget {
  public:
    // What the menu manager needs from the desktop besides the status item and player.
    struct Services {
        std::shared_ptr<SettingsStore> settings;
        std::shared_ptr<HotkeyEventServices> hotkeyEvents;
        std::shared_ptr<Graphics> graphics;
        std::shared_ptr<LocalizedStrings> strings;
        std::shared_ptr<LoginItemService> loginItems;
        // Where the listener is told what went wrong: a change that could not
        // be saved, a shortcut bound to no station; none: not told.
        std::shared_ptr<ProblemLog> problems;
        // Makes the update controller, which starts its updater when made.
        std::function<std::shared_ptr<UpdateController>()> makeUpdateController;
        // Where Next and Previous come from; none: no such commands.
        std::shared_ptr<RemoteCommandCenter> remoteCommands;
        // Later starts of the program in this session; none: they are not heard.
        std::shared_ptr<InstanceCommandCenter> instanceCommands;
        // Runs work once the event loop has handled what is already waiting;
        // absent: at once. Changes that come in a burst rebuild the menu once.
        std::function<void(std::function<void()>)> runWhenIdle = {};
        // Opens connections to the stations a menu shows as it opens; none: not done.
        std::shared_ptr<ConnectionWarmer> warmer = {};
        // Where a station without an address gets one, for the hint that says so.
        StreamAddressHelp streamAddressHelp = {};
    };

    static constexpr const char* flag = "\U0001F1E9\U0001F1EA";
    static constexpr const char* antennaSymbolName = "antenna.radiowaves.left.and.right";

    static std::shared_ptr<MenuManager> create(std::shared_ptr<StatusItem> statusItem,
                                               std::shared_ptr<AudioPlayer> audioPlayer,
                                               Services services);

    // Shows the first picture, seeds the default hot keys, builds the first menu
    // and from then on takes the commands of later starts.
    void start();

    // Menu actions: "channelSelected:", "assignHotkey:", "toggleLaunchAtLogin",
    // "editHotkeyBindings".
    void performAction(const std::string& action, const MenuItem& sender) override;

    // The picture: the flag, a 2-point gap and the 12-point antenna symbol.
    std::shared_ptr<Image> menuBarIcon(const std::string& flagText);
    // Where the flag and the symbol stand in that picture, the symbol first:
    // a square cell shows the antenna above the flag.
    std::vector<Rect> menuBarIconParts(const std::string& flagText);

  private:
    MenuManager(std::shared_ptr<StatusItem> statusItem, std::shared_ptr<AudioPlayer> audioPlayer,
                Services services);

    void rebuildMenu();
    void menuOpening(const Menu& opening);
    void menuDidClose();
    void setNeedsRebuild();
    MenuState menuState();
    void reportSlotsBoundToNoStation();
    void reportKeysHeldElsewhere(const std::vector<int>& slots);
    void updateStatusIcon();
    StatusToolTip statusToolTip();
    void channelSelected(const MenuItem& sender);
    void assignHotkey(const MenuItem& sender);
    void hotkeyTriggered(int slot);
    void toggleLaunchAtLogin();
    // Tells why a change was not saved, or that the last such problem is gone.
    void reportSaved(const std::string& whatKey, bool saved, const std::string& problem);
    std::weak_ptr<ActionTarget> weakSelf();

    std::shared_ptr<HotkeyManager> hotkeyManager_;
    std::vector<OndoChannel> channels_;
    std::shared_ptr<StatusItem> statusItem_;
    std::shared_ptr<AudioPlayer> audioPlayer_;
    std::shared_ptr<UpdateController> updaterController_;
    Services services_;
    std::shared_ptr<OutsideCommands> outsideCommands_;
    std::weak_ptr<MenuManager> self_;
    bool rebuildPending_ = false;
};

} // namespace tunora
