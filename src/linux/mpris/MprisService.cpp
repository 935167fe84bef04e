#include "linux/mpris/MprisService.h"

#include <memory>

namespace tunora {
namespace {

constexpr const char* rootInterface = "org.mpris.MediaPlayer2";
constexpr const char* playerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* commandFailedError = "org.mpris.MediaPlayer2.tunora.Error.Failed";

constexpr const char* introspection = R"(<node>
  <interface name="org.mpris.MediaPlayer2">
    <method name="Raise"/>
    <method name="Quit"/>
    <property name="CanQuit" type="b" access="read"/>
    <property name="CanRaise" type="b" access="read"/>
    <property name="HasTrackList" type="b" access="read"/>
    <property name="Identity" type="s" access="read"/>
    <property name="DesktopEntry" type="s" access="read"/>
    <property name="SupportedUriSchemes" type="as" access="read"/>
    <property name="SupportedMimeTypes" type="as" access="read"/>
  </interface>
  <interface name="org.mpris.MediaPlayer2.Player">
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Pause"/>
    <method name="PlayPause"/>
    <method name="Stop"/>
    <method name="Play"/>
    <method name="Seek"><arg direction="in" name="Offset" type="x"/></method>
    <method name="SetPosition">
      <arg direction="in" name="TrackId" type="o"/>
      <arg direction="in" name="Position" type="x"/>
    </method>
    <method name="OpenUri"><arg direction="in" name="Uri" type="s"/></method>
    <signal name="Seeked"><arg name="Position" type="x"/></signal>
    <property name="PlaybackStatus" type="s" access="read"/>
    <property name="Rate" type="d" access="readwrite"/>
    <property name="Metadata" type="a{sv}" access="read"/>
    <property name="Volume" type="d" access="readwrite"/>
    <property name="Position" type="x" access="read"/>
    <property name="MinimumRate" type="d" access="read"/>
    <property name="MaximumRate" type="d" access="read"/>
    <property name="CanGoNext" type="b" access="read"/>
    <property name="CanGoPrevious" type="b" access="read"/>
    <property name="CanPlay" type="b" access="read"/>
    <property name="CanPause" type="b" access="read"/>
    <property name="CanSeek" type="b" access="read"/>
    <property name="CanControl" type="b" access="read"/>
  </interface>
</node>)";

struct NodeInfoUnref {
    void operator()(GDBusNodeInfo* info) const { g_dbus_node_info_unref(info); }
};

GDBusNodeInfo* nodeInfo() {
    static const std::unique_ptr<GDBusNodeInfo, NodeInfoUnref> info(
        g_dbus_node_info_new_for_xml(introspection, nullptr));
    return info.get();
}

GVariant* emptyStringArray() {
    return g_variant_new_strv(nullptr, 0);
}

} // namespace

MprisService::MprisService() {
    ownerId_ = g_bus_own_name(G_BUS_TYPE_SESSION, busName, G_BUS_NAME_OWNER_FLAGS_NONE,
                              &MprisService::onBusAcquired, nullptr, nullptr, this, nullptr);
}

MprisService::~MprisService() {
    for (guint registration : registrations_) {
        g_dbus_connection_unregister_object(connection_.get(), registration);
    }
    if (ownerId_ != 0) {
        g_bus_unown_name(ownerId_);
    }
}

void MprisService::onBusAcquired(GDBusConnection* connection, const gchar*, gpointer self) {
    auto* service = static_cast<MprisService*>(self);
    service->connection_.reset(G_DBUS_CONNECTION(g_object_ref(connection)));
    static const GDBusInterfaceVTable vtable = {&MprisService::onMethodCall,
                                                &MprisService::onGetProperty,
                                                &MprisService::onSetProperty,
                                                {}};
    for (GDBusInterfaceInfo** interface = nodeInfo()->interfaces; *interface != nullptr;
         ++interface) {
        const guint id = g_dbus_connection_register_object(connection, objectPath, *interface,
                                                           &vtable, service, nullptr, nullptr);
        if (id != 0) {
            service->registrations_.push_back(id);
        }
    }
}

void MprisService::setNowPlayingInfo(const NowPlayingInfo& info) {
    const bool first = !info_;
    info_ = info;
    ++publication_;
    if (first) { // a station is current from now on: Next and Previous have somewhere to go
        emitPlayerPropertiesChanged({"Metadata", "CanGoNext", "CanGoPrevious"});
    } else {
        emitPlayerPropertiesChanged({"Metadata"});
    }
}

void MprisService::setPlaybackState(PlaybackState state) {
    state_ = state;
    emitPlayerPropertiesChanged({"PlaybackStatus"});
}

void MprisService::addHandler(RemoteCommand command, Handler handler) {
    handlers_[command].push_back(std::move(handler));
}

void MprisService::callCommand(RemoteCommand command, GDBusMethodInvocation* invocation) {
    auto status = RemoteCommandHandlerStatus::success;
    for (const Handler& handler : handlers_[command]) {
        if (handler() == RemoteCommandHandlerStatus::commandFailed) {
            status = RemoteCommandHandlerStatus::commandFailed;
        }
    }
    if (status == RemoteCommandHandlerStatus::commandFailed) {
        g_dbus_method_invocation_return_dbus_error(invocation, commandFailedError,
                                                   "No station to play or step from");
        return;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

void MprisService::onMethodCall(GDBusConnection*, const gchar*, const gchar*,
                                const gchar* interface, const gchar* method, GVariant*,
                                GDBusMethodInvocation* invocation, gpointer self) {
    auto* service = static_cast<MprisService*>(self);
    const std::string name(method);
    if (g_strcmp0(interface, playerInterface) == 0) {
        if (name == "Play") {
            return service->callCommand(RemoteCommand::play, invocation);
        }
        if (name == "Pause") {
            return service->callCommand(RemoteCommand::pause, invocation);
        }
        if (name == "PlayPause") {
            return service->callCommand(RemoteCommand::togglePlayPause, invocation);
        }
        if (name == "Next") {
            return service->callCommand(RemoteCommand::nextTrack, invocation);
        }
        if (name == "Previous") {
            return service->callCommand(RemoteCommand::previousTrack, invocation);
        }
    }
    // Raise, Stop, Seek, SetPosition, OpenUri: nothing to do.
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (g_strcmp0(interface, rootInterface) == 0 && name == "Quit" && service->quit_) {
        service->quit_(); // after the answer: it goes out before the process ends
    }
}

GVariant* MprisService::onGetProperty(GDBusConnection*, const gchar*, const gchar*,
                                      const gchar* interface, const gchar* property, GError**,
                                      gpointer self) {
    const auto* service = static_cast<MprisService*>(self);
    return g_strcmp0(interface, rootInterface) == 0 ? service->rootProperty(property)
                                                    : service->playerProperty(property);
}

gboolean MprisService::onSetProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                     const gchar* property, GVariant* value, GError**,
                                     gpointer self) {
    auto* service = static_cast<MprisService*>(self);
    // Rate is fixed (a live stream); its writes are accepted and ignored.
    if (g_strcmp0(property, "Volume") == 0 && g_variant_is_of_type(value, G_VARIANT_TYPE_DOUBLE) &&
        service->volumeHandler_) {
        service->volumeHandler_(g_variant_get_double(value));
    }
    return TRUE;
}

void MprisService::setVolume(double volume) {
    volume_ = volume;
    emitPlayerPropertiesChanged({"Volume"});
}

GVariant* MprisService::rootProperty(const std::string& name) const {
    if (name == "CanQuit") {
        return g_variant_new_boolean(quit_ != nullptr);
    }
    if (name == "CanRaise" || name == "HasTrackList") {
        return g_variant_new_boolean(FALSE);
    }
    if (name == "Identity") {
        return g_variant_new_string("Tunora");
    }
    if (name == "DesktopEntry") {
        return g_variant_new_string("org.tunora.Tunora");
    }
    if (name == "SupportedUriSchemes" || name == "SupportedMimeTypes") {
        return emptyStringArray();
    }
    return nullptr;
}

const char* MprisService::playbackStatus() const {
    if (!state_) {
        return "Stopped";
    }
    return *state_ == PlaybackState::playing ? "Playing" : "Paused";
}

GVariant* MprisService::metadata() const {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a{sv}"));
    if (!info_) {
        g_variant_builder_add(
            &builder, "{sv}", "mpris:trackid",
            g_variant_new_object_path("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
        return g_variant_builder_end(&builder);
    }
    const std::string trackId = "/org/tunora/Track/" + std::to_string(publication_);
    g_variant_builder_add(&builder, "{sv}", "mpris:trackid",
                          g_variant_new_object_path(trackId.c_str()));
    if (auto title = info_->find(nowplaying::title); title != info_->end()) {
        if (const auto* text = std::get_if<std::string>(&title->second)) {
            g_variant_builder_add(&builder, "{sv}", "xesam:title",
                                  g_variant_new_string(text->c_str()));
        }
    }
    if (auto artist = info_->find(nowplaying::artist); artist != info_->end()) {
        if (const auto* text = std::get_if<std::string>(&artist->second)) {
            const gchar* artists[] = {text->c_str()};
            g_variant_builder_add(&builder, "{sv}", "xesam:artist", g_variant_new_strv(artists, 1));
        }
    }
    return g_variant_builder_end(&builder);
}

GVariant* MprisService::playerProperty(const std::string& name) const {
    if (name == "PlaybackStatus") {
        return g_variant_new_string(playbackStatus());
    }
    if (name == "Metadata") {
        return metadata();
    }
    if (name == "Rate" || name == "MinimumRate" || name == "MaximumRate") {
        return g_variant_new_double(1.0);
    }
    if (name == "Volume") {
        return g_variant_new_double(volume_);
    }
    if (name == "Position") {
        return g_variant_new_int64(0);
    }
    if (name == "CanPlay" || name == "CanPause" || name == "CanControl") {
        return g_variant_new_boolean(TRUE);
    }
    if (name == "CanGoNext" || name == "CanGoPrevious") {
        const auto command =
            name == "CanGoNext" ? RemoteCommand::nextTrack : RemoteCommand::previousTrack;
        const auto handlers = handlers_.find(command);
        return g_variant_new_boolean(info_ && handlers != handlers_.end() &&
                                     !handlers->second.empty());
    }
    if (name == "CanSeek") {
        return g_variant_new_boolean(FALSE);
    }
    return nullptr;
}

void MprisService::emitPlayerPropertiesChanged(const std::vector<std::string>& names) {
    if (!connection_) {
        return;
    }
    GVariantBuilder changed;
    g_variant_builder_init(&changed, G_VARIANT_TYPE("a{sv}"));
    for (const std::string& name : names) {
        g_variant_builder_add(&changed, "{sv}", name.c_str(), playerProperty(name));
    }
    g_dbus_connection_emit_signal(connection_.get(), nullptr, objectPath,
                                  "org.freedesktop.DBus.Properties", "PropertiesChanged",
                                  g_variant_new("(sa{sv}as)", playerInterface, &changed, nullptr),
                                  nullptr);
}

} // namespace tunora
