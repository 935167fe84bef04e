#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

class MenuItem;

// Receives the actions of chosen menu items, by action name.
class ActionTarget {
  public:
    virtual ~ActionTarget() = default;
    virtual void performAction(const std::string& action, const MenuItem& sender) = 0;
};

// Key-equivalent modifier flags.
inline constexpr std::uint32_t commandKeyMask = 0x100000;
inline constexpr std::uint32_t optionKeyMask = 0x80000;
inline constexpr std::uint32_t controlKeyMask = 0x40000;
inline constexpr std::uint32_t shiftKeyMask = 0x20000;

class Menu;

// One entry of a menu: a plain title, an optional action sent to its target (or
// to the application when it has none), a key equivalent, an integer tag, an
// on/off state and an optional submenu.
class MenuItem {
  public:
    static constexpr int stateOff = 0;
    static constexpr int stateOn = 1;

    MenuItem(std::string title, std::optional<std::string> action, std::string keyEquivalent);
    ~MenuItem();
    static std::unique_ptr<MenuItem> separatorItem();

    const std::string& title() const { return title_; }
    const std::optional<std::string>& action() const { return action_; }
    bool isSeparator() const { return separator_; }

    void setTarget(std::weak_ptr<ActionTarget> target) { target_ = std::move(target); }
    const std::optional<std::weak_ptr<ActionTarget>>& target() const { return target_; }

    void setTag(int tag) { tag_ = tag; }
    int tag() const { return tag_; }

    void setState(int state) { state_ = state; }
    int state() const { return state_.value_or(stateOff); }
    // Whether setState was ever called: such items show as check items.
    bool hasState() const { return state_.has_value(); }

    void setKeyEquivalent(std::string key) { keyEquivalent_ = std::move(key); }
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    // Without a mask a key equivalent means Command.
    void setKeyEquivalentModifierMask(std::uint32_t mask) { modifierMask_ = mask; }
    std::uint32_t keyEquivalentModifierMask() const {
        return modifierMask_.value_or(commandKeyMask);
    }

    void setSubmenu(std::unique_ptr<Menu> submenu);
    const Menu* submenu() const { return submenu_.get(); }

  private:
    std::string title_;
    std::optional<std::string> action_;
    std::string keyEquivalent_;
    std::optional<std::weak_ptr<ActionTarget>> target_;
    int tag_ = 0;
    std::optional<int> state_;
    std::optional<std::uint32_t> modifierMask_;
    std::unique_ptr<Menu> submenu_;
    bool separator_ = false;
};

class Menu {
  public:
    void addItem(std::unique_ptr<MenuItem> item) { items_.push_back(std::move(item)); }
    const std::vector<std::unique_ptr<MenuItem>>& items() const { return items_; }

  private:
    std::vector<std::unique_ptr<MenuItem>> items_;
};

// Sends a chosen item's action: to its target when it has one (nothing when that
// target is gone), otherwise to the application.
void sendAction(const MenuItem& item, ActionTarget& application);

} // namespace tunora
