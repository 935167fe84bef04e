#include "core/hotkeys/HotkeyManager.h"

#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakeSettingsStore.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using Event = fakes::FakeHotkeyEventServices::Event;

class HotkeyDispatch : public ::testing::Test {
  protected:
    std::shared_ptr<HotkeyManager> makeManager(std::vector<int>& pressed) {
        auto manager = HotkeyManager::create(std::make_shared<fakes::FakeSettingsStore>(), events);
        manager->onHotkeyPressed = [&pressed](int slot) { pressed.push_back(slot); };
        return manager;
    }
    OSStatus press(std::uint32_t signature, std::uint32_t id) {
        Event event{EventHotKeyID{signature, id}};
        return events->deliver(&event);
    }

    std::shared_ptr<fakes::FakeHotkeyEventServices> events =
        std::make_shared<fakes::FakeHotkeyEventServices>();
};

TEST_F(HotkeyDispatch, PressesReachTheNewestManagerWithTheirIdUnchecked) {
    std::vector<int> first, second;
    auto replaced = makeManager(first);
    auto manager = makeManager(second);
    EXPECT_EQ(press(0x54554E52, 0), 0);
    EXPECT_EQ(press(0x54554E52, 4), 0);
    EXPECT_EQ(press(0x41424344, 7), 0); // the signature is not checked
    EXPECT_EQ(press(0x54554E52, 0xFFFFFFFFu), 0);
    EXPECT_TRUE(first.empty());
    ASSERT_EQ(second.size(), 4u);
    EXPECT_EQ(std::vector<int>(second.begin(), second.begin() + 3), (std::vector<int>{0, 4, 7}));
    EXPECT_LT(second[3], 0) << "an id beyond int names no slot";
}

TEST_F(HotkeyDispatch, StatusesForMissingEventsParametersAndCallbacks) {
    std::vector<int> pressed;
    auto manager = makeManager(pressed);
    EXPECT_EQ(events->deliver(nullptr), -9874);
    Event withoutId{};
    EXPECT_EQ(events->deliver(&withoutId), eventParameterNotFoundErr);
    EXPECT_TRUE(pressed.empty());
    manager->onHotkeyPressed = nullptr;
    EXPECT_EQ(press(0x54554E52, 1), 0) << "consumed although nobody listens";
}

} // namespace
} // namespace tunora
