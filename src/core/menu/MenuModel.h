#pragma once

#include "core/catalogue/OndoChannel.h"
#include "platform/HotkeyEventServices.h"
#include "platform/LocalizedStrings.h"
#include "platform/toolkit/Menu.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// Everything the menu shows, read once for one build.
struct MenuState {
    std::optional<std::string> currentChannelId;
    // The station id bound to each slot, as stored ("" for a free slot); the
    // list may be longer than the five slots the menu edits.
    std::vector<std::string> slotIds;
    // The key that plays each of the five slots, as the desktop bound it.
    std::vector<HotKeyBinding> slotKeys;
    bool canEditKeys = false;
    bool launchAtLogin = false;
};

// Where the menu's actions go; Quit goes to the application.
struct MenuTargets {
    std::weak_ptr<ActionTarget> manager;
    std::weak_ptr<ActionTarget> updater;
};

// A slot-submenu entry's tag: slot * slotTagMultiplier + (station index + 1),
// or slot * slotTagMultiplier for the entry that clears the slot.
inline constexpr int slotTagMultiplier = 100000;

// The whole menu for a state: the national stations, a submenu per regional
// network (a check on the current station, the key that plays each station as
// its key hint), Launch at Login, Keyboard Shortcuts, the update check and Quit.
// A station item's tag is its index in channels.
std::unique_ptr<Menu> buildMenu(const std::vector<OndoChannel>& channels, const MenuState& state,
                                LocalizedStrings& strings, const MenuTargets& targets);

// The key that plays a slot as the desktop names it ("Alt+1", "Ctrl+Alt+1"), or
// "Shortcut 1" while no key does.
std::string slotKeyName(const HotKeyBinding& key, int slot, LocalizedStrings& strings);

} // namespace tunora
