#include "linux/app/InstanceCommandServer.h"

#include <memory>
#include <string>

namespace tunora {
namespace {

constexpr const char* introspection = R"(<node>
  <interface name="org.tunora.Tunora">
    <method name="Station"><arg direction="in" name="Id" type="s"/></method>
    <method name="Slot"><arg direction="in" name="Number" type="i"/></method>
    <method name="PlayPause"/>
    <method name="Play"/>
    <method name="Pause"/>
    <method name="Next"/>
    <method name="Previous"/>
    <method name="Quit"/>
    <method name="Status">
      <arg direction="out" name="State" type="s"/>
      <arg direction="out" name="StationId" type="s"/>
      <arg direction="out" name="StationName" type="s"/>
      <arg direction="out" name="SongTitle" type="s"/>
    </method>
  </interface>
</node>)";

struct NodeInfoUnref {
    void operator()(GDBusNodeInfo* info) const { g_dbus_node_info_unref(info); }
};

GDBusInterfaceInfo* interfaceInfo() {
    static const std::unique_ptr<GDBusNodeInfo, NodeInfoUnref> info(
        g_dbus_node_info_new_for_xml(introspection, nullptr));
    return info->interfaces[0];
}

const char* stateName(PlayerStatus::State state) {
    switch (state) {
    case PlayerStatus::State::playing:
        return "playing";
    case PlayerStatus::State::paused:
        return "paused";
    case PlayerStatus::State::stopped:
        break;
    }
    return "stopped";
}

// D-Bus strings must be UTF-8; a song title is whatever the station sent.
std::string utf8(const std::string& text) {
    const GCharPtr valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
    return valid.get();
}

const std::map<std::string, RemoteCommand>& mediaMethods() {
    static const std::map<std::string, RemoteCommand> methods = {
        {"PlayPause", RemoteCommand::togglePlayPause},
        {"Play", RemoteCommand::play},
        {"Pause", RemoteCommand::pause},
        {"Next", RemoteCommand::nextTrack},
        {"Previous", RemoteCommand::previousTrack},
    };
    return methods;
}

} // namespace

InstanceCommandServer::~InstanceCommandServer() {
    if (registration_ != 0) {
        g_dbus_connection_unregister_object(connection_.get(), registration_);
    }
    if (ownerId_ != 0) {
        g_bus_unown_name(ownerId_);
    }
}

void InstanceCommandServer::open(Handlers handlers) {
    handlers_ = std::move(handlers);
    if (ownerId_ == 0) {
        // The object is registered before the name is requested, so a later start
        // that sees the name finds the interface behind it.
        ownerId_ =
            g_bus_own_name(G_BUS_TYPE_SESSION, busName, G_BUS_NAME_OWNER_FLAGS_NONE,
                           &InstanceCommandServer::onBusAcquired, nullptr, nullptr, this, nullptr);
    }
}

void InstanceCommandServer::addHandler(RemoteCommand command, Handler handler) {
    commands_[command].push_back(std::move(handler));
}

void InstanceCommandServer::onBusAcquired(GDBusConnection* connection, const gchar*,
                                          gpointer self) {
    auto* server = static_cast<InstanceCommandServer*>(self);
    server->connection_.reset(G_DBUS_CONNECTION(g_object_ref(connection)));
    static const GDBusInterfaceVTable vtable = {
        &InstanceCommandServer::onMethodCall, nullptr, nullptr, {}};
    server->registration_ = g_dbus_connection_register_object(
        connection, objectPath, interfaceInfo(), &vtable, server, nullptr, nullptr);
}

RemoteCommandHandlerStatus InstanceCommandServer::perform(RemoteCommand command) {
    auto status = RemoteCommandHandlerStatus::commandFailed; // no handler: not done
    for (const Handler& handler : commands_[command]) {
        status = handler();
        if (status == RemoteCommandHandlerStatus::commandFailed) {
            break;
        }
    }
    return status;
}

void InstanceCommandServer::onMethodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                         const gchar* method, GVariant* parameters,
                                         GDBusMethodInvocation* invocation, gpointer self) {
    auto* server = static_cast<InstanceCommandServer*>(self);
    const std::string name(method);
    if (name == "Status") {
        return server->status(invocation);
    }
    if (name == "Quit" && server->quit_) {
        g_dbus_method_invocation_return_value(invocation, nullptr);
        server->quit_(); // the loop ends, and the answer goes out before the process does
        return;
    }
    auto status = RemoteCommandHandlerStatus::commandFailed;
    if (const auto media = mediaMethods().find(name); media != mediaMethods().end()) {
        status = server->perform(media->second);
    } else if (name == "Station" && server->handlers_.selectChannel) {
        const gchar* id = nullptr;
        g_variant_get(parameters, "(&s)", &id);
        status = server->handlers_.selectChannel(id);
    } else if (name == "Slot" && server->handlers_.pressSlot) {
        gint32 number = 0;
        g_variant_get(parameters, "(i)", &number);
        status = server->handlers_.pressSlot(number - 1); // the user counts from 1
    }
    if (status == RemoteCommandHandlerStatus::commandFailed) {
        g_dbus_method_invocation_return_dbus_error(invocation, failedError,
                                                   ("Tunora cannot do " + name + " now").c_str());
        return;
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

void InstanceCommandServer::status(GDBusMethodInvocation* invocation) const {
    const PlayerStatus status = handlers_.status ? handlers_.status() : PlayerStatus{};
    g_dbus_method_invocation_return_value(
        invocation, g_variant_new("(ssss)", stateName(status.state), status.channelId.c_str(),
                                  status.channelName.c_str(), utf8(status.songTitle).c_str()));
}

} // namespace tunora
