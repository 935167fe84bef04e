#include "MenuTestFixture.h"

namespace tunora {
namespace {

using Strings = std::vector<std::string>;

class MenuActions : public MenuTestFixture {
  protected:
    void press(int slot) {
        fakes::FakeHotkeyEventServices::Event event{
            EventHotKeyID{fourCharCode("TUNR"), static_cast<std::uint32_t>(slot)}};
        hotkeyEvents->deliver(&event);
    }
};

TEST_F(MenuActions, TagsTheMenuNeverMakesAreIgnored) {
    start();
    const std::pair<const char*, int> bogus[] = {
        {"channelSelected:", -1}, {"channelSelected:", 49}, {"channelSelected:", 100001},
        {"assignHotkey:", -5},    {"assignHotkey:", 50},    {"assignHotkey:", 100050},
        {"assignHotkey:", 500000}};
    for (const auto& [action, tag] : bogus) {
        MenuItem item("x", action, "");
        item.setTarget(std::static_pointer_cast<ActionTarget>(manager));
        item.setTag(tag);
        choose(item);
    }
    EXPECT_FALSE(player->currentChannel());
    EXPECT_EQ(stored(), (Strings{"ondo", "ondo_kultur", "ondo_nova", "", ""}));
    EXPECT_EQ(statusItem->menusSet, 1);
}

TEST_F(MenuActions, AssigningAndClearingSlots) {
    start();
    choose(*slotMenu(0).items()[2 + 4]); // tag 5: slot 0 -> the station at index 4
    EXPECT_EQ(stored()[0], "ndr_info");
    EXPECT_EQ(shortcuts().items()[0]->title(), "Alt+1: NDR Info");
    EXPECT_EQ(find(menu(), "NDR Info").keyEquivalent(), "1");
    EXPECT_EQ(find(menu(), "Ondoria").keyEquivalent(), "");

    choose(*slotMenu(3).items()[2 + 2]); // Ondo Nova on slot 3 as well
    EXPECT_EQ(find(menu(), "Ondo Nova").keyEquivalent(), "3") << "the lower slot wins";
    choose(*slotMenu(2).items()[0]); // tag 200000 clears slot 2
    EXPECT_EQ(stored(), (Strings{"ndr_info", "ondo_kultur", "", "ondo_nova", ""}));
    EXPECT_EQ(find(menu(), "Ondo Nova").keyEquivalent(), "4");
    EXPECT_EQ(slotMenu(2).items()[0]->state(), MenuItem::stateOn);
}

TEST_F(MenuActions, TheMenuNamesTheKeysTheDesktopReallyBound) {
    start();
    hotkeyEvents->bindings[0] = {"Ctrl+Alt+1", "1", controlKey | optionKey};
    hotkeyEvents->bindings[1] = {"Press F13", "", 0}; // no key hint can say that
    hotkeyEvents->bindings[2] = {};                   // the desktop bound no key
    hotkeyEvents->editable = true;
    hotkeyEvents->changed();
    EXPECT_EQ(statusItem->menusSet, 2);
    EXPECT_EQ(shortcuts().items()[0]->title(), "Ctrl+Alt+1: Ondoria");
    EXPECT_EQ(find(menu(), "Ondoria").keyEquivalentModifierMask(), controlKeyMask | optionKeyMask);
    EXPECT_EQ(shortcuts().items()[1]->title(), "Press F13: Ondo Kultur");
    EXPECT_EQ(find(menu(), "Ondo Kultur").keyEquivalent(), "");
    EXPECT_EQ(shortcuts().items()[2]->title(), "[hotkey_slot]: Ondo Nova");
    EXPECT_EQ(find(menu(), "Ondo Nova").keyEquivalent(), "");

    ASSERT_EQ(shortcuts().items().size(), 6u);
    choose(*shortcuts().items()[5]);
    EXPECT_EQ(hotkeyEvents->edits, 1);
}

TEST_F(MenuActions, HotkeysOfEmptyUnknownOrMissingSlotsDoNothing) {
    settings->arrays["hotkeyChannels"] = {"fritz", "swr3", "", "gone_station", ""};
    start();
    press(1);
    const int rebuilds = statusItem->menusSet;
    for (int slot : {2, 3, 7}) { // empty, unknown id, beyond the list
        press(slot);
    }
    EXPECT_EQ(player->currentChannel()->id(), "swr3");
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(statusItem->menusSet, rebuilds);

    choose(*slotMenu(1).items()[2 + 13]); // rebind slot 1 to WDR 2: no new registration
    press(1);
    EXPECT_EQ(player->currentChannel()->id(), "wdr2");
    EXPECT_EQ(hotkeyEvents->registrations, 5);
}

TEST_F(MenuActions, LaunchAtLoginIsCheckedOnlyWhenEnabled) {
    for (int status : {2, 3}) { // requires approval, not found
        loginItems->currentStatus = status;
        start();
        EXPECT_EQ(find(menu(), "[launch_at_login]").state(), MenuItem::stateOff) << status;
    }
}

TEST_F(MenuActions, AnItemWithoutButtonStillGetsItsMenu) {
    statusItem = std::make_shared<fakes::FakeStatusItem>(/*withButton=*/false);
    start();
    EXPECT_EQ(statusItem->menusSet, 1);
    chooseStation("Fritz");
    EXPECT_EQ(player->currentChannel()->id(), "fritz");
}

TEST_F(MenuActions, CallbacksDoNothingOnceTheManagerIsGone) {
    start();
    manager.reset();
    player->play(OndoChannel::allChannels()[0]);
    press(1);
    EXPECT_EQ(player->currentChannel()->id(), "ondo");
    EXPECT_EQ(statusItem->menusSet, 1);
}

} // namespace
} // namespace tunora
