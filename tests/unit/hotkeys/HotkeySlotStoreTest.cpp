#include "core/hotkeys/HotkeyManager.h"

#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakeSettingsStore.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using Strings = std::vector<std::string>;
const std::string key = "hotkeyChannels";

class HotkeySlotStore : public ::testing::Test {
  protected:
    void store(std::vector<SettingsStore::ArrayElement> elements) {
        settings->arrays[key] = std::move(elements);
    }

    std::shared_ptr<fakes::FakeSettingsStore> settings =
        std::make_shared<fakes::FakeSettingsStore>();
    std::shared_ptr<HotkeyManager> manager =
        HotkeyManager::create(settings, std::make_shared<fakes::FakeHotkeyEventServices>());
};

TEST_F(HotkeySlotStore, NothingStoredReadsAsFiveEmptySlotsAndSeedsOneWritePerDefault) {
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_FALSE(manager->channelIdForSlot(slot));
    }
    EXPECT_EQ(settings->writeCount, 0);
    manager->setDefaults({"ondo", "ondo_kultur", "ondo_nova"});
    EXPECT_EQ(settings->strings(key), (Strings{"ondo", "ondo_kultur", "ondo_nova", "", ""}));
    EXPECT_EQ(settings->writeCount, 3);
    EXPECT_EQ(manager->channelIdForSlot(1), "ondo_kultur");
}

TEST_F(HotkeySlotStore, ShortListIsPaddedAndGrowsToFiveOnTheFirstChange) {
    store({"ndr2"});
    EXPECT_EQ(manager->channelIdForSlot(0), "ndr2");
    EXPECT_FALSE(manager->channelIdForSlot(4));
    manager->setDefaults({"ondo"});
    EXPECT_EQ(settings->writeCount, 0) << "a bound slot stops seeding";
    manager->setChannelForSlot("fritz", 3);
    EXPECT_EQ(settings->strings(key), (Strings{"ndr2", "", "", "fritz", ""}));
}

TEST_F(HotkeySlotStore, LongerListKeepsItsLengthAndExtraSlotsAnswer) {
    store({"a", "b", "c", "d", "e", "wdr5", "g"});
    EXPECT_EQ(manager->channelIdForSlot(5), "wdr5");
    EXPECT_EQ(manager->slotForChannelId("wdr5"), 5);
    manager->setChannelForSlot(std::nullopt, 0);
    EXPECT_EQ(settings->strings(key), (Strings{"", "b", "c", "d", "e", "wdr5", "g"}));
    EXPECT_FALSE(manager->channelIdForSlot(7));
}

TEST_F(HotkeySlotStore, ANonStringAnywhereVoidsTheWholeList) {
    store({"ndr2", std::nullopt, "fritz"});
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_FALSE(manager->channelIdForSlot(slot));
    }
    EXPECT_FALSE(manager->slotForChannelId("ndr2"));
    manager->setDefaults({"ondo"});
    EXPECT_EQ(settings->strings(key), (Strings{"ondo", "", "", "", ""}));
}

TEST_F(HotkeySlotStore, ClearingAndOutOfRangeSlots) {
    store({"ndr2", "wdr2", "", "", ""});
    manager->setChannelForSlot(std::nullopt, 1);
    EXPECT_EQ(settings->strings(key)[1], "");
    EXPECT_FALSE(manager->channelIdForSlot(1));
    EXPECT_FALSE(manager->channelIdForSlot(5));
    EXPECT_FALSE(manager->channelIdForSlot(-1));
    const int writes = settings->writeCount;
    manager->setChannelForSlot("ndr2", 9);
    manager->setChannelForSlot("ndr2", -1);
    EXPECT_EQ(settings->writeCount, writes) << "a slot outside the list writes nothing";
}

TEST_F(HotkeySlotStore, LowestSlotWinsAndEmptyIdMatchesNothing) {
    store({"", "fritz", "", "fritz", ""});
    EXPECT_EQ(manager->slotForChannelId("fritz"), 1);
    EXPECT_FALSE(manager->slotForChannelId("Fritz"));
    EXPECT_FALSE(manager->slotForChannelId(""));
}

TEST_F(HotkeySlotStore, SeedingRules) {
    store({"", "", "", "", "ndr2"});
    manager->setDefaults({"ondo", "ondo_kultur"});
    EXPECT_EQ(settings->strings(key), (Strings{"", "", "", "", "ndr2"}));

    store({"", "", "", "", ""}); // the user cleared every slot: seed again
    manager->setDefaults({"a", "b", "c", "d", "e", "f"});
    EXPECT_EQ(settings->strings(key), (Strings{"a", "b", "c", "d", "e"}));
}

} // namespace
} // namespace tunora
