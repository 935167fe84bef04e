#pragma once

#include "platform/HotkeyEventServices.h"
#include "platform/SettingsStore.h"

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tunora {

// The five global shortcuts Alt+1 ... Alt+5 ("slots" 0 to 4): which station each
// is bound to, kept in the settings store, and the system registration that turns
// a press into a call of onHotkeyPressed with the slot number.
//
// Where registering grabs a key from every other program (X11), only bound slots
// hold their key, taken and given back as they are bound and cleared: a key that
// plays nothing stays with the browser or terminal that switches tabs with it.
// Where the desktop binds the shortcuts itself (the portal), all five are
// offered, so that its settings list every one.
class HotkeyManager {
  public:
    static constexpr int slotCount = 5;
    static constexpr std::string_view settingsKey = "hotkeyChannels";
    static constexpr std::uint32_t signature = fourCharCode("TUNR");
    // Keys 1, 2, 3, 4, 5 of the main row in the hot-key service's numbering.
    static constexpr std::array<std::uint32_t, slotCount> keyCodes = {18, 19, 20, 21, 23};
    static constexpr std::uint32_t modifiers = optionKey;

    // Makes the manager, makes it the one that receives presses (replacing any
    // earlier one), installs the event handler and registers the hot keys.
    static std::shared_ptr<HotkeyManager> create(std::shared_ptr<SettingsStore> settings,
                                                 std::shared_ptr<HotkeyEventServices> events);

    HotkeyManager(const HotkeyManager&) = delete;
    HotkeyManager& operator=(const HotkeyManager&) = delete;

    std::function<void(int slot)> onHotkeyPressed;
    // Called when the desktop binds a slot to another key (or none), or starts
    // or stops offering its own settings for them.
    std::function<void()> onHotkeysChanged;

    void handleHotkey(int slot);

    // The key that really plays a slot, as the desktop bound it; an empty
    // description when none does.
    HotKeyBinding keyBindingForSlot(int slot);
    // Whether the desktop has settings of its own for the keys, and opening them.
    bool canEditKeyBindings();
    void editKeyBindings();

    // The station id bound to a slot; none for an empty slot or one outside the list.
    std::optional<std::string> channelIdForSlot(int slot);
    // Binds a slot (none clears it), writes the whole list back and takes or
    // gives back its key; false when the store could not keep it.
    bool setChannelForSlot(const std::optional<std::string>& id, int slot);
    // The whole stored list, one station id a slot ("" for a free one), at
    // least five long.
    std::vector<std::string> channelIds() { return storedIds(); }
    // The lowest slot bound to id.
    std::optional<int> slotForChannelId(std::string_view id);
    // Binds slots 0.. to the given ids, but only while every slot is empty; an
    // empty id leaves its slot free.
    void setDefaults(const std::vector<std::string>& channelIds);

    // Registration handle of each slot; empty where it holds no key.
    const std::array<EventHotKeyRef, slotCount>& hotKeyRefs() const { return hotKeyRefs_; }
    // Whether the slot wants its key but another program holds it.
    bool keyHeldElsewhere(int slot) const;
    // The slot's key as the desktop names it ("Alt+1"), whether it holds it or not.
    std::string keyName(int slot);

  private:
    HotkeyManager(std::shared_ptr<SettingsStore> settings,
                  std::shared_ptr<HotkeyEventServices> events);

    std::vector<std::string> storedIds();
    void registerAllHotkeys();
    void updateRegistration(int slot);

    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<HotkeyEventServices> events_;
    std::array<EventHotKeyRef, slotCount> hotKeyRefs_{};
    std::array<OSStatus, slotCount> registrationStatus_{};
};

} // namespace tunora
