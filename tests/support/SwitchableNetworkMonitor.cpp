#include "support/SwitchableNetworkMonitor.h"

namespace tunora::testing {
namespace {

struct SwitchableMonitor {
    GObject parent;
    gboolean available;
};
struct SwitchableMonitorClass {
    GObjectClass parent;
};
enum { propertyAvailable = 1, propertyMetered, propertyConnectivity };

void switchableMonitorInterface(GNetworkMonitorInterface*) {}
gboolean switchableMonitorInit(GInitable*, GCancellable*, GError**) {
    return TRUE;
}
void switchableMonitorInitable(GInitableIface* iface) {
    iface->init = switchableMonitorInit;
}

G_DEFINE_TYPE_WITH_CODE(SwitchableMonitor, switchable_monitor, G_TYPE_OBJECT,
                        G_IMPLEMENT_INTERFACE(G_TYPE_INITABLE, switchableMonitorInitable)
                            G_IMPLEMENT_INTERFACE(G_TYPE_NETWORK_MONITOR,
                                                  switchableMonitorInterface))

void switchable_monitor_init(SwitchableMonitor* monitor) {
    monitor->available = TRUE;
}
void switchableMonitorGet(GObject* object, guint id, GValue* value, GParamSpec*) {
    const auto* monitor = reinterpret_cast<SwitchableMonitor*>(object);
    if (id == propertyAvailable) {
        g_value_set_boolean(value, monitor->available);
    } else if (id == propertyMetered) {
        g_value_set_boolean(value, FALSE);
    } else {
        g_value_set_enum(value, monitor->available ? G_NETWORK_CONNECTIVITY_FULL
                                                   : G_NETWORK_CONNECTIVITY_LOCAL);
    }
}
void switchable_monitor_class_init(SwitchableMonitorClass* klass) {
    auto* objectClass = G_OBJECT_CLASS(klass);
    objectClass->get_property = switchableMonitorGet;
    g_object_class_override_property(objectClass, propertyAvailable, "network-available");
    g_object_class_override_property(objectClass, propertyMetered, "network-metered");
    g_object_class_override_property(objectClass, propertyConnectivity, "connectivity");
}

} // namespace

GObjectPtr<GNetworkMonitor> makeSwitchableNetworkMonitor() {
    return GObjectPtr<GNetworkMonitor>(
        G_NETWORK_MONITOR(g_object_new(switchable_monitor_get_type(), nullptr)));
}

void switchNetwork(GNetworkMonitor* monitor, bool available) {
    reinterpret_cast<SwitchableMonitor*>(monitor)->available = available;
    g_signal_emit_by_name(monitor, "network-changed", gboolean(available));
}

} // namespace tunora::testing
