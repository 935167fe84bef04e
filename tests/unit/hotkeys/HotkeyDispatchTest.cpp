#include "core/hotkeys/HotkeyManager.h"

#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakeSettingsStore.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

using Event = fakes::FakeHotkeyEventServices::Event;

class HotkeyDispatch : public ::testing::Test {
  protected:
    std::shared_ptr<HotkeyManager> makeManager() {
        return HotkeyManager::create(std::make_shared<fakes::FakeSettingsStore>(), events);
    }

    std::shared_ptr<fakes::FakeHotkeyEventServices> events =
        std::make_shared<fakes::FakeHotkeyEventServices>();
};

TEST_F(HotkeyDispatch, PressesReachTheCallbackWithTheirIdUnchecked) {
    auto manager = makeManager();
    std::vector<int> pressed;
    manager->onHotkeyPressed = [&pressed](int slot) { pressed.push_back(slot); };

    Event first{EventHotKeyID{0x54554E52, 0}};
    Event fifth{EventHotKeyID{0x54554E52, 4}};
    Event foreign{EventHotKeyID{0x41424344, 7}}; // the signature is not checked
    EXPECT_EQ(events->deliver(&first), 0);
    EXPECT_EQ(events->deliver(&fifth), 0);
    EXPECT_EQ(events->deliver(&foreign), 0);
    EXPECT_EQ(pressed, (std::vector<int>{0, 4, 7}));
}

TEST_F(HotkeyDispatch, StatusesForMissingEventsParametersAndCallbacks) {
    auto manager = makeManager();
    int calls = 0;
    EXPECT_EQ(events->deliver(nullptr), -9874);
    Event withoutId{};
    manager->onHotkeyPressed = [&calls](int) { ++calls; };
    EXPECT_EQ(events->deliver(&withoutId), eventParameterNotFoundErr);
    EXPECT_EQ(calls, 0);

    manager->onHotkeyPressed = nullptr;
    Event press{EventHotKeyID{0x54554E52, 1}};
    EXPECT_EQ(events->deliver(&press), 0) << "consumed although nobody listens";
}

TEST_F(HotkeyDispatch, ANewManagerReplacesTheOneReceivingPresses) {
    auto first = makeManager();
    int firstCalls = 0, secondCalls = 0;
    first->onHotkeyPressed = [&firstCalls](int) { ++firstCalls; };
    auto second = makeManager();
    second->onHotkeyPressed = [&secondCalls](int) { ++secondCalls; };
    Event press{EventHotKeyID{0x54554E52, 1}};
    events->deliver(&press);
    EXPECT_EQ(firstCalls, 0);
    EXPECT_EQ(secondCalls, 1);
}

TEST_F(HotkeyDispatch, IdsBeyondIntRangeNameNoSlot) {
    auto manager = makeManager();
    std::vector<int> pressed;
    manager->onHotkeyPressed = [&pressed](int slot) { pressed.push_back(slot); };
    Event huge{EventHotKeyID{0x54554E52, 0xFFFFFFFFu}};
    EXPECT_EQ(events->deliver(&huge), 0);
    ASSERT_EQ(pressed.size(), 1u);
    EXPECT_LT(pressed[0], 0);
}

} // namespace
} // namespace tunora
