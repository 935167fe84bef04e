#include "linux/hotkeys/PortalHotkeyEventServices.h"

#include "linux/hotkeys/PortalNames.h"
#include "linux/hotkeys/TriggerDescription.h"
#include "linux/strings/GettextStrings.h"

#include <algorithm>

namespace tunora {
namespace {

constexpr gint plainCallTimeoutMs = PortalRequest::deadlineSeconds * 1000;

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

const char* methodOf(PortalShortcutSession::Request request) {
    switch (request) {
    case PortalShortcutSession::Request::createSession:
        return "CreateSession";
    case PortalShortcutSession::Request::listShortcuts:
        return "ListShortcuts";
    case PortalShortcutSession::Request::bindShortcuts:
        break;
    }
    return "BindShortcuts";
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
      session_({
                   .ask = [this](PortalShortcutSession::Request request) { ask(request); },
                   .triggersChanged = [this](const ListedTriggers& live) { applyTriggers(live); },
                   .say = [](const std::string& line) { g_message("%s", line.c_str()); },
                   .keysOff = [this](KeysOff why) { tellKeysOff(why); },
                   .keysLostWithEndedPortal = [this] { tellKeysLost(); },
               },
               [](const std::string& trigger) { return bindingForTrigger(trigger).description; }),
      signals_({
          .ours =
              [this](const std::string& session) {
                  return !session_.handle().empty() && session == session_.handle();
              },
          .press = [this](const std::string& id) { press(id); },
          .changed =
              [this](const std::string& session, const ListedTriggers& shortcuts) {
                  session_.shortcutsChanged(session, shortcuts);
              },
      }),
      owner_(
          applicationId,
          {
              .ready = [this](GDBusConnection* bus,
                              PortalShortcutSession::Portal portal) { portalReady(bus, portal); },
              .ended = [this](bool first) { portalEnded(first); },
              .failed = [this](const std::string& why) { session_.portalFailed(why); },
              .wanted = [this] { return !session_.refused(); },
          }) {}

PortalHotkeyEventServices::~PortalHotkeyEventServices() {
    request_.reset(); // closed while the connection is there
    signals_.stop();
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
    *outRef = shortcut.get();
    shortcuts_.push_back(std::move(shortcut));
    std::sort(shortcuts_.begin(), shortcuts_.end(),
              [](const auto& a, const auto& b) { return a->id.id < b->id.id; });
    bindSoon();
    return noErr;
}

// The portal has no call that removes a shortcut: the desktop keeps it, and its
// presses are no longer passed on.
OSStatus PortalHotkeyEventServices::unregisterEventHotKey(EventHotKeyRef ref) {
    const auto removed =
        std::erase_if(shortcuts_, [ref](const auto& shortcut) { return shortcut.get() == ref; });
    return removed != 0 ? noErr : eventInternalErr;
}

bool PortalHotkeyEventServices::canEditHotKeyBindings() {
    return version_ >= 2 && !session_.handle().empty();
}

void PortalHotkeyEventServices::editHotKeyBindings() {
    if (!canEditHotKeyBindings()) {
        return;
    }
    g_dbus_connection_call(
        bus_.get(), portal::busName, portal::objectPath, portal::globalShortcuts,
        "ConfigureShortcuts", g_variant_new("(osa{sv})", session_.handle().c_str(), "", nullptr),
        nullptr, G_DBUS_CALL_FLAGS_NO_AUTO_START, plainCallTimeoutMs, nullptr, nullptr, nullptr);
}

// Registrations come one by one: the session hears of them together.
void PortalHotkeyEventServices::bindSoon() {
    if (!bindSource_) {
        bindSource_.reset(g_idle_add(
            [](gpointer self) -> gboolean {
                auto* services = static_cast<PortalHotkeyEventServices*>(self);
                services->bindSource_.forget();
                std::vector<std::string> ids;
                for (const auto& shortcut : services->shortcuts_) {
                    ids.push_back(shortcut->name);
                }
                services->session_.setShortcuts(std::move(ids));
                return G_SOURCE_REMOVE;
            },
            this));
    }
}

// --- The portal's owner ------------------------------------------------------

void PortalHotkeyEventServices::portalReady(GDBusConnection* bus,
                                            const PortalShortcutSession::Portal& portal) {
    bus_.reset(G_DBUS_CONNECTION(g_object_ref(bus)));
    version_ = portal.version;
    signals_.listen(bus);
    session_.portalReady(portal);
}

// Its session and requests go with an owner; the next one starts afresh.
void PortalHotkeyEventServices::portalEnded(bool first) {
    request_.reset(); // closes its request while the connection is there
    signals_.stop();
    bus_.reset();
    version_ = 0;
    session_.portalEnded(first);
}

// --- Requests ----------------------------------------------------------------

void PortalHotkeyEventServices::ask(PortalShortcutSession::Request request) {
    request_ = std::make_unique<PortalRequest>(
        bus_.get(), portal::globalShortcuts, methodOf(request),
        [this, request](const char* token) { return arguments(request, token); },
        [this, request](guint32 response, GVariant* results) {
            answered(request, response, results);
        },
        [this](const std::string& why) { session_.requestFailed(why); });
}

GVariant* PortalHotkeyEventServices::arguments(PortalShortcutSession::Request request,
                                               const char* token) const {
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token));
    switch (request) {
    case PortalShortcutSession::Request::createSession:
        g_variant_builder_add(&options, "{sv}", "session_handle_token",
                              g_variant_new_string(sessionToken));
        return g_variant_new("(a{sv})", &options);
    case PortalShortcutSession::Request::listShortcuts:
        return g_variant_new("(oa{sv})", session_.handle().c_str(), &options);
    case PortalShortcutSession::Request::bindShortcuts:
        break;
    }
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
    return g_variant_new("(oa(sa{sv})sa{sv})", session_.handle().c_str(), &list, "", &options);
}

void PortalHotkeyEventServices::answered(PortalShortcutSession::Request request, guint32 response,
                                         GVariant* results) {
    switch (request) {
    case PortalShortcutSession::Request::createSession:
        session_.created(response, sessionHandleIn(results));
        return;
    case PortalShortcutSession::Request::bindShortcuts:
        session_.bound(response);
        return;
    case PortalShortcutSession::Request::listShortcuts:
        break;
    }
    const GVariantPtr listed(g_variant_lookup_value(results, "shortcuts", nullptr));
    if (!listed) {
        session_.listed(ListedTriggers{});
    } else if (!g_variant_is_of_type(listed.get(), G_VARIANT_TYPE("a(sa{sv})"))) {
        session_.listed(std::nullopt, g_variant_get_type_string(listed.get()));
    } else {
        session_.listed(triggersIn(listed.get()));
    }
}

// --- What the session decided ------------------------------------------------

// The menu names the keys the desktop bound.
void PortalHotkeyEventServices::applyTriggers(const ListedTriggers& triggers) {
    bool changed = false;
    for (const auto& shortcut : shortcuts_) {
        const auto listed = triggers.find(shortcut->name);
        const std::string trigger = listed == triggers.end() ? "" : listed->second;
        HotKeyBinding binding = trigger.empty() ? HotKeyBinding{} : bindingForTrigger(trigger);
        if (binding.description != shortcut->binding.description) {
            shortcut->binding = std::move(binding);
            changed = true;
        }
    }
    if (changed) {
        bindingsChanged();
    }
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
    keysOff_(why, registered);
}

// Nothing in the menu or the keys says so: the listener must be told.
void PortalHotkeyEventServices::tellKeysLost() {
    const std::string why = GettextStrings::translate(
        N_("The station keys are off since the desktop portal restarted: GNOME keeps the keys "
           "with the ended portal's session until the next login. Log in again, or give "
           "\u201ctunora --slot N\u201d (N = 1..5) keys of their own in the keyboard settings."));
    if (problems_) {
        problems_->report(why);
    } else {
        g_message("%s", why.c_str());
    }
}

void PortalHotkeyEventServices::press(const std::string& id) {
    for (const auto& shortcut : shortcuts_) {
        if (shortcut->name == id) {
            dispatch(shortcut->target, shortcut->id);
            return;
        }
    }
}

} // namespace tunora
