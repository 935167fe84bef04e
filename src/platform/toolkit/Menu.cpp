#include "platform/toolkit/Menu.h"

namespace tunora {

MenuItem::MenuItem(std::string title, std::optional<std::string> action, std::string keyEquivalent)
    : title_(std::move(title)), action_(std::move(action)),
      keyEquivalent_(std::move(keyEquivalent)) {}

MenuItem::~MenuItem() = default;

std::unique_ptr<MenuItem> MenuItem::separatorItem() {
    auto item = std::make_unique<MenuItem>("", std::nullopt, "");
    item->separator_ = true;
    return item;
}

void MenuItem::setSubmenu(std::unique_ptr<Menu> submenu) {
    submenu_ = std::move(submenu);
}

void sendAction(const MenuItem& item, ActionTarget& application) {
    if (!item.action()) {
        return;
    }
    if (!item.target()) {
        application.performAction(*item.action(), item);
        return;
    }
    if (auto target = item.target()->lock()) {
        target->performAction(*item.action(), item);
    }
}

} // namespace tunora
