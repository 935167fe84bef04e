#include "MenuTestFixture.h"

#include "core/menu/DefaultSlots.h"

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
    // The bindings a first start makes where the national stations have an address.
    void bindNationalStations() {
        settings->arrays["hotkeyChannels"] = {"ondo", "ondo_kultur", "ondo_nova", "", ""};
    }
};

// Here the national stations have no address, as in a build without their hosts.
TEST_F(MenuActions, AFirstStartBindsNoStationThatCannotPlay) {
    ASSERT_FALSE(OndoChannel::nationalChannels()[0].hasStreamAddress());
    start();
    EXPECT_FALSE(settings->arrays.contains("hotkeyChannels")) << "nothing to write";
    for (int slot = 0; slot < HotkeyManager::slotCount; ++slot) {
        EXPECT_EQ(slotMenu(slot).items()[0]->state(), MenuItem::stateOn) << "None, slot " << slot;
    }
}

TEST(DefaultSlots, OnlyNationalStationsWithAnAddressAreBound) {
    const StreamOrigin mirror = *StreamOrigin::parse("https://radio.example.org");
    const struct {
        StreamOriginOverrides hosts;
        std::vector<std::string> expected;
    } cases[] = {
        {{}, {"", "", ""}},
        {{{"st01.ondoria.invalid", mirror}, {"st03.ondoria.invalid", mirror}},
         {"ondo", "", "ondo_nova"}},
        {{{"st01.ondoria.invalid", mirror},
          {"st02.ondoria.invalid", mirror},
          {"st03.ondoria.invalid", mirror}},
         {"ondo", "ondo_kultur", "ondo_nova"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(defaultSlotChannelIds(buildChannelTable({c.hosts, {}})), c.expected);
    }
}

TEST_F(MenuActions, TagsTheMenuNeverMakesAreIgnored) {
    bindNationalStations();
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
    bindNationalStations();
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

TEST_F(MenuActions, AShortcutThatCannotBeSavedIsToldUntilOneIsSaved) {
    bindNationalStations();
    start();
    settings->failWrites = true;
    choose(*slotMenu(3).items()[2 + 4]);
    choose(*slotMenu(4).items()[2 + 4]);
    using Told = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(problems->told,
              (Told(2, {"shortcut_not_saved", "[shortcut_not_saved]: the disk is full"})));
    EXPECT_EQ(stored()[3], "") << "the menu shows what is stored";
    settings->failWrites = false;
    choose(*slotMenu(3).items()[2 + 4]);
    EXPECT_EQ(problems->settled, std::vector<std::string>{"shortcut_not_saved"});
}

TEST_F(MenuActions, TheMenuNamesTheKeysTheDesktopReallyBound) {
    bindNationalStations();
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
    EXPECT_EQ(hotkeyEvents->registrations, 3) << "the three bound slots";
}

// A grabbed key is taken from every other program: only a slot that plays
// something holds one, taken and given back as the menu binds and clears it.
TEST_F(MenuActions, WhereRegisteringGrabsOnlyBoundSlotsHoldTheirKeys) {
    settings->arrays["hotkeyChannels"] = {"fritz", "", "swr3", "", ""};
    start();
    EXPECT_EQ(hotkeyEvents->held, (std::set<std::uint32_t>{0, 2}));
    EXPECT_EQ(shortcuts().items()[3]->title(), "[hotkey_slot]: [hotkey_none]") << "no key";

    choose(*slotMenu(3).items()[2 + 13]); // WDR 2 on slot 3
    EXPECT_EQ(hotkeyEvents->held, (std::set<std::uint32_t>{0, 2, 3}));
    EXPECT_EQ(shortcuts().items()[3]->title(), "Alt+4: WDR 2");
    choose(*slotMenu(0).items()[0]); // None on slot 0
    EXPECT_EQ(hotkeyEvents->held, (std::set<std::uint32_t>{2, 3}));
    EXPECT_EQ(find(menu(), "Fritz").keyEquivalent(), "");
    press(3);
    EXPECT_EQ(player->currentChannel()->id(), "wdr2");
}

// A desktop that binds the shortcuts itself lists them in its settings: all five.
TEST_F(MenuActions, WhereTheDesktopBindsTheKeysEverySlotIsOffered) {
    hotkeyEvents->grabs = false;
    start();
    EXPECT_EQ(hotkeyEvents->held, (std::set<std::uint32_t>{0, 1, 2, 3, 4}));
    choose(*slotMenu(1).items()[2 + 13]);
    choose(*slotMenu(1).items()[0]);
    EXPECT_EQ(hotkeyEvents->held.size(), 5u) << "clearing a slot keeps its shortcut";
}

// Started at login, nobody reads stderr: a key held by another program is told
// once at start, named as the menu names keys, and again for a slot bound later.
TEST_F(MenuActions, KeysAnotherProgramHoldsAreToldWithWhatToDo) {
    settings->arrays["hotkeyChannels"] = {"fritz", "swr3", "", "ndr2", ""};
    hotkeyEvents->heldElsewhere = {0, 3, 4};
    strings->texts = {{"keys_held_elsewhere", "many: {}"}, {"key_held_elsewhere", "one: {} {}"}};
    start();
    EXPECT_EQ(problems->reported(), Strings{"many: Alt+key18, Alt+key21"}) << "slot 4 is unbound";
    EXPECT_EQ(shortcuts().items()[0]->title(), "[hotkey_slot]: Fritz") << "no key plays it";

    choose(*slotMenu(4).items()[2 + 13]);
    EXPECT_EQ(problems->reported(), (Strings{"many: Alt+key18, Alt+key21", "one: Alt+key23 5"}));
    hotkeyEvents->heldElsewhere.clear(); // the other program let go
    choose(*slotMenu(0).items()[2 + 13]);
    EXPECT_EQ(shortcuts().items()[0]->title(), "Alt+1: WDR 2");
    EXPECT_EQ(problems->reported().size(), 2u);
}

TEST_F(MenuActions, NextAndPreviousStepThroughThePresetsOrElseTheMenu) {
    start();
    EXPECT_EQ(commands->send(RemoteCommand::nextTrack), 200) << "no station to step from";
    EXPECT_FALSE(player->currentChannel());
    const Strings presets{"ndr2", "", "gone_station", "wdr2", "swr3"};
    const Strings one{"", "fritz", "", "", ""};
    const Strings none(5, "");
    const struct {
        const Strings& slots;
        const char* from;
        int step;
        const char* to;
    } cases[] = {
        {presets, "ndr2", 1, "wdr2"},   {presets, "swr3", 1, "ndr2"},
        {presets, "ndr2", -1, "swr3"},  {presets, "fritz", 1, "ndr2"},
        {presets, "fritz", -1, "swr3"}, {one, "ondo", -1, "fritz"},
        {one, "fritz", 1, "fritz"},     {none, "ondo", -1, "inforadio"},
        {none, "inforadio", 1, "ondo"}, {none, "ndr_schlager", 1, "1live"},
    };
    for (const auto& c : cases) {
        settings->arrays["hotkeyChannels"] = {c.slots.begin(), c.slots.end()};
        const auto& all = OndoChannel::allChannels();
        player->play(all[*findChannelIndex(all, c.from)]);
        const int streams = streamFactory->made;
        EXPECT_EQ(
            commands->send(c.step > 0 ? RemoteCommand::nextTrack : RemoteCommand::previousTrack),
            0);
        EXPECT_EQ(player->currentChannel()->id(), c.to) << c.from << " " << c.step;
        EXPECT_TRUE(player->isPlaying()) << c.from << " " << c.step;
        EXPECT_EQ(streamFactory->made, streams + (c.from == std::string(c.to) ? 0 : 1));
    }
    settings->arrays["hotkeyChannels"] = {one.begin(), one.end()};
    chooseStation("Fritz");
    player->pause(); // a step onto the paused only preset resumes it
    const int streams = streamFactory->made;
    EXPECT_EQ(commands->send(RemoteCommand::previousTrack), 0);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(streamFactory->made, streams);
    EXPECT_EQ(find(menu(), "Fritz").state(), MenuItem::stateOn);
}

// The item shows the volume a wheel step set, which stops at the ends.
TEST_F(MenuActions, TheWheelStepsTheVolumeAndTellsTheItemWhereItStopped) {
    start();
    EXPECT_DOUBLE_EQ(statusItem->scroll(-1), 0.95);
    EXPECT_DOUBLE_EQ(player->volume(), 0.95);
    EXPECT_DOUBLE_EQ(statusItem->scroll(+1), 1.0);
    EXPECT_DOUBLE_EQ(statusItem->scroll(+1), 1.0) << "not above full";
    player->setVolume(0.02);
    EXPECT_DOUBLE_EQ(statusItem->scroll(-1), 0.0) << "not below silence";
}

TEST_F(MenuActions, AnOpeningMenuWarmsTheStationsAClickThereWouldPlayUntilItCloses) {
    start();
    settings->arrays["hotkeyChannels"] = {"swr3", "", "fritz"};
    chooseStation("Fritz");
    auto urlOf = [](const std::string& id) {
        const auto& all = OndoChannel::allChannels();
        return all[*findChannelIndex(all, id)].streamURL().toString();
    };
    statusItem->opening(menu());
    EXPECT_EQ(warmer->warmed.back(), (Strings{urlOf("fritz"), urlOf("swr3"), urlOf("fritz")}));
    const MenuItem& network = *menu().items().at(OndoChannel::nationalChannels().size() + 1);
    statusItem->opening(*network.submenu());
    Strings stations;
    for (const OndoChannel& channel :
         OndoChannel::channels(*Network::fromRawValue(network.title()))) {
        stations.push_back(channel.streamURL().toString());
    }
    EXPECT_EQ(warmer->warmed.back(), stations);
    statusItem->didClose();
    EXPECT_EQ(warmer->warmed.back(), Strings{"closed"});
}

TEST_F(MenuActions, BothEndsOfTheTablePlayFromTheMenuAndFromSlotFive) {
    start();
    const auto& table = OndoChannel::allChannels();
    chooseStation(table.front().name());
    EXPECT_EQ(player->currentChannel()->id(), table.front().id());
    chooseStation(table.back().name());
    EXPECT_EQ(player->currentChannel()->id(), table.back().id());

    choose(*slotMenu(4).items()[2]); // the first station on slot 5
    EXPECT_EQ(stored()[4], table.front().id());
    press(4);
    EXPECT_EQ(player->currentChannel()->id(), table.front().id());

    choose(*slotMenu(4).items().back()); // the last station on slot 5
    EXPECT_EQ(stored()[4], table.back().id());
    EXPECT_EQ(shortcuts().items()[4]->title(), "Alt+5: " + table.back().name());
    EXPECT_EQ(slotMenu(4).items().back()->state(), MenuItem::stateOn);
    EXPECT_EQ(find(menu(), table.back().name()).keyEquivalent(), "5");
    press(4);
    EXPECT_EQ(player->currentChannel()->id(), table.back().id());
    EXPECT_TRUE(player->isPlaying());
}

} // namespace
} // namespace tunora
