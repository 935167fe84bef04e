#pragma once

#include <optional>
#include <string>

namespace tunora {

// The value of environment variable `name`; none when it is unset or empty,
// which the desktop's own tools treat alike.
std::optional<std::string> nonEmptyVariable(const char* name);

} // namespace tunora
