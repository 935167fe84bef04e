#include "linux/tray/StatusNotifierItem.h"

#include "linux/glib/DBusReply.h"
#include "linux/strings/Markup.h"

#include <cstring>
#include <unistd.h>

namespace tunora {
namespace {

constexpr const char* itemInterface = "org.kde.StatusNotifierItem";
// Registered by this path, which watchers pair with the sender: hosts that key
// their items by sender and path (GNOME's AppIndicator extension) then carry
// the program's name, as in its settings and in looking-glass.
constexpr const char* itemPath = "/org/tunora/StatusNotifierItem";
constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";
// waybar passes on GTK's double-click event as one more SecondaryActivate, at
// once after the second click's: calls this close together are one click.
constexpr guint oneClickMs = 40;

constexpr const char* introspection = R"xml(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <property name="XAyatanaLabel" type="s" access="read"/>
  <property name="XAyatanaLabelGuide" type="s" access="read"/>
  <property name="XAyatanaOrderingIndex" type="u" access="read"/>
  <method name="ContextMenu"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="Activate"><arg type="i" direction="in"/><arg type="i" direction="in"/></method>
  <method name="SecondaryActivate">
   <arg type="i" direction="in"/><arg type="i" direction="in"/>
  </method>
  <method name="Scroll"><arg type="i" direction="in"/><arg type="s" direction="in"/></method>
  <method name="ProvideXdgActivationToken"><arg type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg type="s"/></signal>
  <signal name="XAyatanaNewLabel"><arg type="s"/><arg type="s"/></signal>
 </interface>
</node>)xml";

GDBusInterfaceInfo* interfaceInfo() {
    static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(introspection, nullptr);
    return node->interfaces[0];
}

std::string uniqueBusName() {
    static int items = 0;
    return "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" + std::to_string(++items);
}

GVariant* noPixmaps() {
    return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0);
}

// Compared as bytes: g_variant_equal compares containers by printing both as
// text, which for the pictures' tens of kilobytes took most of a start-up.
bool sameBytes(GVariant* a, GVariant* b) {
    return g_variant_is_of_type(a, g_variant_get_type(b)) &&
           g_variant_get_size(a) == g_variant_get_size(b) &&
           std::memcmp(g_variant_get_data(a), g_variant_get_data(b), g_variant_get_size(a)) == 0;
}

} // namespace

StatusNotifierItem::StatusNotifierItem(std::string menuPath, Callbacks callbacks)
    : menuPath_(std::move(menuPath)), callbacks_(std::move(callbacks)), busName_(uniqueBusName()),
      hostProgram_([this](const std::string& program) { hostFound(program); }),
      pixmaps_(g_variant_ref_sink(noPixmaps())), cancellable_(g_cancellable_new()) {
    ownerId_ = g_bus_own_name(G_BUS_TYPE_SESSION, busName_.c_str(), G_BUS_NAME_OWNER_FLAGS_NONE,
                              &StatusNotifierItem::onBusAcquired, nullptr,
                              &StatusNotifierItem::onNameLost, this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
    g_cancellable_cancel(cancellable_.get());
    if (watcherId_ != 0) {
        g_bus_unwatch_name(watcherId_);
    }
    if (objectId_ != 0) {
        g_dbus_connection_unregister_object(bus_.get(), objectId_);
    }
    if (hostSubscription_ != 0) {
        g_dbus_connection_signal_unsubscribe(bus_.get(), hostSubscription_);
    }
    g_bus_unown_name(ownerId_);
}

void StatusNotifierItem::onBusAcquired(GDBusConnection* bus, const gchar*, gpointer data) {
    auto* self = static_cast<StatusNotifierItem*>(data);
    self->bus_.reset(G_DBUS_CONNECTION(g_object_ref(bus)));
    static const GDBusInterfaceVTable vtable{
        &StatusNotifierItem::onMethodCall, &StatusNotifierItem::onGetProperty, nullptr, {}};
    self->objectId_ = g_dbus_connection_register_object(bus, itemPath, interfaceInfo(), &vtable,
                                                        self, nullptr, nullptr);
    // A host may come after the watcher (Plasma's shell after kded).
    self->hostSubscription_ = g_dbus_connection_signal_subscribe(
        bus, watcherName, watcherName, "StatusNotifierHostRegistered", "/StatusNotifierWatcher",
        nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &StatusNotifierItem::onHostRegistered, self, nullptr);
    // The watcher checks the name it is given: the request for it goes out when
    // this returns, before the watcher's owner is known, so it is handled first.
    self->watcherId_ = g_bus_watch_name_on_connection(
        bus, watcherName, G_BUS_NAME_WATCHER_FLAGS_NONE, &StatusNotifierItem::onWatcherAppeared,
        &StatusNotifierItem::onWatcherVanished, self, nullptr);
}

// Without a session bus (or with the name taken) no panel can find the item.
void StatusNotifierItem::onNameLost(GDBusConnection*, const gchar*, gpointer self) {
    static_cast<StatusNotifierItem*>(self)->setRegistered(false);
}

void StatusNotifierItem::onWatcherAppeared(GDBusConnection*, const gchar*, const gchar*,
                                           gpointer data) {
    auto* self = static_cast<StatusNotifierItem*>(data);
    self->registerWithWatcher();
    self->hostProgram_.lookUp(self->bus_.get());
}

void StatusNotifierItem::onHostRegistered(GDBusConnection*, const gchar*, const gchar*,
                                          const gchar*, const gchar*, GVariant*, gpointer data) {
    auto* self = static_cast<StatusNotifierItem*>(data);
    self->hostProgram_.lookUp(self->bus_.get());
}

void StatusNotifierItem::hostFound(const std::string& program) {
    const TrayHostConventions host = trayHostConventions(program);
    g_debug("the tray item's host is %s", program.empty() ? "unknown" : program.c_str());
    const bool toolTipChanges = host.toolTip != host_.toolTip;
    host_ = host;
    if (toolTipChanges) {
        emit("NewToolTip");
    }
}

void StatusNotifierItem::onWatcherVanished(GDBusConnection*, const gchar*, gpointer self) {
    static_cast<StatusNotifierItem*>(self)->setRegistered(false);
}

void StatusNotifierItem::registerWithWatcher() {
    g_dbus_connection_call(bus_.get(), watcherName, "/StatusNotifierWatcher", watcherName,
                           "RegisterStatusNotifierItem", g_variant_new("(s)", itemPath), nullptr,
                           G_DBUS_CALL_FLAGS_NONE, -1, cancellable_.get(),
                           &StatusNotifierItem::onRegistered, this);
}

void StatusNotifierItem::onRegistered(GObject* bus, GAsyncResult* result, gpointer self) {
    const DBusReply reply = DBusReply::finish(bus, result);
    if (reply.cancelled()) {
        return; // the item is gone
    }
    if (reply.error) {
        g_warning("the StatusNotifierWatcher refused the tray item: %s", reply.error->message);
    }
    static_cast<StatusNotifierItem*>(self)->setRegistered(!reply.error);
}

void StatusNotifierItem::setRegistered(bool registered) {
    if (callbacks_.registrationChanged) {
        callbacks_.registrationChanged(registered);
    }
}

void StatusNotifierItem::onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                      const gchar* method, GVariant* parameters,
                                      GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<StatusNotifierItem*>(data);
    const std::string name(method);
    if (name == "Activate") {
        gint32 x = 0;
        gint32 y = 0;
        g_variant_get(parameters, "(ii)", &x, &y);
        if (!self->callbacks_.activate || !self->callbacks_.activate(x, y)) {
            // COSMIC opens the exported menu only when told that Activate failed.
            g_dbus_method_invocation_return_error_literal(
                invocation, G_DBUS_ERROR, G_DBUS_ERROR_NOT_SUPPORTED,
                "this item has only its menu, which the host opens");
            return;
        }
    }
    // Answered first: what the call does may take a while (a stream to open).
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (name == "SecondaryActivate" && self->callbacks_.secondaryActivate) {
        if (!self->secondaryActivate_) {
            self->secondaryActivate_.reset(
                g_timeout_add(oneClickMs, &StatusNotifierItem::onSecondaryActivateDue, self));
        }
    } else if (name == "Scroll" && self->callbacks_.scroll) {
        gint32 delta = 0;
        const gchar* orientation = nullptr;
        g_variant_get(parameters, "(i&s)", &delta, &orientation);
        if (const int steps = scrollSteps(self->host_.wheel, delta, orientation)) {
            self->callbacks_.scroll(steps);
        }
    }
    // ContextMenu: the panel opens the menu itself (ItemIsMenu).
}

gboolean StatusNotifierItem::onSecondaryActivateDue(gpointer data) {
    auto* self = static_cast<StatusNotifierItem*>(data);
    self->secondaryActivate_.forget();
    self->callbacks_.secondaryActivate();
    return G_SOURCE_REMOVE;
}

GVariant* StatusNotifierItem::onGetProperty(GDBusConnection*, const gchar*, const gchar*,
                                            const gchar*, const gchar* property, GError**,
                                            gpointer self) {
    return static_cast<StatusNotifierItem*>(self)->property(property);
}

GVariant* StatusNotifierItem::property(const std::string& name) const {
    if (name == "Category") {
        return g_variant_new_string("ApplicationStatus");
    }
    if (name == "Id") {
        return g_variant_new_string("tunora");
    }
    if (name == "Title") {
        return g_variant_new_string(title_.c_str());
    }
    if (name == "Status") {
        return g_variant_new_string("Active");
    }
    if (name == "WindowId") {
        return g_variant_new_int32(0);
    }
    if (name == "IconPixmap") {
        return g_variant_ref(pixmaps_.get());
    }
    if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") {
        return noPixmaps();
    }
    if (name == "ToolTip") {
        const ToolTipTexts texts =
            toolTipFor(host_.toolTip, toolTipTitle_, toolTipText_, &markupEscaped);
        return g_variant_new("(s@a(iiay)ss)", "", pixmaps_.get(), texts.title.c_str(),
                             texts.text.c_str());
    }
    if (name == "ItemIsMenu") {
        return g_variant_new_boolean(TRUE);
    }
    if (name == "Menu") {
        return g_variant_new_object_path(menuPath_.c_str());
    }
    if (name == "XAyatanaLabel" || name == "XAyatanaLabelGuide") {
        return g_variant_new_string(label_.c_str());
    }
    if (name == "XAyatanaOrderingIndex") {
        return g_variant_new_uint32(0);
    }
    return g_variant_new_string(""); // the icon names: the picture comes as pixels
}

void StatusNotifierItem::emit(const char* signal, GVariant* arguments) {
    if (!bus_ || objectId_ == 0) {
        if (arguments != nullptr) {
            g_variant_unref(g_variant_ref_sink(arguments));
        }
        return;
    }
    g_dbus_connection_emit_signal(bus_.get(), nullptr, itemPath, itemInterface, signal, arguments,
                                  nullptr);
}

// The core hands over a new picture with each menu it builds, mostly the same
// pixels: panels then need not fetch them again.
void StatusNotifierItem::setIconPixmaps(GVariant* pixmaps) {
    GVariantPtr taken(g_variant_ref_sink(pixmaps));
    if (sameBytes(taken.get(), pixmaps_.get())) {
        return;
    }
    pixmaps_ = std::move(taken);
    emit("NewIcon");
    emit("NewToolTip"); // its picture is the item's
}

void StatusNotifierItem::setTitle(const std::string& title) {
    if (title != title_) {
        title_ = title;
        emit("NewTitle");
    }
}

void StatusNotifierItem::setToolTip(const std::string& title, const std::string& text) {
    if (title != toolTipTitle_ || text != toolTipText_) {
        toolTipTitle_ = title;
        toolTipText_ = text;
        emit("NewToolTip");
    }
}

void StatusNotifierItem::setLabel(const std::string& label) {
    if (label != label_) {
        label_ = label;
        emit("XAyatanaNewLabel", g_variant_new("(ss)", label_.c_str(), label_.c_str()));
    }
}

} // namespace tunora
