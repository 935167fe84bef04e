#include "linux/hotkeys/PortalShortcutSignals.h"

#include "linux/hotkeys/PortalNames.h"

namespace tunora {
namespace {

// Distinct shortcuts whose presses wait at once; a flood beyond that is dropped.
constexpr std::size_t queuedPressLimit = 16;

} // namespace

ListedTriggers triggersIn(GVariant* shortcuts) {
    ListedTriggers triggers;
    GVariantIter iter;
    g_variant_iter_init(&iter, shortcuts);
    const gchar* id = nullptr;
    GVariant* properties = nullptr;
    while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &properties)) {
        const GVariantPtr owned(properties);
        const gchar* trigger = "";
        g_variant_lookup(properties, "trigger_description", "&s", &trigger);
        triggers[id] = trigger;
    }
    return triggers;
}

void PortalShortcutSignals::listen(GDBusConnection* bus) {
    stop();
    bus_.reset(G_DBUS_CONNECTION(g_object_ref(bus)));
    subscription_ = g_dbus_connection_signal_subscribe(
        bus, portal::busName, portal::globalShortcuts, nullptr, portal::objectPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &onSignal, this, nullptr);
}

void PortalShortcutSignals::stop() {
    if (bus_) {
        g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
        subscription_ = 0;
        bus_.reset();
    }
    presses_.clear();
    pressSource_.reset();
}

void PortalShortcutSignals::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar* signal, GVariant* parameters, gpointer self) {
    auto* signals = static_cast<PortalShortcutSignals*>(self);
    const std::string_view name = signal;
    if (name == "Activated") {
        signals->activated(parameters);
    } else if (name == "ShortcutsChanged" &&
               g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa(sa{sv}))"))) {
        const gchar* session = nullptr;
        GVariant* shortcuts = nullptr;
        g_variant_get(parameters, "(&o@a(sa{sv}))", &session, &shortcuts);
        const GVariantPtr owned(shortcuts);
        if (signals->handlers_.ours(session)) {
            signals->handlers_.changed(session, triggersIn(shortcuts));
        }
    }
}

void PortalShortcutSignals::activated(GVariant* parameters) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) {
        return;
    }
    const gchar* session = nullptr;
    const gchar* id = nullptr;
    g_variant_get(parameters, "(&o&st@a{sv})", &session, &id, nullptr, nullptr);
    if (handlers_.ours(session)) {
        queuePress(id);
    }
}

// A press plays or toggles its station: presses of one shortcut in a row do
// what one (an odd count) or two (an even count) do, and are merged.
void PortalShortcutSignals::queuePress(const std::string& id) {
    if (!presses_.empty() && presses_.back().first == id) {
        presses_.back().second = presses_.back().second % 2 + 1;
    } else if (presses_.size() < queuedPressLimit) {
        presses_.emplace_back(id, 1);
    }
    if (!pressSource_) {
        pressSource_.reset(g_idle_add_full(
            G_PRIORITY_LOW,
            [](gpointer self) -> gboolean {
                auto* signals = static_cast<PortalShortcutSignals*>(self);
                signals->pressSource_.forget();
                signals->pressQueued();
                return G_SOURCE_REMOVE;
            },
            this, nullptr));
    }
}

void PortalShortcutSignals::pressQueued() {
    const auto presses = std::move(presses_);
    presses_.clear();
    for (const auto& [id, count] : presses) {
        for (unsigned press = 0; press < count; ++press) {
            handlers_.press(id);
        }
    }
}

} // namespace tunora
