#include "core/hotkeys/HotkeyManager.h"

#include <algorithm>
#include <climits>

namespace tunora {
namespace {

// The manager that receives presses, and the services its events come from. The
// event handler is a plain function with no object context and reaches the
// manager only through these.
std::shared_ptr<HotkeyManager> hotkeyManagerInstance;
std::shared_ptr<HotkeyEventServices> hotkeyEventServices;

OSStatus hotkeyEventHandler(EventHandlerCallRef, EventRef event, void*) {
    if (event == nullptr) {
        return eventNotHandledErr;
    }
    EventHotKeyID hotKeyId{0, 0};
    const OSStatus status = hotkeyEventServices->getEventParameter(event, kEventParamDirectObject,
                                                                   typeEventHotKeyID, hotKeyId);
    if (status != noErr) {
        return status;
    }
    if (!hotkeyManagerInstance) {
        return noErr;
    }
    // The id is passed on as the slot without a range test: an id outside the
    // stored list simply finds no station. Ids beyond int range can name no slot.
    const int slot = hotKeyId.id <= std::uint32_t(INT_MAX) ? static_cast<int>(hotKeyId.id) : -1;
    hotkeyManagerInstance->handleHotkey(slot);
    return noErr;
}

} // namespace

HotkeyManager::HotkeyManager(std::shared_ptr<SettingsStore> settings,
                             std::shared_ptr<HotkeyEventServices> events)
    : settings_(std::move(settings)), events_(std::move(events)) {}

std::shared_ptr<HotkeyManager> HotkeyManager::create(std::shared_ptr<SettingsStore> settings,
                                                     std::shared_ptr<HotkeyEventServices> events) {
    std::shared_ptr<HotkeyManager> manager(new HotkeyManager(std::move(settings), events));
    hotkeyManagerInstance = manager;
    hotkeyEventServices = events;

    static constexpr EventTypeSpec hotKeyPressed{kEventClassKeyboard, kEventHotKeyPressed};
    events->installEventHandler(events->applicationEventTarget(), &hotkeyEventHandler,
                                std::span(&hotKeyPressed, 1), nullptr);
    // Held weakly, like every callback.
    events->setHotKeyBindingsChangedHandler([weak = std::weak_ptr<HotkeyManager>(manager)] {
        if (auto strong = weak.lock(); strong && strong->onHotkeysChanged) {
            strong->onHotkeysChanged();
        }
    });
    manager->registerAllHotkeys();
    return manager;
}

void HotkeyManager::registerAllHotkeys() {
    for (int slot = 0; slot < slotCount; ++slot) {
        updateRegistration(slot);
    }
}

// Takes the slot's key when it should hold one and does not yet (again after a
// failure: the other program may have let go), or gives it back.
void HotkeyManager::updateRegistration(int slot) {
    EventHotKeyRef& ref = hotKeyRefs_[slot];
    const bool wanted = !events_->registrationsGrabKeys() || channelIdForSlot(slot).has_value();
    if (wanted && ref == nullptr) {
        // A failed registration leaves this slot without a hot key; the others go on.
        registrationStatus_[slot] = events_->registerEventHotKey(
            keyCodes[slot], modifiers, EventHotKeyID{signature, static_cast<std::uint32_t>(slot)},
            events_->applicationEventTarget(), 0, &ref);
    } else if (!wanted) {
        if (ref != nullptr) {
            events_->unregisterEventHotKey(ref);
            ref = nullptr;
        }
        registrationStatus_[slot] = noErr;
    }
}

bool HotkeyManager::keyHeldElsewhere(int slot) const {
    return slot >= 0 && slot < slotCount && registrationStatus_[slot] == eventHotKeyExistsErr;
}

std::string HotkeyManager::keyName(int slot) {
    if (slot < 0 || slot >= slotCount) {
        return {};
    }
    return events_->hotKeyName(keyCodes[slot], modifiers);
}

void HotkeyManager::handleHotkey(int slot) {
    if (onHotkeyPressed) {
        onHotkeyPressed(slot);
    }
}

HotKeyBinding HotkeyManager::keyBindingForSlot(int slot) {
    if (slot < 0 || slot >= slotCount) {
        return {};
    }
    return events_->hotKeyBinding(hotKeyRefs_[slot]);
}

bool HotkeyManager::canEditKeyBindings() {
    return events_->canEditHotKeyBindings();
}

void HotkeyManager::editKeyBindings() {
    events_->editHotKeyBindings();
}

std::vector<std::string> HotkeyManager::storedIds() {
    std::vector<std::string> ids;
    if (const auto stored = settings_->readArray(settingsKey)) {
        // An element that is not a station id (a number, null, ...) is one empty
        // slot: the listener's other bindings stay where they are.
        for (const auto& element : *stored) {
            ids.push_back(element.value_or(""));
        }
    }
    if (ids.size() < slotCount) {
        ids.resize(slotCount);
    }
    return ids;
}

std::optional<std::string> HotkeyManager::channelIdForSlot(int slot) {
    const std::vector<std::string> ids = storedIds();
    if (slot < 0 || static_cast<std::size_t>(slot) >= ids.size() || ids[slot].empty()) {
        return std::nullopt;
    }
    return ids[slot];
}

bool HotkeyManager::setChannelForSlot(const std::optional<std::string>& id, int slot) {
    std::vector<std::string> ids = storedIds();
    if (slot < 0 || static_cast<std::size_t>(slot) >= ids.size()) {
        return true; // no caller passes such a slot; writing nothing keeps the list intact
    }
    ids[slot] = id.value_or("");
    const bool kept = settings_->writeStringArray(settingsKey, ids);
    if (slot < slotCount) {
        updateRegistration(slot); // by what the store holds now
    }
    return kept;
}

std::optional<int> HotkeyManager::slotForChannelId(std::string_view id) {
    if (id.empty()) {
        return std::nullopt; // the empty string marks an unbound slot, not a station
    }
    const std::vector<std::string> ids = storedIds();
    const auto found = std::find(ids.begin(), ids.end(), id);
    if (found == ids.end()) {
        return std::nullopt;
    }
    return static_cast<int>(found - ids.begin());
}

void HotkeyManager::setDefaults(const std::vector<std::string>& channelIds) {
    const std::vector<std::string> ids = storedIds();
    if (std::any_of(ids.begin(), ids.end(), [](const std::string& id) { return !id.empty(); })) {
        return; // the user's bindings are never overwritten
    }
    // An all-empty list marks a first start (or a user who cleared every slot).
    // An empty id leaves its slot free and writes nothing.
    for (std::size_t slot = 0; slot < channelIds.size() && slot < slotCount; ++slot) {
        if (!channelIds[slot].empty()) {
            setChannelForSlot(channelIds[slot], static_cast<int>(slot));
        }
    }
}

} // namespace tunora
