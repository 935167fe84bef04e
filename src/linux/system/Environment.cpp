#include "linux/system/Environment.h"

#include <cstdlib>

namespace tunora {

std::optional<std::string> nonEmptyVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] == '\0') {
        return std::nullopt;
    }
    return std::string(value);
}

bool inWaylandSession() {
    return nonEmptyVariable("WAYLAND_DISPLAY") || nonEmptyVariable("XDG_SESSION_TYPE") == "wayland";
}

} // namespace tunora
