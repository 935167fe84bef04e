#pragma once

#include <optional>
#include <string>

namespace tunora {

// The value of environment variable `name`; none when it is unset or empty,
// which the desktop's own tools treat alike.
std::optional<std::string> nonEmptyVariable(const char* name);

// Whether the session is a Wayland one (WAYLAND_DISPLAY set, or
// XDG_SESSION_TYPE=wayland): no key grabs, no placing windows on the screen.
bool inWaylandSession();

} // namespace tunora
