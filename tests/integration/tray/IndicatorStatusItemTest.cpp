#include "linux/tray/IndicatorStatusItem.h"

#include "support/TestDesktop.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

class NoTarget : public ActionTarget {
  public:
    void performAction(const std::string&, const MenuItem&) override {}
};

std::unique_ptr<Menu> menuWith(const std::string& title) {
    auto menu = std::make_unique<Menu>();
    auto item = std::make_unique<MenuItem>(title, "terminate:", "q");
    item->setState(MenuItem::stateOn);
    menu->addItem(std::move(item));
    return menu;
}

// The item is made, given menus, replaced menus are released, and the item goes
// away, all without a GLib critical (fatal in this test run) or a file left behind.
TEST(IndicatorStatusItemTest, ComesAndGoesCleanly) {
    testing::TemporaryDirectory folder;
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    g_log_set_always_fatal(GLogLevelFlags(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_ERROR));

    NoTarget application;
    IndicatorStatusBar bar(application, folder.path());
    auto item = bar.statusItemWithLength(StatusBar::variableLength);
    item->setMenu(menuWith("first"));
    item->setMenu(menuWith("second")); // the first is released at idle
    item->button()->setTitle(" NDR 2");
    item->button()->setToolTip("NDR 2");
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    item.reset();
    while (g_main_context_iteration(nullptr, FALSE)) {
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

} // namespace
} // namespace tunora
