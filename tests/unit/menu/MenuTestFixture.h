#pragma once

#include "core/menu/MenuManager.h"

#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakePlayback.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeToolkit.h"

#include <gtest/gtest.h>

namespace tunora {

// A started menu manager on fakes, with helpers to find and choose menu items.
class MenuTestFixture : public ::testing::Test {
  protected:
    MenuTestFixture() {
        auto streams = std::make_shared<fakes::FakeStreamPlayerFactory>(log);
        player = AudioPlayer::create(streams, nowPlaying, commands);
        streamFactory = streams;
    }

    void start() {
        MenuManager::Services services{settings,
                                       hotkeyEvents,
                                       graphics,
                                       strings,
                                       loginItems,
                                       problems,
                                       [this] {
                                           ++updateControllersMade;
                                           return updater;
                                       },
                                       commands,
                                       nullptr};
        services.warmer = warmer;
        services.problems = problems;
        manager = MenuManager::create(statusItem, player, services);
        manager->start();
    }

    const Menu& menu() const { return *statusItem->current; }
    // The first item titled title in menu (searching submenus too); fails the test if none.
    static const MenuItem& find(const Menu& in, const std::string& title) {
        static const MenuItem missing("", std::nullopt, "");
        const MenuItem* item = search(in, title);
        EXPECT_TRUE(item) << "no menu item " << title;
        return item ? *item : missing;
    }
    static const MenuItem* search(const Menu& in, const std::string& title) {
        for (const auto& item : in.items()) {
            const MenuItem* found = item->title() == title ? item.get()
                                    : item->submenu()      ? search(*item->submenu(), title)
                                                           : nullptr;
            if (found != nullptr) {
                return found;
            }
        }
        return nullptr;
    }
    const Menu& shortcuts() const { return *find(menu(), "[keyboard_shortcuts]").submenu(); }
    const Menu& slotMenu(int slot) const { return *shortcuts().items().at(slot)->submenu(); }
    // Chooses an item of the current menu, as the toolkit would.
    void choose(const MenuItem& item) { sendAction(item, application); }
    void chooseStation(const std::string& name) { choose(find(menu(), name)); }
    std::vector<std::string> stored() { return settings->strings("hotkeyChannels"); }

    fakes::CallLog log = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<fakes::FakeNowPlayingCenter> nowPlaying =
        std::make_shared<fakes::FakeNowPlayingCenter>(log);
    std::shared_ptr<fakes::FakeRemoteCommandCenter> commands =
        std::make_shared<fakes::FakeRemoteCommandCenter>();
    std::shared_ptr<fakes::FakeStreamPlayerFactory> streamFactory;
    std::shared_ptr<AudioPlayer> player;
    std::shared_ptr<fakes::FakeSettingsStore> settings =
        std::make_shared<fakes::FakeSettingsStore>();
    std::shared_ptr<fakes::FakeHotkeyEventServices> hotkeyEvents =
        std::make_shared<fakes::FakeHotkeyEventServices>();
    std::shared_ptr<fakes::FakeGraphics> graphics = std::make_shared<fakes::FakeGraphics>();
    std::shared_ptr<fakes::FakeStrings> strings = std::make_shared<fakes::FakeStrings>();
    std::shared_ptr<fakes::FakeLoginItems> loginItems = std::make_shared<fakes::FakeLoginItems>();
    std::shared_ptr<fakes::FakeProblemLog> problems = std::make_shared<fakes::FakeProblemLog>();
    std::shared_ptr<fakes::FakeUpdateController> updater =
        std::make_shared<fakes::FakeUpdateController>();
    std::shared_ptr<fakes::FakeStatusItem> statusItem = std::make_shared<fakes::FakeStatusItem>();
    fakes::FakeApplication application;
    // The stream URLs of each opening, in order.
    struct Warmer : ConnectionWarmer {
        void warm(const std::vector<std::string>& urls) override { warmed.push_back(urls); }
        void menuDidClose() override { warmed.push_back({"closed"}); }
        std::vector<std::vector<std::string>> warmed;
    };
    std::shared_ptr<Warmer> warmer = std::make_shared<Warmer>();
    std::shared_ptr<MenuManager> manager;
    int updateControllersMade = 0;
};

} // namespace tunora
