#include "core/menu/MenuModel.h"

#include "fakes/FakeToolkit.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

std::vector<std::string> titles(const Menu& menu) {
    std::vector<std::string> result;
    for (const auto& item : menu.items()) {
        result.push_back(item->isSeparator() ? "-" : item->title());
    }
    return result;
}

// The menu is a picture of the state alone: no manager, player or store needed.
TEST(MenuModel, ShowsAStateWhole) {
    fakes::FakeStrings strings;
    strings.texts = {{"hotkey_slot", "Shortcut {}"}, {"hotkey_none", "None"}};
    const auto& channels = OndoChannel::allChannels();
    MenuState state;
    state.currentChannelId = "fritz";
    state.slotIds = {"", "fritz", "gone_station", "fritz", "", "wdr5"}; // a sixth slot, hand-made
    state.slotKeys = {{},
                      {"Ctrl+Alt+2", "2", controlKey | optionKey},
                      {},
                      {"Alt+4", "4", optionKey},
                      {"Super+5", "5", cmdKey}};
    state.canEditKeys = true;
    state.launchAtLogin = true;
    const auto menu = buildMenu(channels, state, strings, {});

    EXPECT_EQ(titles(*menu), (std::vector<std::string>{
                                 "Ondoria", "Ondo Kultur", "Ondo Nova", "-", "NDR", "WDR", "BR",
                                 "HR", "SWR", "MDR", "rbb", "-", "[launch_at_login]",
                                 "[keyboard_shortcuts]", "[check_for_updates]", "-", "[quit]"}));
    EXPECT_EQ(menu->items()[12]->state(), MenuItem::stateOn);
    const MenuItem& fritz = *menu->items()[10]->submenu()->items()[2];
    EXPECT_EQ(fritz.title(), "Fritz");
    EXPECT_EQ(fritz.tag(), 45);
    EXPECT_EQ(fritz.state(), MenuItem::stateOn) << "the current station";
    EXPECT_EQ(fritz.keyEquivalent(), "2") << "the lower of its two slots";
    EXPECT_EQ(fritz.keyEquivalentModifierMask(), controlKeyMask | optionKeyMask);
    EXPECT_FALSE(menu->items()[0]->hasState()) << "no toggle on the other stations";
    EXPECT_EQ(menu->items()[5]->submenu()->items()[4]->keyEquivalent(), "") << "WDR 5: slot 6";

    const Menu& shortcuts = *menu->items()[13]->submenu();
    EXPECT_EQ(titles(shortcuts), (std::vector<std::string>{
                                     "Shortcut 1: None", "Ctrl+Alt+2: Fritz", "Shortcut 3: None",
                                     "Alt+4: Fritz", "Super+5: None", "[edit_hotkey_bindings]"}));
    const Menu& slot2 = *shortcuts.items()[1]->submenu();
    EXPECT_FALSE(slot2.items()[0]->hasState());
    EXPECT_EQ(slot2.items()[2 + 45]->state(), MenuItem::stateOn);
    EXPECT_EQ(slot2.items()[2 + 45]->tag(), 1 * slotTagMultiplier + 45 + 1);
    EXPECT_EQ(shortcuts.items()[4]->submenu()->items()[0]->state(), MenuItem::stateOn);
}

} // namespace
} // namespace tunora
