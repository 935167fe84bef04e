#include "MenuTestFixture.h"

namespace tunora {
namespace {

class MenuConstruction : public MenuTestFixture {};

TEST_F(MenuConstruction, TopLevelLayout) {
    start();
    std::vector<std::string> titles;
    for (const auto& item : menu().items()) {
        titles.push_back(item->isSeparator() ? "---" : item->title());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Ondoria", "Ondo Kultur", "Ondo Nova", "---", "NDR",
                                                "WDR", "BR", "HR", "SWR", "MDR", "rbb", "---",
                                                "[launch_at_login]", "[keyboard_shortcuts]",
                                                "[check_for_updates]", "---", "[quit]"}));
    const std::map<std::string, std::size_t> counts = {{"NDR", 9}, {"WDR", 5}, {"BR", 6}, {"HR", 6},
                                                       {"SWR", 7}, {"MDR", 7}, {"rbb", 6}};
    for (const auto& [network, count] : counts) {
        const MenuItem& heading = find(menu(), network);
        EXPECT_FALSE(heading.action());
        ASSERT_NE(heading.submenu(), nullptr);
        EXPECT_EQ(heading.submenu()->items().size(), count) << network;
    }
    const MenuItem& quit = find(menu(), "[quit]");
    EXPECT_EQ(quit.action(), "terminate:");
    EXPECT_FALSE(quit.target()) << "Quit goes to the application";
    EXPECT_EQ(quit.keyEquivalent(), "q");
    EXPECT_EQ(quit.keyEquivalentModifierMask(), commandKeyMask);

    choose(find(menu(), "[check_for_updates]"));
    EXPECT_EQ(updater->actions, (std::vector<std::string>{"checkForUpdates:"}));
    EXPECT_EQ(updateControllersMade, 1);
    choose(quit);
    EXPECT_EQ(application.terminated, 1);
}

TEST_F(MenuConstruction, StationItemsCarryTheirIndexAndShortcutHint) {
    start(); // seeds Alt+1..3 with the national stations
    const MenuItem& ondoNova = find(menu(), "Ondo Nova");
    EXPECT_EQ(ondoNova.tag(), 2);
    EXPECT_EQ(ondoNova.action(), "channelSelected:");
    EXPECT_EQ(ondoNova.keyEquivalent(), "3");
    EXPECT_EQ(ondoNova.keyEquivalentModifierMask(), optionKeyMask);
    const MenuItem& fritz = find(menu(), "Fritz");
    EXPECT_EQ(fritz.tag(), 45);
    EXPECT_EQ(fritz.keyEquivalent(), "");
    EXPECT_FALSE(fritz.hasState()) << "no toggle on a station that is not current";
}

TEST_F(MenuConstruction, SlotMenusShowBindingsAndEncodeTags) {
    settings->arrays["hotkeyChannels"] = {"ndr2", "", "no_such_station", "", ""};
    start();
    std::vector<std::string> titles;
    for (const auto& item : shortcuts().items()) {
        titles.push_back(item->title());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"\u23251: NDR 2", "\u23252: [hotkey_none]",
                                                "\u23253: [hotkey_none]", "\u23254: [hotkey_none]",
                                                "\u23255: [hotkey_none]"}));
    const Menu& first = slotMenu(0);
    ASSERT_EQ(first.items().size(), 2u + 49u);
    EXPECT_EQ(first.items()[0]->title(), "[hotkey_none]");
    EXPECT_FALSE(first.items()[0]->hasState());
    EXPECT_TRUE(first.items()[1]->isSeparator());
    EXPECT_EQ(first.items()[2 + 3]->title(), "NDR 2");
    EXPECT_EQ(first.items()[2 + 3]->state(), MenuItem::stateOn);

    const Menu& third = slotMenu(2); // bound to an id no station has
    EXPECT_EQ(third.items()[0]->tag(), 200000);
    EXPECT_FALSE(third.items()[0]->hasState());
    EXPECT_EQ(third.items()[2]->tag(), 200001);
    for (std::size_t i = 2; i < third.items().size(); ++i) {
        EXPECT_FALSE(third.items()[i]->hasState());
    }
    EXPECT_EQ(slotMenu(1).items()[0]->state(), MenuItem::stateOn);
}

TEST_F(MenuConstruction, LaunchAtLoginShowsOnlyStatusOneAsOn) {
    for (int status : {0, 1, 2, 3}) {
        loginItems->currentStatus = status;
        start();
        EXPECT_EQ(find(menu(), "[launch_at_login]").state(),
                  status == 1 ? MenuItem::stateOn : MenuItem::stateOff)
            << status;
    }
}

TEST_F(MenuConstruction, EveryRebuildMakesANewMenu) {
    start();
    const Menu* first = statusItem->current.get();
    chooseStation("WDR 2");
    EXPECT_NE(statusItem->current.get(), first);
    EXPECT_EQ(statusItem->menusSet, 2);
}

} // namespace
} // namespace tunora
