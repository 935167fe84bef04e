// Replaces the tray menu many times and tears the item down, then exits: run
// under LeakSanitizer, nothing allocated through the program's own code may be
// left.

#include "linux/tray/TrayStatusItem.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class NoTarget : public tunora::ActionTarget {
  public:
    void performAction(const std::string&, const tunora::MenuItem&) override {}
};

std::unique_ptr<tunora::Menu> menuWithShortcuts(int round) {
    using namespace tunora;
    auto menu = std::make_unique<Menu>();
    auto submenu = std::make_unique<Menu>();
    for (int i = 0; i < 5; ++i) {
        // Every other pair of rounds moves a shortcut: new widgets then, and
        // texts and check marks updated in place otherwise.
        const int key = i == 0 && round % 4 >= 2 ? 6 : i + 1;
        auto item = std::make_unique<MenuItem>("Station " + std::to_string(i + round % 7),
                                               "channelSelected:", std::to_string(key));
        item->setKeyEquivalentModifierMask(optionKeyMask);
        item->setState(i == round % 5 ? MenuItem::stateOn : MenuItem::stateOff);
        submenu->addItem(std::move(item));
    }
    auto heading = std::make_unique<MenuItem>("Network", std::nullopt, "");
    heading->setSubmenu(std::move(submenu));
    menu->addItem(std::move(heading));
    menu->addItem(std::make_unique<MenuItem>("Quit", "terminate:", "q"));
    return menu;
}

} // namespace

int main(int argc, char**) {
    if (argc != 1 || !gtk_init_check(nullptr, nullptr)) {
        std::fprintf(stderr, "usage: menu_leak_probe (with a display and a session bus)\n");
        return 2;
    }
    NoTarget application;
    {
        tunora::TrayStatusBar bar(application, {});
        auto item = bar.statusItemWithLength(tunora::StatusBar::variableLength);
        for (int round = 0; round < 200; ++round) {
            item->setMenu(menuWithShortcuts(round));
            while (g_main_context_iteration(nullptr, FALSE)) {
            }
        }
    }
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    return 0;
}
