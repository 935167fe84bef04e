#pragma once

// Where the desktop portal is on the session bus, and the interfaces the
// program calls there.
namespace tunora::portal {

constexpr const char* busName = "org.freedesktop.portal.Desktop";
constexpr const char* objectPath = "/org/freedesktop/portal/desktop";
constexpr const char* globalShortcuts = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* registry = "org.freedesktop.host.portal.Registry";
constexpr const char* request = "org.freedesktop.portal.Request";

} // namespace tunora::portal
