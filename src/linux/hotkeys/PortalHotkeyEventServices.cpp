#include "linux/hotkeys/PortalHotkeyEventServices.h"

#include "linux/glib/DBusReply.h"
#include "linux/hotkeys/PlasmaVersion.h"
#include "linux/hotkeys/TriggerDescription.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"

#include <algorithm>
#include <map>

namespace tunora {
namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* registryInterface = "org.freedesktop.host.portal.Registry";
constexpr gint plainCallTimeoutMs = PortalRequest::deadlineSeconds * 1000;
// Distinct shortcuts whose presses wait at once; a flood beyond that is dropped.
constexpr std::size_t queuedPressLimit = 16;

// The trigger in the notation of the XDG shortcuts specification, e.g. "ALT+1".
std::string triggerFor(std::uint32_t modifiers, char digit) {
    return modifierPrefix(modifiers, {"CTRL+", "ALT+", "SHIFT+", "LOGO+"}) + digit;
}

std::string descriptionFor(int number) {
    std::string text = GettextStrings::translate(N_("Play or pause shortcut %d"));
    const auto placeholder = text.find("%d");
    if (placeholder != std::string::npos) {
        text.replace(placeholder, 2, std::to_string(number));
    }
    return text;
}

// A session handle arrives as an object path, or from some portals as a string.
std::string sessionHandleIn(GVariant* results) {
    GVariantPtr handle(g_variant_lookup_value(results, "session_handle", nullptr));
    if (handle && (g_variant_is_of_type(handle.get(), G_VARIANT_TYPE_OBJECT_PATH) ||
                   g_variant_is_of_type(handle.get(), G_VARIANT_TYPE_STRING))) {
        return g_variant_get_string(handle.get(), nullptr);
    }
    return "";
}

// The trigger description of each listed shortcut, by id ("" when it has none).
std::map<std::string, std::string> triggersIn(GVariant* shortcuts) {
    std::map<std::string, std::string> triggers;
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

// GNOME names itself in XDG_CURRENT_DESKTOP, as "GNOME" or e.g. "ubuntu:GNOME".
bool inGnome() {
    const auto desktops = nonEmptyVariable("XDG_CURRENT_DESKTOP");
    return desktops && (":" + *desktops + ":").find(":GNOME:") != std::string::npos;
}

bool isUnknown(const GError* error) {
    return g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_INTERFACE) ||
           g_error_matches(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_OBJECT);
}

} // namespace

struct PortalHotkeyEventServices::Shortcut : OpaqueEventHotKey {
    std::string name; // "slot1"
    std::string trigger;
    std::string description;
    std::uint32_t modifiers = 0;
    char digit = '1';
    EventHotKeyID id;
    EventTargetRef target;
};

PortalHotkeyEventServices::PortalHotkeyEventServices(KeysOffHandler keysOff,
                                                     std::shared_ptr<ProblemLog> problems)
    : keysOff_(std::move(keysOff)), problems_(std::move(problems)),
      ownerCalls_(g_cancellable_new()) {
    nameWatch_ =
        g_bus_watch_name(G_BUS_TYPE_SESSION, portalName, G_BUS_NAME_WATCHER_FLAGS_AUTO_START,
                         &onPortalAppeared, &onPortalVanished, this, nullptr);
}

PortalHotkeyEventServices::~PortalHotkeyEventServices() {
    g_cancellable_cancel(ownerCalls_.get());
    pending_.reset();
    dropConnection();
    g_bus_unwatch_name(nameWatch_);
}

// A registration is a shortcut the portal is asked to bind; the desktop answers
// later, so the registration itself always succeeds.
OSStatus PortalHotkeyEventServices::registerEventHotKey(std::uint32_t keyCode,
                                                        std::uint32_t modifiers, EventHotKeyID id,
                                                        EventTargetRef target, std::uint32_t,
                                                        EventHotKeyRef* outRef) {
    const auto digit = digitForKeyCode(keyCode);
    if (!digit || outRef == nullptr || id.id >= 99) {
        return eventInternalErr;
    }
    const int number = int(id.id) + 1;
    auto shortcut = std::make_unique<Shortcut>();
    shortcut->name = "slot" + std::to_string(number);
    shortcut->trigger = triggerFor(modifiers, *digit);
    shortcut->description = descriptionFor(number);
    shortcut->modifiers = modifiers;
    shortcut->digit = *digit;
    shortcut->id = id;
    shortcut->target = target;
    std::erase_if(shortcuts_, [&](const auto& other) { return other->name == shortcut->name; });
    presses_.clear(); // they may name the shortcut just replaced
    *outRef = shortcut.get();
    shortcuts_.push_back(std::move(shortcut));
    bindSoon();
    return noErr;
}

bool PortalHotkeyEventServices::canEditHotKeyBindings() {
    return version_ >= 2 && !session_.empty();
}

void PortalHotkeyEventServices::editHotKeyBindings() {
    if (!canEditHotKeyBindings()) {
        return;
    }
    g_dbus_connection_call(
        bus_.get(), portalName, portalPath, shortcutsInterface, "ConfigureShortcuts",
        g_variant_new("(osa{sv})", session_.c_str(), "", nullptr), nullptr,
        G_DBUS_CALL_FLAGS_NO_AUTO_START, plainCallTimeoutMs, nullptr, nullptr, nullptr);
}

// --- One owner of the portal's name ------------------------------------------

void PortalHotkeyEventServices::onPortalAppeared(GDBusConnection*, const gchar*, const gchar* owner,
                                                 gpointer self) {
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    services->portalSeen_ = true;
    if (services->refused_ || services->portalOwner_ == owner) {
        return;
    }
    services->forgetPortal();
    services->portalOwner_ = owner;
    // A connection of our own for each owner: its new unique name gives the
    // session a path that no stale session of an earlier portal holds (the
    // desktop's backend outlives the portal), and no other part of the program
    // can have called the portal on it before we say who we are.
    GError* rawError = nullptr;
    const GCharPtr address(g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &rawError));
    const GErrorPtr error(rawError);
    if (!address) {
        services->giveUp(std::string("no session bus (") + error->message + ")", false);
        return;
    }
    g_dbus_connection_new_for_address(
        address.get(),
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, services->ownerCalls_.get(), &onConnected, services);
}

void PortalHotkeyEventServices::onConnected(GObject*, GAsyncResult* result, gpointer self) {
    GError* rawError = nullptr;
    GObjectPtr<GDBusConnection> bus(g_dbus_connection_new_for_address_finish(result, &rawError));
    const GErrorPtr error(rawError);
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return; // another owner, or the services are gone
    }
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    if (!bus) {
        services->giveUp(std::string("no session bus (") + error->message + ")", false);
        return;
    }
    services->bus_ = std::move(bus);
    // Activated and ShortcutsChanged, from the portal only.
    services->signalSubscription_ = g_dbus_connection_signal_subscribe(
        services->bus_.get(), portalName, shortcutsInterface, nullptr, portalPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE, &onSignal, services, nullptr);
    // Who we are comes first: the portal keys our session on it.
    g_dbus_connection_call(services->bus_.get(), portalName, portalPath, registryInterface,
                           "Register", g_variant_new("(sa{sv})", applicationId, nullptr),
                           G_VARIANT_TYPE("()"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           plainCallTimeoutMs, services->ownerCalls_.get(), &onRegistered,
                           services);
}

void PortalHotkeyEventServices::onPortalVanished(GDBusConnection*, const gchar*, gpointer self) {
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    if (!services->portalSeen_ && !services->refused_) {
        services->say("global shortcuts are off: no desktop portal is running "
                      "(the package xdg-desktop-portal provides it)");
        services->tellKeysOff(KeysOff::noPortalShortcuts);
    }
    services->portalSeen_ = true;
    services->forgetPortal();
}

// Its sessions and requests go with an owner; the next one starts afresh.
void PortalHotkeyEventServices::forgetPortal() {
    g_cancellable_cancel(ownerCalls_.get());
    ownerCalls_.reset(g_cancellable_new());
    pending_.reset(); // closes its request while the connection is there
    dropConnection();
    presses_.clear();
    pressSource_.reset();
    portalOwner_.clear();
    endedWithSession_ = endedWithSession_ || !session_.empty();
    session_.clear();
    registrationProblem_.clear();
    version_ = 0;
    bool changed = false;
    for (const auto& shortcut : shortcuts_) {
        changed = changed || !shortcut->binding.description.empty();
        shortcut->binding = {};
    }
    if (changed) {
        bindingsChanged();
    }
}

void PortalHotkeyEventServices::dropConnection() {
    if (bus_) {
        g_dbus_connection_signal_unsubscribe(bus_.get(), signalSubscription_);
        signalSubscription_ = 0;
        g_dbus_connection_close(bus_.get(), nullptr, nullptr, nullptr);
        bus_.reset();
    }
}

void PortalHotkeyEventServices::onRegistered(GObject* bus, GAsyncResult* result, gpointer self) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return; // another owner, or the services are gone
    }
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    // Portals before 1.19.3 have no registry: they know us from our scope, or not at all.
    if (reply.error && !isUnknown(reply.error.get())) {
        g_dbus_error_strip_remote_error(reply.error.get());
        services->registrationProblem_ =
            std::string("not registered as ") + applicationId + ": " + reply.error->message;
    }
    g_dbus_connection_call(G_DBUS_CONNECTION(bus), portalName, portalPath,
                           "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", shortcutsInterface, "version"),
                           G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           plainCallTimeoutMs, services->ownerCalls_.get(), &onVersion, services);
}

void PortalHotkeyEventServices::onVersion(GObject* bus, GAsyncResult* result, gpointer self) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return;
    }
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    if (reply.value) {
        GVariant* value = nullptr;
        g_variant_get(reply.value.get(), "(v)", &value);
        const GVariantPtr owned(value);
        if (g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32)) {
            services->version_ = g_variant_get_uint32(value);
        }
    }
    askWhetherPlasmaBefore64(services->bus_.get(), services->ownerCalls_.get(),
                             [services](bool before64) {
                                 services->bindsOpenWindows_ = before64;
                                 // without the interface this is where it says so
                                 services->createSession();
                             });
}

// --- The session and its shortcuts -------------------------------------------

void PortalHotkeyEventServices::ask(const char* method, const PortalRequest::Arguments& arguments,
                                    PortalRequest::Answered answered) {
    // A portal without the interface has no version of it either: Sway's.
    const bool withoutInterface = version_ == 0 && std::string_view(method) == "CreateSession";
    pending_ = std::make_unique<PortalRequest>(bus_.get(), shortcutsInterface, method, arguments,
                                               std::move(answered),
                                               [this, withoutInterface](const std::string& why) {
                                                   giveUp(why, false);
                                                   if (withoutInterface) {
                                                       tellKeysOff(KeysOff::noPortalShortcuts);
                                                   }
                                               });
}

void PortalHotkeyEventServices::createSession() {
    ask(
        "CreateSession",
        [](const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token));
            g_variant_builder_add(&options, "{sv}", "session_handle_token",
                                  g_variant_new_string(sessionToken));
            return g_variant_new("(a{sv})", &options);
        },
        [this](guint32 response, GVariant* results) {
            session_ = response == 0 ? sessionHandleIn(results) : "";
            keysWithEndedSession_ = endedWithSession_ && inGnome();
            if (session_.empty()) {
                giveUp(response == 1 ? "the desktop did not allow them"
                                     : "the desktop portal could not make a session",
                       response == 1);
                return;
            }
            listShortcuts(false, 0);
        });
}

// What the desktop holds for our session. Portals since 1.21.1 say a program
// binds in every session: listing activates nothing, and Plasma 6.4 and later
// (xdg-desktop-portal-kde) make listed shortcuts live only when bound again,
// asking the user only about new ones. Plasma before 6.4 activates them when
// the session is made, and opens System Settings on every bind: there, when it
// already holds all our shortcuts, binding again would only open that window.
void PortalHotkeyEventServices::listShortcuts(bool afterBinding, guint32 bindResponse) {
    ask(
        "ListShortcuts",
        [this](const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token));
            return g_variant_new("(oa{sv})", session_.c_str(), &options);
        },
        [this, afterBinding, bindResponse](guint32, GVariant* results) {
            pending_.reset();
            GVariantPtr listed(g_variant_lookup_value(results, "shortcuts", nullptr));
            if (listed && !g_variant_is_of_type(listed.get(), G_VARIANT_TYPE("a(sa{sv})"))) {
                giveUp(std::string("the desktop portal listed shortcuts of type ") +
                           g_variant_get_type_string(listed.get()) + " instead of a(sa{sv})",
                       false);
                return;
            }
            if (!listed) {
                listed.reset(g_variant_ref_sink(
                    g_variant_new_array(G_VARIANT_TYPE("(sa{sv})"), nullptr, 0)));
            }
            const auto triggers = triggersIn(listed.get());
            const bool holdsAll =
                std::all_of(shortcuts_.begin(), shortcuts_.end(), [&](const auto& shortcut) {
                    return triggers.contains(shortcut->name);
                });
            if (!afterBinding && !(holdsAll && bindsOpenWindows_)) {
                bindShortcuts();
                return;
            }
            applyShortcuts(listed.get());
            report(bindResponse);
        });
}

void PortalHotkeyEventServices::bindSoon() {
    if (!bindSource_) {
        bindSource_.reset(g_idle_add(
            [](gpointer self) -> gboolean {
                auto* services = static_cast<PortalHotkeyEventServices*>(self);
                services->bindSource_.forget();
                services->bindShortcuts();
                return G_SOURCE_REMOVE;
            },
            this));
    }
}

// Binds every registered shortcut at once; a session not made yet binds them
// when it is. Whatever the answer says (GNOME answers 2 for keys it did bind),
// what counts is what the desktop lists afterwards.
void PortalHotkeyEventServices::bindShortcuts() {
    if (refused_ || session_.empty() || pending_ || shortcuts_.empty()) {
        return;
    }
    ask(
        "BindShortcuts",
        [this](const char* token) {
            GVariantBuilder list;
            g_variant_builder_init(&list, G_VARIANT_TYPE("a(sa{sv})"));
            for (const auto& shortcut : shortcuts_) {
                GVariantBuilder properties;
                g_variant_builder_init(&properties, G_VARIANT_TYPE_VARDICT);
                g_variant_builder_add(&properties, "{sv}", "description",
                                      g_variant_new_string(shortcut->description.c_str()));
                g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                                      g_variant_new_string(shortcut->trigger.c_str()));
                g_variant_builder_add(&list, "(sa{sv})", shortcut->name.c_str(), &properties);
            }
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token));
            return g_variant_new("(oa(sa{sv})sa{sv})", session_.c_str(), &list, "", &options);
        },
        [this](guint32 response, GVariant*) { listShortcuts(true, response); });
}

// A slot is live when the desktop lists its shortcut with a trigger. True when
// any binding changed; the menu is told.
bool PortalHotkeyEventServices::applyShortcuts(GVariant* shortcuts) {
    const auto triggers = triggersIn(shortcuts);
    bool changed = false;
    for (const auto& shortcut : shortcuts_) {
        const auto listed = triggers.find(shortcut->name);
        const std::string trigger =
            listed == triggers.end() || keysWithEndedSession_ ? "" : listed->second;
        HotKeyBinding binding = trigger.empty() ? HotKeyBinding{} : bindingForTrigger(trigger);
        if (binding.description != shortcut->binding.description) {
            shortcut->binding = std::move(binding);
            changed = true;
        }
    }
    if (changed) {
        bindingsChanged();
    }
    return changed;
}

// "global shortcuts: 1 = Alt+1, 2 = none, ...", or why there are none.
void PortalHotkeyEventServices::report(guint32 bindResponse) {
    std::string line;
    bool any = false;
    std::vector<const Shortcut*> bySlot;
    for (const auto& shortcut : shortcuts_) {
        bySlot.push_back(shortcut.get());
    }
    std::sort(bySlot.begin(), bySlot.end(),
              [](const Shortcut* a, const Shortcut* b) { return a->id.id < b->id.id; });
    for (const Shortcut* shortcut : bySlot) {
        const std::string& key = shortcut->binding.description;
        line += (line.empty() ? "" : ", ") + std::to_string(shortcut->id.id + 1) + " = " +
                (key.empty() ? "none" : key);
        any = any || !key.empty();
    }
    if (keysWithEndedSession_) {
        // Nothing in the menu or the keys says so: the listener must be told.
        const std::string why = GettextStrings::translate(
            N_("The station keys are off since the desktop portal restarted: GNOME keeps the keys "
               "with the ended portal's session until the next login. Log in again, or give "
               "\u201ctunora --slot N\u201d (N = 1..5) keys of their own in the keyboard "
               "settings."));
        if (problems_) {
            problems_->report(why);
        } else {
            say(why);
        }
        return;
    }
    if (!any) {
        if (bindResponse != 1) {
            tellKeysOff(KeysOff::noKeysBound);
        }
        giveUp(bindResponse == 1 ? "the desktop did not allow them"
                                 : "the desktop bound none of them",
               bindResponse == 1);
        return;
    }
    const std::string& notes = registrationProblem_;
    say("global shortcuts: " + line + (notes.empty() ? "" : " (" + notes + ")"));
}

// One line per state: the same line is not said twice in a row.
void PortalHotkeyEventServices::say(const std::string& line) {
    if (line != lastLine_) {
        lastLine_ = line;
        g_message("%s", line.c_str());
    }
}

void PortalHotkeyEventServices::giveUp(const std::string& why, bool final) {
    if (!refused_) {
        say("global shortcuts are off: " + why +
            (registrationProblem_.empty() ? "" : " (" + registrationProblem_ + ")"));
    }
    refused_ = refused_ || final;
    pending_.reset();
}

void PortalHotkeyEventServices::tellKeysOff(KeysOff why) {
    if (!keysOff_) {
        return;
    }
    std::vector<RegisteredShortcut> registered;
    for (const auto& shortcut : shortcuts_) {
        registered.push_back({.id = shortcut->name,
                              .slot = int(shortcut->id.id) + 1,
                              .modifiers = shortcut->modifiers,
                              .digit = shortcut->digit});
    }
    std::sort(registered.begin(), registered.end(),
              [](const auto& a, const auto& b) { return a.slot < b.slot; });
    keysOff_(why, registered);
}

// --- Signals ----------------------------------------------------------------

void PortalHotkeyEventServices::onSignal(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                         const gchar* signal, GVariant* parameters, gpointer self) {
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    const std::string_view name = signal;
    if (name == "Activated") {
        services->activated(parameters);
    } else if (name == "ShortcutsChanged" &&
               g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa(sa{sv}))"))) {
        const gchar* session = nullptr;
        GVariant* shortcuts = nullptr;
        g_variant_get(parameters, "(&o@a(sa{sv}))", &session, &shortcuts);
        const GVariantPtr owned(shortcuts);
        if (!services->session_.empty() && services->session_ == session &&
            services->applyShortcuts(shortcuts)) {
            services->report(0);
        }
    }
}

void PortalHotkeyEventServices::activated(GVariant* parameters) {
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) {
        return;
    }
    const gchar* session = nullptr;
    const gchar* name = nullptr;
    g_variant_get(parameters, "(&o&st@a{sv})", &session, &name, nullptr, nullptr);
    if (session_.empty() || session_ != session) {
        return; // another program's session
    }
    for (const auto& shortcut : shortcuts_) {
        if (shortcut->name == name) {
            queuePress(*shortcut);
            return;
        }
    }
}

// Presses are handled when the loop has nothing more urgent, so a burst of
// Activated signals cannot hold up anything else. A press plays or toggles its
// station: presses of one shortcut in a row do what one (an odd count) or two
// (an even count) do, and are merged.
void PortalHotkeyEventServices::queuePress(const Shortcut& shortcut) {
    if (!presses_.empty() && presses_.back().first == &shortcut) {
        presses_.back().second = presses_.back().second % 2 + 1;
    } else if (presses_.size() < queuedPressLimit) {
        presses_.emplace_back(&shortcut, 1);
    }
    if (!pressSource_) {
        pressSource_.reset(g_idle_add_full(
            G_PRIORITY_LOW,
            [](gpointer self) -> gboolean {
                auto* services = static_cast<PortalHotkeyEventServices*>(self);
                services->pressSource_.forget();
                services->pressQueued();
                return G_SOURCE_REMOVE;
            },
            this, nullptr));
    }
}

void PortalHotkeyEventServices::pressQueued() {
    const auto presses = std::move(presses_);
    presses_.clear();
    for (const auto& [shortcut, count] : presses) {
        for (unsigned press = 0; press < count; ++press) {
            dispatch(shortcut->target, shortcut->id);
        }
    }
}

} // namespace tunora
