#include "core/menu/MenuModel.h"

#include <algorithm>

namespace tunora {
namespace {

// Builds one menu from one state; each part of the menu is one method.
class MenuBuilder {
  public:
    MenuBuilder(const std::vector<OndoChannel>& channels, const MenuState& state,
                LocalizedStrings& strings, const MenuTargets& targets)
        : channels_(channels), state_(state), strings_(strings), targets_(targets) {}

    std::unique_ptr<Menu> menu() {
        auto menu = std::make_unique<Menu>();
        for (const OndoChannel& channel : OndoChannel::nationalChannels()) {
            menu->addItem(channelItem(channel));
        }
        menu->addItem(MenuItem::separatorItem());
        for (Network network : OndoChannel::regionalNetworks()) {
            if (auto heading = networkItem(network)) {
                menu->addItem(std::move(heading));
            }
        }
        menu->addItem(MenuItem::separatorItem());

        auto launchAtLogin = std::make_unique<MenuItem>(strings_.localizedString("launch_at_login"),
                                                        "toggleLaunchAtLogin", "");
        launchAtLogin->setTarget(targets_.manager);
        launchAtLogin->setState(state_.launchAtLogin ? MenuItem::stateOn : MenuItem::stateOff);
        menu->addItem(std::move(launchAtLogin));

        menu->addItem(shortcutsItem());

        auto checkForUpdates = std::make_unique<MenuItem>(
            strings_.localizedString("check_for_updates"), "checkForUpdates:", "");
        checkForUpdates->setTarget(targets_.updater);
        menu->addItem(std::move(checkForUpdates));
        menu->addItem(MenuItem::separatorItem());

        // No target: the application ends the program.
        menu->addItem(
            std::make_unique<MenuItem>(strings_.localizedString("quit"), "terminate:", "q"));
        return menu;
    }

  private:
    std::unique_ptr<MenuItem> networkItem(Network network) {
        const std::vector<OndoChannel> stations = OndoChannel::channels(network);
        if (stations.empty()) {
            return nullptr;
        }
        auto heading =
            std::make_unique<MenuItem>(std::string(network.rawValue()), std::nullopt, "");
        auto submenu = std::make_unique<Menu>();
        for (const OndoChannel& channel : stations) {
            submenu->addItem(channelItem(channel));
        }
        heading->setSubmenu(std::move(submenu));
        return heading;
    }

    std::unique_ptr<MenuItem> channelItem(const OndoChannel& channel) {
        auto item = std::make_unique<MenuItem>(channel.name(), "channelSelected:", "");
        item->setTarget(targets_.manager);
        item->setTag(static_cast<int>(findChannelIndex(channels_, channel.id()).value_or(0)));
        // Only the current station carries a check; the others show no toggle at
        // all, so the menu reads as a list of stations rather than of settings.
        if (state_.currentChannelId == channel.id()) {
            item->setState(MenuItem::stateOn);
        }
        // The lowest slot bound to the station names its key.
        const auto slot = std::find(state_.slotIds.begin(), state_.slotIds.end(), channel.id());
        if (slot != state_.slotIds.end()) {
            setKeyEquivalent(*item, slotKey(static_cast<int>(slot - state_.slotIds.begin())));
        }
        return item;
    }

    std::unique_ptr<MenuItem> shortcutsItem() {
        const std::string none = strings_.localizedString("hotkey_none");
        auto item = std::make_unique<MenuItem>(strings_.localizedString("keyboard_shortcuts"),
                                               std::nullopt, "");
        auto shortcuts = std::make_unique<Menu>();
        for (int slot = 0; slot < static_cast<int>(state_.slotKeys.size()); ++slot) {
            shortcuts->addItem(slotItem(slot, none));
        }
        if (state_.canEditKeys) {
            auto edit = std::make_unique<MenuItem>(strings_.localizedString("edit_hotkey_bindings"),
                                                   "editHotkeyBindings", "");
            edit->setTarget(targets_.manager);
            shortcuts->addItem(std::move(edit));
        }
        item->setSubmenu(std::move(shortcuts));
        return item;
    }

    // "Alt+1: NDR 2", with a submenu to clear the slot or bind any station to it.
    std::unique_ptr<MenuItem> slotItem(int slot, const std::string& none) {
        const std::string id =
            std::size_t(slot) < state_.slotIds.size() ? state_.slotIds[slot] : "";
        const std::optional<std::size_t> bound =
            id.empty() ? std::nullopt : findChannelIndex(channels_, id);
        auto item = std::make_unique<MenuItem>(slotKeyName(slotKey(slot), slot, strings_) + ": " +
                                                   (bound ? channels_[*bound].name() : none),
                                               std::nullopt, "");
        auto menu = std::make_unique<Menu>();
        auto clear = std::make_unique<MenuItem>(none, "assignHotkey:", "");
        clear->setTarget(targets_.manager);
        clear->setTag(slot * slotTagMultiplier);
        if (id.empty()) {
            clear->setState(MenuItem::stateOn);
        }
        menu->addItem(std::move(clear));
        menu->addItem(MenuItem::separatorItem());
        for (std::size_t index = 0; index < channels_.size(); ++index) {
            auto entry = std::make_unique<MenuItem>(channels_[index].name(), "assignHotkey:", "");
            entry->setTarget(targets_.manager);
            entry->setTag(slot * slotTagMultiplier + static_cast<int>(index) + 1);
            if (id == channels_[index].id()) {
                entry->setState(MenuItem::stateOn);
            }
            menu->addItem(std::move(entry));
        }
        item->setSubmenu(std::move(menu));
        return item;
    }

    HotKeyBinding slotKey(int slot) const {
        return std::size_t(slot) < state_.slotKeys.size() ? state_.slotKeys[slot] : HotKeyBinding{};
    }

    // The bound key as the item's key hint, when a menu can show it: menus have
    // no sign for the Super key, and no hint beats a wrong one.
    static void setKeyEquivalent(MenuItem& item, const HotKeyBinding& binding) {
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

    const std::vector<OndoChannel>& channels_;
    const MenuState& state_;
    LocalizedStrings& strings_;
    const MenuTargets& targets_;
};

} // namespace

std::unique_ptr<Menu> buildMenu(const std::vector<OndoChannel>& channels, const MenuState& state,
                                LocalizedStrings& strings, const MenuTargets& targets) {
    return MenuBuilder(channels, state, strings, targets).menu();
}

std::string slotKeyName(const HotKeyBinding& key, int slot, LocalizedStrings& strings) {
    if (!key.description.empty()) {
        return key.description;
    }
    return fillIn(strings.localizedString("hotkey_slot"), std::to_string(slot + 1));
}

} // namespace tunora
