#include "MenuTestFixture.h"

namespace tunora {
namespace {

using Strings = std::vector<std::string>;

class MenuActions : public MenuTestFixture {
  protected:
    std::vector<std::string> checkedStations() {
        std::vector<std::string> checked;
        collectChecked(menu(), checked);
        return checked;
    }
    // Station items with a check mark, outside the shortcut menus.
    static void collectChecked(const Menu& in, std::vector<std::string>& out) {
        for (const auto& item : in.items()) {
            if (item->action() == "channelSelected:" && item->state() == MenuItem::stateOn) {
                out.push_back(item->title());
            }
            if (item->submenu() != nullptr && item->title() != "[keyboard_shortcuts]") {
                collectChecked(*item->submenu(), out);
            }
        }
    }
    void press(int slot) {
        fakes::FakeHotkeyEventServices::Event event{
            EventHotKeyID{fourCharCode("TUNR"), static_cast<std::uint32_t>(slot)}};
        hotkeyEvents->deliver(&event);
    }
};

TEST_F(MenuActions, ChoosingAStationPlaysPausesAndResumes) {
    start();
    chooseStation("NDR 2");
    EXPECT_EQ(player->currentChannel()->id(), "ndr2");
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(checkedStations(), Strings{"NDR 2"});
    EXPECT_EQ(statusItem->statusButton.title, " NDR 2");

    chooseStation("NDR 2");
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(nowPlaying->state, PlaybackState::paused);
    EXPECT_EQ(checkedStations(), Strings{"NDR 2"}) << "the check mark stays while paused";
    EXPECT_EQ(statusItem->statusButton.title, " NDR 2");

    chooseStation("NDR 2");
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(streamFactory->made, 1) << "resume continues the same stream";

    chooseStation("WDR 5");
    EXPECT_EQ(checkedStations(), Strings{"WDR 5"});
    EXPECT_EQ(statusItem->statusButton.title, " WDR 5");
    EXPECT_EQ(statusItem->menusSet, 5) << "one rebuild per change";
}

TEST_F(MenuActions, StationTagsOutsideTheTableAreIgnored) {
    start();
    for (int tag : {-1, 49, 100001}) {
        MenuItem bogus("x", "channelSelected:", "");
        bogus.setTarget(std::static_pointer_cast<ActionTarget>(manager));
        bogus.setTag(tag);
        choose(bogus);
    }
    EXPECT_FALSE(player->currentChannel());
    EXPECT_EQ(statusItem->menusSet, 1);
}

TEST_F(MenuActions, AssigningAndClearingSlots) {
    start();
    choose(*slotMenu(0).items()[2 + 4]); // tag 5: slot 0 -> the station at index 4
    EXPECT_EQ(stored()[0], "ndr_info");
    EXPECT_EQ(shortcuts().items()[0]->title(), "\u23251: NDR Info");
    EXPECT_EQ(find(menu(), "NDR Info").keyEquivalent(), "1");
    EXPECT_EQ(find(menu(), "Ondoria").keyEquivalent(), "");

    choose(*slotMenu(3).items()[2 + 2]); // Ondo Nova on slot 3 as well
    EXPECT_EQ(find(menu(), "Ondo Nova").keyEquivalent(), "3") << "the lower slot wins";
    choose(*slotMenu(2).items()[0]); // tag 200000 clears slot 2
    EXPECT_EQ(stored(), (Strings{"ndr_info", "ondo_kultur", "", "ondo_nova", ""}));
    EXPECT_EQ(find(menu(), "Ondo Nova").keyEquivalent(), "4");
    EXPECT_EQ(slotMenu(2).items()[0]->state(), MenuItem::stateOn);
}

TEST_F(MenuActions, TagsTheMenuNeverMakesAreIgnored) {
    start();
    const int rebuilds = statusItem->menusSet;
    for (int tag : {-5, 500000, 50, 100050}) {
        MenuItem bogus("x", "assignHotkey:", "");
        bogus.setTarget(std::static_pointer_cast<ActionTarget>(manager));
        bogus.setTag(tag);
        choose(bogus);
    }
    EXPECT_EQ(stored(), (Strings{"ondo", "ondo_kultur", "ondo_nova", "", ""}));
    EXPECT_EQ(statusItem->menusSet, rebuilds);
}

TEST_F(MenuActions, HotkeysPlayToggleAndSwitch) {
    settings->arrays["hotkeyChannels"] = {"fritz", "swr3", "", "gone_station", ""};
    start();
    press(0);
    EXPECT_EQ(player->currentChannel()->id(), "fritz");
    press(0);
    EXPECT_FALSE(player->isPlaying());
    press(0);
    EXPECT_TRUE(player->isPlaying());
    press(1);
    EXPECT_EQ(player->currentChannel()->id(), "swr3");

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
    EXPECT_EQ(hotkeyEvents->registrations.size(), 5u);
}

TEST_F(MenuActions, DefaultsAreSeededOnlyWhileEverySlotIsEmpty) {
    start();
    EXPECT_EQ(stored(), (Strings{"ondo", "ondo_kultur", "ondo_nova", "", ""}));
    settings->arrays["hotkeyChannels"] = {"", "", "", "", "fritz"};
    start();
    EXPECT_EQ(stored(), (Strings{"", "", "", "", "fritz"}));
}

TEST_F(MenuActions, LaunchAtLoginFollowsTheService) {
    start();
    choose(find(menu(), "[launch_at_login]"));
    EXPECT_EQ(loginItems->calls, Strings{"register"});
    EXPECT_EQ(find(menu(), "[launch_at_login]").state(), MenuItem::stateOn);
    choose(find(menu(), "[launch_at_login]"));
    EXPECT_EQ(loginItems->calls, (Strings{"register", "unregister"}));
    EXPECT_EQ(find(menu(), "[launch_at_login]").state(), MenuItem::stateOff);

    loginItems->refuse = true;
    const int rebuilds = statusItem->menusSet;
    choose(find(menu(), "[launch_at_login]"));
    EXPECT_EQ(find(menu(), "[launch_at_login]").state(), MenuItem::stateOff);
    EXPECT_EQ(statusItem->menusSet, rebuilds + 1) << "rebuilt even when refused";
    EXPECT_EQ(notifications->posted, Strings{"[login_item_not_changed]: cannot write x: denied"});
}

TEST_F(MenuActions, ABindingThatCannotBeSavedIsReportedAndNotShown) {
    start();
    settings->refuseWrites = true;
    choose(*slotMenu(3).items()[2 + 4]);
    EXPECT_EQ(notifications->posted,
              Strings{"[shortcut_not_saved]: cannot write defaults.json: disk full"});
    EXPECT_EQ(shortcuts().items()[3]->title(), "\u23254: [hotkey_none]")
        << "the menu shows what is stored";
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
