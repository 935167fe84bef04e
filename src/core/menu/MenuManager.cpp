#include "core/menu/MenuManager.h"

#include "core/menu/StationStep.h"
#include "core/playback/StreamFailureText.h"

#include <cmath>

namespace tunora {

MenuManager::MenuManager(std::shared_ptr<StatusItem> statusItem,
                         std::shared_ptr<AudioPlayer> audioPlayer, Services services)
    : hotkeyManager_(HotkeyManager::create(services.settings, services.hotkeyEvents)),
      channels_(OndoChannel::allChannels()), statusItem_(std::move(statusItem)),
      audioPlayer_(std::move(audioPlayer)),
      updaterController_(services.makeUpdateController ? services.makeUpdateController() : nullptr),
      services_(std::move(services)) {}

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
    manager->installRemoteCommands();
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
    hotkeyManager_->setDefaults({"ondo", "ondo_kultur", "ondo_nova"});
    reportSlotsBoundToNoStation();
    rebuildMenu();
    openInstanceCommands();
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
    auto menu = std::make_unique<Menu>();
    for (const OndoChannel& channel : OndoChannel::nationalChannels()) {
        menu->addItem(channelMenuItem(channel));
    }
    menu->addItem(MenuItem::separatorItem());

    for (Network network : OndoChannel::regionalNetworks()) {
        const std::vector<OndoChannel> stations = OndoChannel::channels(network);
        if (stations.empty()) {
            continue;
        }
        auto heading =
            std::make_unique<MenuItem>(std::string(network.rawValue()), std::nullopt, "");
        auto submenu = std::make_unique<Menu>();
        for (const OndoChannel& channel : stations) {
            submenu->addItem(channelMenuItem(channel));
        }
        heading->setSubmenu(std::move(submenu));
        menu->addItem(std::move(heading));
    }
    menu->addItem(MenuItem::separatorItem());

    auto launchAtLogin = std::make_unique<MenuItem>(
        services_.strings->localizedString("launch_at_login"), "toggleLaunchAtLogin", "");
    launchAtLogin->setTarget(weakSelf());
    launchAtLogin->setState(services_.loginItems->status() == LoginItemService::statusEnabled
                                ? MenuItem::stateOn
                                : MenuItem::stateOff);
    menu->addItem(std::move(launchAtLogin));

    menu->addItem(hotkeySubmenuItem());

    auto checkForUpdates = std::make_unique<MenuItem>(
        services_.strings->localizedString("check_for_updates"), "checkForUpdates:", "");
    checkForUpdates->setTarget(updaterController_);
    menu->addItem(std::move(checkForUpdates));
    menu->addItem(MenuItem::separatorItem());

    // No target: the application ends the program.
    menu->addItem(
        std::make_unique<MenuItem>(services_.strings->localizedString("quit"), "terminate:", "q"));

    statusItem_->setMenu(std::move(menu));
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

std::unique_ptr<MenuItem> MenuManager::hotkeySubmenuItem() {
    const std::string none = services_.strings->localizedString("hotkey_none");
    auto shortcutsItem = std::make_unique<MenuItem>(
        services_.strings->localizedString("keyboard_shortcuts"), std::nullopt, "");
    auto shortcuts = std::make_unique<Menu>();
    for (int slot = 0; slot < HotkeyManager::slotCount; ++slot) {
        const std::optional<std::string> id = hotkeyManager_->channelIdForSlot(slot);
        const std::optional<std::size_t> bound =
            id ? findChannelIndex(channels_, *id) : std::nullopt;
        const std::string slotName = bound ? channels_[*bound].name() : none;

        auto slotItem =
            std::make_unique<MenuItem>(slotKeyName(slot) + ": " + slotName, std::nullopt, "");
        auto slotMenu = std::make_unique<Menu>();

        auto clear = std::make_unique<MenuItem>(none, "assignHotkey:", "");
        clear->setTarget(weakSelf());
        clear->setTag(slot * slotTagMultiplier);
        if (!id) {
            clear->setState(MenuItem::stateOn);
        }
        slotMenu->addItem(std::move(clear));
        slotMenu->addItem(MenuItem::separatorItem());

        for (std::size_t index = 0; index < channels_.size(); ++index) {
            auto entry = std::make_unique<MenuItem>(channels_[index].name(), "assignHotkey:", "");
            entry->setTarget(weakSelf());
            entry->setTag(slot * slotTagMultiplier + static_cast<int>(index) + 1);
            if (id && *id == channels_[index].id()) {
                entry->setState(MenuItem::stateOn);
            }
            slotMenu->addItem(std::move(entry));
        }
        slotItem->setSubmenu(std::move(slotMenu));
        shortcuts->addItem(std::move(slotItem));
    }
    if (hotkeyManager_->canEditKeyBindings()) {
        auto edit = std::make_unique<MenuItem>(
            services_.strings->localizedString("edit_hotkey_bindings"), "editHotkeyBindings", "");
        edit->setTarget(weakSelf());
        shortcuts->addItem(std::move(edit));
    }
    shortcutsItem->setSubmenu(std::move(shortcuts));
    return shortcutsItem;
}

// The key that plays a slot as the desktop names it ("Alt+1", "Ctrl+Alt+1"), or
// "Shortcut 1" while no key does.
std::string MenuManager::slotKeyName(int slot) {
    const HotKeyBinding binding = hotkeyManager_->keyBindingForSlot(slot);
    if (!binding.description.empty()) {
        return binding.description;
    }
    return fillIn(services_.strings->localizedString("hotkey_slot"), std::to_string(slot + 1));
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
            services_.problems->report(fillIn(fillIn(text, slotKeyName(slot)), *id));
        }
    }
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

std::unique_ptr<MenuItem> MenuManager::channelMenuItem(const OndoChannel& channel) {
    auto item = std::make_unique<MenuItem>(channel.name(), "channelSelected:", "");
    item->setTarget(weakSelf());
    item->setTag(static_cast<int>(findChannelIndex(channels_, channel.id()).value_or(0)));
    // Only the current station carries a check; the others show no toggle at
    // all, so the menu reads as a list of stations rather than of settings.
    if (const auto& current = audioPlayer_->currentChannel();
        current && current->id() == channel.id()) {
        item->setState(MenuItem::stateOn);
    }
    if (const std::optional<int> slot = hotkeyManager_->slotForChannelId(channel.id())) {
        setKeyEquivalent(*item, hotkeyManager_->keyBindingForSlot(*slot));
    }
    return item;
}

// The bound key as the item's key hint, when a menu can show it: menus have no
// sign for the Super key, and no hint beats a wrong one.
void MenuManager::setKeyEquivalent(MenuItem& item, const HotKeyBinding& binding) {
    if (binding.key.empty() || (binding.modifiers & cmdKey)) {
        return;
    }
    std::uint32_t mask = 0;
    const std::pair<std::uint32_t, std::uint32_t> masks[] = {
        {optionKey, optionKeyMask}, {controlKey, controlKeyMask}, {shiftKey, shiftKeyMask}};
    for (const auto& [bit, keyMask] : masks) {
        if (binding.modifiers & bit) {
            mask |= keyMask;
        }
    }
    item.setKeyEquivalent(binding.key);
    item.setKeyEquivalentModifierMask(mask);
}

// --- Actions ----------------------------------------------------------------

void MenuManager::channelSelected(const MenuItem& sender) {
    const int index = sender.tag();
    if (index < 0 || static_cast<std::size_t>(index) >= channels_.size()) {
        return;
    }
    playOrToggle(channels_[index]);
}

void MenuManager::playOrToggle(const OndoChannel& channel) {
    const auto& current = audioPlayer_->currentChannel();
    if (!current || current->id() != channel.id()) {
        audioPlayer_->play(channel);
    } else if (audioPlayer_->isPlaying()) {
        audioPlayer_->pause();
    } else {
        audioPlayer_->resume();
    }
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
    playOrToggle(channels_[*index]);
}

// --- Commands from outside the menu --------------------------------------------

void MenuManager::installRemoteCommands() {
    if (!services_.remoteCommands) {
        return;
    }
    using Status = RemoteCommandHandlerStatus;
    for (const auto& [command, step] :
         {std::pair{RemoteCommand::nextTrack, 1}, std::pair{RemoteCommand::previousTrack, -1}}) {
        services_.remoteCommands->addHandler(command, [weak = self_, step = step] {
            auto strong = weak.lock();
            return strong && strong->stepStation(step) ? Status::success : Status::commandFailed;
        });
    }
}

void MenuManager::openInstanceCommands() {
    if (!services_.instanceCommands) {
        return;
    }
    using Status = RemoteCommandHandlerStatus;
    auto result = [](bool done) { return done ? Status::success : Status::commandFailed; };
    services_.instanceCommands->open({
        .selectChannel =
            [weak = self_, result](const std::string& id) {
                auto strong = weak.lock();
                return result(strong && strong->selectChannel(id));
            },
        .pressSlot =
            [weak = self_, result](int slot) {
                auto strong = weak.lock();
                return result(strong && strong->pressSlot(slot));
            },
        .status =
            [weak = self_] {
                auto strong = weak.lock();
                return strong ? strong->playerStatus() : PlayerStatus{};
            },
    });
}

// As choosing the station's item in the menu.
bool MenuManager::selectChannel(const std::string& id) {
    const std::optional<std::size_t> index = findChannelIndex(channels_, id);
    if (!index) {
        return false;
    }
    playOrToggle(channels_[*index]);
    return true;
}

// As pressing the slot's hot key; false when the press would find no station.
bool MenuManager::pressSlot(int slot) {
    if (slot < 0 || slot >= HotkeyManager::slotCount) {
        return false;
    }
    const std::optional<std::string> id = hotkeyManager_->channelIdForSlot(slot);
    if (!id || !findChannelIndex(channels_, *id)) {
        return false;
    }
    hotkeyManager_->handleHotkey(slot);
    return true;
}

// Next and Previous: from the current station to the one steppedChannelIndex
// names, as choosing it in the menu. A step always ends with the target playing:
// a step that lands on the current station (one preset) resumes it when paused
// and leaves it playing rather than pausing it as a second click would.
bool MenuManager::stepStation(int step) {
    const auto& current = audioPlayer_->currentChannel();
    if (!current) {
        return false; // nothing to step from
    }
    std::vector<std::optional<std::string>> slotIds;
    for (int slot = 0; slot < HotkeyManager::slotCount; ++slot) {
        slotIds.push_back(hotkeyManager_->channelIdForSlot(slot));
    }
    const std::optional<std::size_t> target =
        steppedChannelIndex(channels_, slotIds, current->id(), step);
    if (!target) {
        return false;
    }
    if (channels_[*target].id() == current->id() && audioPlayer_->isPlaying()) {
        return true;
    }
    playOrToggle(channels_[*target]);
    return true;
}

PlayerStatus MenuManager::playerStatus() const {
    PlayerStatus status;
    if (const auto& current = audioPlayer_->currentChannel()) {
        status.state =
            audioPlayer_->isPlaying() ? PlayerStatus::State::playing : PlayerStatus::State::paused;
        status.channelId = current->id();
        status.channelName = current->name();
        status.songTitle = audioPlayer_->streamTitle();
    }
    return status;
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
    if (audioPlayer_->streamCondition() == AudioPlayer::StreamCondition::reconnecting) {
        condition = services_.strings->localizedString("reconnecting");
    } else if (const auto& failure = audioPlayer_->streamFailure()) {
        condition = describeStreamFailure(*failure, *services_.strings);
    } else if (audioPlayer_->isPlaying()) {
        condition = audioPlayer_->streamTitle();
    }
    return {.station = current->name(), .detail = condition};
}

std::vector<Rect> MenuManager::menuBarIconParts(const std::string& flagText) {
    const Size flagSize = services_.graphics->sizeOfText(flagText, Font{14.0});
    const double height = flagSize.height <= 12.0 ? 12.0 : flagSize.height;
    return {{flagSize.width + 2.0, (height - 12.0) * 0.5, 12.0, 12.0},
            {0.0, (height - flagSize.height) * 0.5, flagSize.width, flagSize.height}};
}

std::shared_ptr<Image> MenuManager::menuBarIcon(const std::string& flagText) {
    Graphics& graphics = *services_.graphics;
    const Font font{14.0};
    const Size flagSize = graphics.sizeOfText(flagText, font);
    const std::shared_ptr<Image> symbol = graphics.imageWithSystemSymbolName(antennaSymbolName);
    const double height = flagSize.height <= 12.0 ? 12.0 : flagSize.height;
    std::shared_ptr<Image> image = graphics.makeImage({flagSize.width + 14.0, height});
    image->lockFocus();
    image->drawText(flagText, {0.0, (height - flagSize.height) * 0.5}, font);
    if (symbol) {
        image->drawImage(*symbol, {flagSize.width + 2.0, (height - 12.0) * 0.5, 12.0, 12.0});
    }
    image->unlockFocus();
    image->setTemplate(false);
    return image;
}

} // namespace tunora
