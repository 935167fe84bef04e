#include "linux/hotkeys/PortalHotkeyEventServices.h"

#include "linux/strings/GettextStrings.h"

#include <algorithm>

namespace tunora {
namespace {

constexpr const char* portalName = "org.freedesktop.portal.Desktop";
constexpr const char* portalPath = "/org/freedesktop/portal/desktop";
constexpr const char* shortcutsInterface = "org.freedesktop.portal.GlobalShortcuts";

// The trigger in the notation of the XDG shortcuts specification, e.g. "ALT+1".
std::string triggerFor(std::uint32_t modifiers, char digit) {
    std::string trigger;
    const std::pair<std::uint32_t, const char*> names[] = {
        {controlKey, "CTRL+"}, {optionKey, "ALT+"}, {shiftKey, "SHIFT+"}, {cmdKey, "LOGO+"}};
    for (const auto& [bit, name] : names) {
        if (modifiers & bit) {
            trigger += name;
        }
    }
    return trigger + digit;
}

std::string descriptionFor(int number) {
    std::string text = GettextStrings::translate(N_("Play or pause shortcut %d"));
    const auto placeholder = text.find("%d");
    if (placeholder != std::string::npos) {
        text.replace(placeholder, 2, std::to_string(number));
    }
    return text;
}

// The portal's path for a request of this connection: its unique name without
// the colon and with dots as underscores, then the token.
std::string requestPath(GDBusConnection* bus, const std::string& token) {
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    std::replace(sender.begin(), sender.end(), '.', '_');
    return std::string(portalPath) + "/request/" + sender + "/" + token;
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

} // namespace

struct PortalHotkeyEventServices::Shortcut : OpaqueEventHotKey {
    std::string name; // "slot1"
    std::string trigger;
    std::string description;
    EventHotKeyID id;
    EventTargetRef target;
};

// A portal request in flight: listens for its Response from the moment before
// the call, so that a fast answer is never missed.
class PortalHotkeyEventServices::Request {
  public:
    Request(GDBusConnection* bus, unsigned number, std::string path, ResponseHandler onResponse)
        : bus_(bus), number_(number), path_(std::move(path)), onResponse_(std::move(onResponse)) {
        subscribe();
    }
    ~Request() { g_dbus_connection_signal_unsubscribe(bus_, subscription_); }
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    unsigned number() const { return number_; }

    // Older portals may answer on another path than the one asked for.
    void answeredOn(const std::string& path) {
        if (path != path_) {
            g_dbus_connection_signal_unsubscribe(bus_, subscription_);
            path_ = path;
            subscribe();
        }
    }

  private:
    void subscribe() {
        subscription_ = g_dbus_connection_signal_subscribe(
            bus_, portalName, "org.freedesktop.portal.Request", "Response", path_.c_str(), nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, &Request::onResponse, this, nullptr);
    }
    static void onResponse(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                           GVariant* parameters, gpointer self) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) {
            return;
        }
        guint32 response = 2;
        GVariant* results = nullptr;
        g_variant_get(parameters, "(u@a{sv})", &response, &results);
        GVariantPtr owned(results);
        // The handler may end this request (and start the next): take it first.
        ResponseHandler handler = std::move(static_cast<Request*>(self)->onResponse_);
        handler(response, results);
    }

    GDBusConnection* bus_;
    unsigned number_;
    std::string path_;
    ResponseHandler onResponse_;
    guint subscription_ = 0;
};

PortalHotkeyEventServices::PortalHotkeyEventServices() : cancellable_(g_cancellable_new()) {
    nameWatch_ =
        g_bus_watch_name(G_BUS_TYPE_SESSION, portalName, G_BUS_NAME_WATCHER_FLAGS_AUTO_START,
                         &onPortalAppeared, &onPortalVanished, this, nullptr);
}

PortalHotkeyEventServices::~PortalHotkeyEventServices() {
    g_cancellable_cancel(cancellable_.get());
    pending_.reset();
    if (activatedSubscription_ != 0) {
        g_dbus_connection_signal_unsubscribe(bus_.get(), activatedSubscription_);
    }
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
    shortcut->id = id;
    shortcut->target = target;
    std::erase_if(shortcuts_, [&](const auto& other) { return other->name == shortcut->name; });
    *outRef = shortcut.get();
    shortcuts_.push_back(std::move(shortcut));
    bindSoon();
    return noErr;
}

void PortalHotkeyEventServices::onPortalAppeared(GDBusConnection* bus, const gchar*,
                                                 const gchar* owner, gpointer self) {
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    services->portalSeen_ = true;
    if (services->gaveUp_ || services->portalOwner_ == owner) {
        return;
    }
    services->portalOwner_ = owner;
    if (!services->bus_) {
        services->bus_.reset(G_DBUS_CONNECTION(g_object_ref(bus)));
        services->activatedSubscription_ = g_dbus_connection_signal_subscribe(
            bus, portalName, shortcutsInterface, "Activated", portalPath, nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE, &onActivated, services, nullptr);
    }
    services->createSession();
}

void PortalHotkeyEventServices::onPortalVanished(GDBusConnection*, const gchar*, gpointer self) {
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    if (!services->portalSeen_ && !services->gaveUp_) {
        g_message("global shortcuts are off: no desktop portal is running "
                  "(the package xdg-desktop-portal provides it)");
    }
    services->portalSeen_ = true;
    // Its sessions and requests went with it; a new owner gets a new session.
    services->portalOwner_.clear();
    services->session_.clear();
    services->pending_.reset();
}

void PortalHotkeyEventServices::onActivated(GDBusConnection*, const gchar*, const gchar*,
                                            const gchar*, const gchar*, GVariant* parameters,
                                            gpointer self) {
    auto* services = static_cast<PortalHotkeyEventServices*>(self);
    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) {
        return;
    }
    const gchar* session = nullptr;
    const gchar* name = nullptr;
    g_variant_get(parameters, "(&o&st@a{sv})", &session, &name, nullptr, nullptr);
    if (services->session_.empty() || services->session_ != session) {
        return; // another program's session
    }
    for (const auto& shortcut : services->shortcuts_) {
        if (shortcut->name == name) {
            services->dispatch(shortcut->target, shortcut->id);
            return;
        }
    }
}

void PortalHotkeyEventServices::ask(
    const char* method, const std::function<GVariant*(const std::string& token)>& arguments,
    ResponseHandler onResponse) {
    const unsigned number = ++tokens_;
    const std::string token = "tunora" + std::to_string(number);
    pending_ = std::make_unique<Request>(bus_.get(), number, requestPath(bus_.get(), token),
                                         std::move(onResponse));
    g_dbus_connection_call(bus_.get(), portalName, portalPath, shortcutsInterface, method,
                           arguments(token), G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NO_AUTO_START,
                           -1, cancellable_.get(), &PortalHotkeyEventServices::onAsked,
                           new std::pair<PortalHotkeyEventServices*, unsigned>(this, number));
}

void PortalHotkeyEventServices::onAsked(GObject* bus, GAsyncResult* result, gpointer data) {
    const std::unique_ptr<std::pair<PortalHotkeyEventServices*, unsigned>> asked(
        static_cast<std::pair<PortalHotkeyEventServices*, unsigned>*>(data));
    GError* rawError = nullptr;
    GVariantPtr reply(g_dbus_connection_call_finish(G_DBUS_CONNECTION(bus), result, &rawError));
    GErrorPtr error(rawError);
    if (g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
        return; // the services are gone
    }
    auto* services = asked->first;
    if (!reply) {
        // A portal that went away comes back as a new owner; anything else is its answer.
        if (!g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_SERVICE_UNKNOWN) &&
            !g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NAME_HAS_NO_OWNER) &&
            !g_error_matches(error.get(), G_DBUS_ERROR, G_DBUS_ERROR_NO_REPLY) &&
            !g_error_matches(error.get(), G_IO_ERROR, G_IO_ERROR_CLOSED)) {
            g_dbus_error_strip_remote_error(error.get());
            services->giveUp(std::string("the desktop portal offers none (") + error->message +
                             ")");
        }
        return;
    }
    const gchar* handle = nullptr;
    g_variant_get(reply.get(), "(&o)", &handle);
    if (services->pending_ && services->pending_->number() == asked->second) {
        services->pending_->answeredOn(handle);
    }
}

void PortalHotkeyEventServices::createSession() {
    session_.clear();
    ask(
        "CreateSession",
        [this](const std::string& token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE_VARDICT);
            g_variant_builder_add(&options, "{sv}", "handle_token",
                                  g_variant_new_string(token.c_str()));
            g_variant_builder_add(
                &options, "{sv}", "session_handle_token",
                g_variant_new_string(("tunora_session" + std::to_string(tokens_)).c_str()));
            return g_variant_new("(a{sv})", &options);
        },
        [this](guint32 response, GVariant* results) {
            pending_.reset();
            session_ = response == 0 ? sessionHandleIn(results) : "";
            if (session_.empty()) {
                giveUp(response == 1 ? "the desktop did not allow them"
                                     : "the desktop portal could not make a session");
                return;
            }
            bindShortcuts();
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
// when it is.
void PortalHotkeyEventServices::bindShortcuts() {
    if (gaveUp_ || session_.empty() || pending_ || shortcuts_.empty()) {
        return;
    }
    ask(
        "BindShortcuts",
        [this](const std::string& token) {
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
            g_variant_builder_add(&options, "{sv}", "handle_token",
                                  g_variant_new_string(token.c_str()));
            return g_variant_new("(oa(sa{sv})sa{sv})", session_.c_str(), &list, "", &options);
        },
        [this](guint32 response, GVariant*) {
            pending_.reset();
            if (response == 1) {
                giveUp("the desktop did not allow them");
            } else if (response != 0) {
                giveUp("the desktop portal could not bind them");
            }
        });
}

void PortalHotkeyEventServices::giveUp(const std::string& why) {
    if (!gaveUp_) {
        g_message("global shortcuts are off: %s", why.c_str());
    }
    gaveUp_ = true;
    pending_.reset();
}

} // namespace tunora
