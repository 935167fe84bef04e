#include "core/menu/MenuManager.h"

#include "core/menu/DefaultSlots.h"
#include "core/menu/MenuModel.h"
#include "core/menu/OutsideCommands.h"
#include "core/menu/StatusPicture.h"
#include "core/playback/StreamFailureText.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace tunora {

MenuManager::MenuManager(std::shared_ptr<StatusItem> statusItem,
                         std::shared_ptr<AudioPlayer> audioPlayer, Services services)
    : hotkeyManager_(HotkeyManager::create(services.settings, services.hotkeyEvents)),
      channels_(OndoChannel::allChannels()), statusItem_(std::move(statusItem)),
      audioPlayer_(std::move(audioPlayer)),
      updaterController_(services.makeUpdateController ? services.makeUpdateController() : nullptr),
      services_(std::move(services)),
      outsideCommands_(OutsideCommands::create(audioPlayer_, hotkeyManager_, channels_)) {}

std::shared_ptr<MenuManager> MenuManager::create(std::shared_ptr<StatusItem> statusItem,
                                                 std::shared_ptr<AudioPlayer> audioPlayer,
                                                 Services services) {
    std::shared_ptr<MenuManager> manager(
        new MenuManager(std::move(statusItem), std::move(audioPlayer), std::move(services)));
    manager->self_ = manager;
    // Both callbacks hold the manager weakly: neither keeps it alive.
    manager->audioPlayer_->onStateChange = [weak = manager->self_] {
        if (auto strong = weak.lock()) {
            strong->setNeedsRebuild();
        }
    };
    // A song title shows only in the hover text: no menu, picture or settings read.
    manager->audioPlayer_->onTitleChange = [weak = manager->self_] {
        if (auto strong = weak.lock()) {
            if (StatusButton* button = strong->statusItem_->button()) {
                button->setToolTip(strong->statusToolTip());
            }
        }
    };
    // The mouse wheel over the item changes the volume in steps of 5 %.
    manager->statusItem_->setScrollHandler([weak = manager->self_](int steps) {
        auto strong = weak.lock();
        if (!strong) {
            return 0.0;
        }
        const double volume = strong->audioPlayer_->volume() + 0.05 * steps;
        strong->audioPlayer_->setVolume(std::round(volume * 20.0) / 20.0);
        return strong->audioPlayer_->volume();
    });
    manager->hotkeyManager_->onHotkeyPressed = [weak = manager->self_](int slot) {
        if (auto strong = weak.lock()) {
            strong->hotkeyTriggered(slot);
        }
    };
    manager->statusItem_->setMenuOpeningHandler([weak = manager->self_](const Menu& opening) {
        if (auto strong = weak.lock()) {
            strong->menuOpening(opening);
        }
    });
    manager->statusItem_->setMenuDidCloseHandler([weak = manager->self_] {
        if (auto strong = weak.lock()) {
            strong->menuDidClose();
        }
    });
    if (manager->services_.remoteCommands) {
        manager->outsideCommands_->installStepHandlers(*manager->services_.remoteCommands);
    }
    // The menu names the keys the desktop bound, so it follows their changes.
    manager->hotkeyManager_->onHotkeysChanged = [weak = manager->self_] {
        if (auto strong = weak.lock()) {
            strong->setNeedsRebuild();
        }
    };
    return manager;
}

std::weak_ptr<ActionTarget> MenuManager::weakSelf() {
    return std::static_pointer_cast<ActionTarget>(self_.lock());
}

void MenuManager::start() {
    if (StatusButton* button = statusItem_->button()) {
        button->setImageParts(menuBarIconParts(flag));
        button->setImage(menuBarIcon(flag));
        button->setTitle("");
    }
    hotkeyManager_->setDefaults(defaultSlotChannelIds(channels_));
    reportSlotsBoundToNoStation();
    reportKeysHeldElsewhere({0, 1, 2, 3, 4});
    rebuildMenu();
    // Only now: a command of a later start never meets a half-started program.
    if (services_.instanceCommands) {
        outsideCommands_->openInstanceCommands(*services_.instanceCommands);
    }
}

void MenuManager::performAction(const std::string& action, const MenuItem& sender) {
    if (action == "channelSelected:") {
        channelSelected(sender);
    } else if (action == "assignHotkey:") {
        assignHotkey(sender);
    } else if (action == "toggleLaunchAtLogin") {
        toggleLaunchAtLogin();
    } else if (action == "editHotkeyBindings") {
        hotkeyManager_->editKeyBindings();
    }
}

// --- The menu ---------------------------------------------------------------

void MenuManager::rebuildMenu() {
    updateStatusIcon();
    statusItem_->setMenu(
        buildMenu(channels_, menuState(), *services_.strings, {weakSelf(), updaterController_}));
}

// The truth the menu shows, read afresh for every build.
MenuState MenuManager::menuState() {
    MenuState state;
    if (const auto& current = audioPlayer_->currentChannel()) {
        state.currentChannelId = current->id();
    }
    state.slotIds = hotkeyManager_->channelIds();
    for (int slot = 0; slot < HotkeyManager::slotCount; ++slot) {
        state.slotKeys.push_back(hotkeyManager_->keyBindingForSlot(slot));
    }
    state.canEditKeys = hotkeyManager_->canEditKeyBindings();
    state.launchAtLogin = services_.loginItems->status() == LoginItemService::statusEnabled;
    return state;
}

// A menu that a later change replaces before anyone could see it is not built:
// a flood of media commands or menu events costs one rebuild, not one each.
void MenuManager::setNeedsRebuild() {
    if (!services_.runWhenIdle) {
        rebuildMenu();
        return;
    }
    if (rebuildPending_) {
        return;
    }
    rebuildPending_ = true;
    services_.runWhenIdle([weak = self_] {
        if (auto strong = weak.lock()) {
            strong->rebuildPending_ = false;
            strong->rebuildMenu();
        }
    });
}

// A binding to an id that names no station (a hand edit, a station that was
// renamed) would make its key do nothing without a word.
void MenuManager::reportSlotsBoundToNoStation() {
    if (!services_.problems) {
        return;
    }
    for (int slot = 0; slot < HotkeyManager::slotCount; ++slot) {
        const std::optional<std::string> id = hotkeyManager_->channelIdForSlot(slot);
        if (id && !findChannelIndex(channels_, *id)) {
            const std::string text = services_.strings->localizedString("slot_bound_to_no_station");
            services_.problems->report(
                fillIn(fillIn(text, slotKeyName(hotkeyManager_->keyBindingForSlot(slot), slot,
                                                *services_.strings)),
                       *id));
        }
    }
}

// A key another program grabbed first plays nothing here, and started at login
// the program has nobody reading its stderr.
void MenuManager::reportKeysHeldElsewhere(const std::vector<int>& slots) {
    std::vector<int> held;
    std::copy_if(slots.begin(), slots.end(), std::back_inserter(held),
                 [this](int slot) { return hotkeyManager_->keyHeldElsewhere(slot); });
    if (held.empty() || !services_.problems) {
        return;
    }
    std::string keys;
    for (int slot : held) {
        keys += (keys.empty() ? "" : ", ") + hotkeyManager_->keyName(slot);
    }
    LocalizedStrings& strings = *services_.strings;
    services_.problems->report(
        held.size() == 1 ? fillIn(fillIn(strings.localizedString("key_held_elsewhere"), keys),
                                  std::to_string(held.front() + 1))
                         : fillIn(strings.localizedString("keys_held_elsewhere"), keys));
}

// A listener who opens the menu is about to choose: the connections the choice
// needs are opened while they read. The whole menu offers the current station
// and the shortcut stations; a network's submenu offers its stations.
void MenuManager::menuOpening(const Menu& opening) {
    if (!services_.warmer) {
        return;
    }
    std::vector<std::string> urls;
    auto add = [&](const std::optional<std::string>& id) {
        if (const auto index = id ? findChannelIndex(channels_, *id) : std::nullopt) {
            urls.push_back(channels_[*index].streamURL().toString());
        }
    };
    if (&opening == statusItem_->menu()) {
        const auto& current = audioPlayer_->currentChannel();
        add(current ? std::optional(current->id()) : std::nullopt);
        for (int slot = 0; slot < HotkeyManager::slotCount; ++slot) {
            add(hotkeyManager_->channelIdForSlot(slot));
        }
    } else {
        for (const auto& item : opening.items()) {
            if (item->action() == "channelSelected:" &&
                std::size_t(item->tag()) < channels_.size()) {
                add(channels_[std::size_t(item->tag())].id());
            }
        }
    }
    services_.warmer->warm(urls);
}

// The listener chose, or chose nothing: no connection is kept ready for them any more.
void MenuManager::menuDidClose() {
    if (services_.warmer) {
        services_.warmer->menuDidClose();
    }
}

// --- Actions ----------------------------------------------------------------

void MenuManager::channelSelected(const MenuItem& sender) {
    const int index = sender.tag();
    if (index < 0 || static_cast<std::size_t>(index) >= channels_.size()) {
        return;
    }
    chooseStation(*audioPlayer_, channels_[index]);
}

void MenuManager::assignHotkey(const MenuItem& sender) {
    const int tag = sender.tag();
    const int slot = tag / slotTagMultiplier;
    const int stationPart = tag - slot * slotTagMultiplier;
    // Tags the menu never makes (negative, or naming no station) are ignored.
    if (tag < 0 || slot >= HotkeyManager::slotCount ||
        static_cast<std::size_t>(stationPart) > channels_.size()) {
        return;
    }
    std::optional<std::string> id;
    if (stationPart != 0) {
        id = channels_[stationPart - 1].id();
    }
    const bool saved = hotkeyManager_->setChannelForSlot(id, slot);
    reportSaved("shortcut_not_saved", saved, services_.settings->lastWriteProblem());
    reportKeysHeldElsewhere({slot});
    setNeedsRebuild(); // shows what is really stored
}

void MenuManager::hotkeyTriggered(int slot) {
    const std::optional<std::string> id = hotkeyManager_->channelIdForSlot(slot);
    if (!id) {
        return;
    }
    const std::optional<std::size_t> index = findChannelIndex(channels_, *id);
    if (!index) {
        return;
    }
    chooseStation(*audioPlayer_, channels_[*index]);
}

void MenuManager::toggleLaunchAtLogin() {
    LoginItemService& loginItems = *services_.loginItems;
    const bool changed = loginItems.status() == LoginItemService::statusEnabled
                             ? loginItems.unregisterApplication()
                             : loginItems.registerApplication();
    reportSaved("login_item_not_changed", changed, loginItems.lastProblem());
    setNeedsRebuild(); // the check mark shows what the service reports
}

void MenuManager::reportSaved(const std::string& whatKey, bool saved, const std::string& problem) {
    if (!services_.problems) {
        return;
    }
    if (saved) {
        services_.problems->settle(whatKey);
    } else {
        services_.problems->tell({.topic = whatKey,
                                  .title = services_.strings->localizedString(whatKey),
                                  .body = problem});
    }
}

// --- The picture ------------------------------------------------------------

void MenuManager::updateStatusIcon() {
    StatusButton* button = statusItem_->button();
    if (button == nullptr) {
        return;
    }
    button->setImage(menuBarIcon(flag));
    if (const auto& current = audioPlayer_->currentChannel()) {
        button->setTitle(" " + current->name());
        button->setFont(Font{services_.graphics->smallSystemFontSize()});
    } else {
        button->setTitle("");
    }
    button->setToolTip(statusToolTip());
}

// The station, and what it plays or why it is silent: "NDR 2" with "the
// server answered 404", or with "Artist - Song".
StatusToolTip MenuManager::statusToolTip() {
    const auto& current = audioPlayer_->currentChannel();
    if (!current) {
        return {};
    }
    std::string condition;
    if (audioPlayer_->streamCondition() == AudioPlayer::StreamCondition::connecting) {
        condition = services_.strings->localizedString("connecting");
    } else if (audioPlayer_->streamCondition() == AudioPlayer::StreamCondition::reconnecting) {
        condition = services_.strings->localizedString("reconnecting");
    } else if (const auto& failure = audioPlayer_->streamFailure()) {
        condition = describeStationFailure(*failure, *current, *services_.strings,
                                           services_.streamAddressHelp);
    } else if (audioPlayer_->isPlaying()) {
        condition = audioPlayer_->streamTitle();
    }
    return {.station = current->name(), .detail = condition};
}

std::vector<Rect> MenuManager::menuBarIconParts(const std::string& flagText) {
    const StatusPictureLayout layout = statusPictureLayout(*services_.graphics, flagText);
    return {layout.symbol, layout.flag};
}

std::shared_ptr<Image> MenuManager::menuBarIcon(const std::string& flagText) {
    return drawStatusPicture(*services_.graphics, flagText, antennaSymbolName);
}

} // namespace tunora
