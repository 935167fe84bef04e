#include "core/hotkeys/HotkeyManager.h"

#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakeSettingsStore.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using Strings = std::vector<std::string>;
using Stored = std::vector<SettingsStore::ArrayElement>;
const std::string key = "hotkeyChannels";

struct SlotCase {
    const char* what;
    std::optional<Stored> stored; // nothing: no key at all
    std::function<void(HotkeyManager&)> change;
    Strings expected; // what is stored afterwards
};

TEST(HotkeySlotStore, WritesKeepTheRulesOfTheList) {
    const auto seed = [](HotkeyManager& m) { m.setDefaults({"ondo", "ondo_kultur", "ondo_nova"}); };
    const SlotCase cases[] = {
        {"nothing stored: seeded",
         std::nullopt,
         seed,
         {"ondo", "ondo_kultur", "ondo_nova", "", ""}},
        {"a bound slot stops seeding",
         Stored{"", "", "", "", "ndr2"},
         seed,
         {"", "", "", "", "ndr2"}},
        {"every slot cleared: seeded again",
         Stored{"", "", "", "", ""},
         [](HotkeyManager& m) { m.setDefaults({"a", "b", "c", "d", "e", "f"}); },
         {"a", "b", "c", "d", "e"}},
        {"a non-string is one empty slot: the others stop seeding",
         Stored{"ndr2", std::nullopt, "fritz"},
         seed,
         {"ndr2", "<not a string>", "fritz"}},
        {"a non-string slot is cleaned at the next change",
         Stored{"ndr2", std::nullopt, "fritz", "", ""},
         [](HotkeyManager& m) { m.setChannelForSlot("wdr5", 4); },
         {"ndr2", "", "fritz", "", "wdr5"}},
        {"nothing but non-strings: seeded",
         Stored{std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
         seed,
         {"ondo", "ondo_kultur", "ondo_nova", "", ""}},
        {"a short list grows to five",
         Stored{"ndr2"},
         [](HotkeyManager& m) { m.setChannelForSlot("fritz", 3); },
         {"ndr2", "", "", "fritz", ""}},
        {"a long list keeps its length",
         Stored{"a", "b", "c", "d", "e", "wdr5", "g"},
         [](HotkeyManager& m) { m.setChannelForSlot(std::nullopt, 0); },
         {"", "b", "c", "d", "e", "wdr5", "g"}},
        {"an empty default leaves its slot free",
         std::nullopt,
         [](HotkeyManager& m) { m.setDefaults({"", "ondo_kultur", ""}); },
         {"", "ondo_kultur", "", "", ""}},
        {"slots outside the list write nothing",
         Stored{"ndr2"},
         [](HotkeyManager& m) {
             m.setChannelForSlot("ndr2", 9);
             m.setChannelForSlot("ndr2", -1);
         },
         {"ndr2"}},
    };
    for (const auto& test : cases) {
        auto settings = std::make_shared<fakes::FakeSettingsStore>();
        if (test.stored) {
            settings->arrays[key] = *test.stored;
        }
        auto manager =
            HotkeyManager::create(settings, std::make_shared<fakes::FakeHotkeyEventServices>());
        test.change(*manager);
        EXPECT_EQ(settings->strings(key), test.expected) << test.what;
    }
}

TEST(HotkeySlotStore, ReadsAnswerOnlyForBoundSlots) {
    auto settings = std::make_shared<fakes::FakeSettingsStore>();
    auto manager =
        HotkeyManager::create(settings, std::make_shared<fakes::FakeHotkeyEventServices>());
    EXPECT_FALSE(manager->channelIdForSlot(0)) << "nothing stored";
    settings->arrays[key] = {"", "fritz", "", "fritz", "", "wdr5"};
    EXPECT_EQ(manager->channelIdForSlot(5), "wdr5");
    EXPECT_EQ(manager->slotForChannelId("fritz"), 1) << "the lowest slot wins";
    for (int slot : {0, 6, -1}) {
        EXPECT_FALSE(manager->channelIdForSlot(slot)) << slot;
    }
    for (const char* id : {"Fritz", ""}) {
        EXPECT_FALSE(manager->slotForChannelId(id)) << id;
    }
}

} // namespace
} // namespace tunora
