#pragma once

#include <filesystem>
#include <optional>

namespace tunora::xdg {

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
std::filesystem::path configHome();

// $XDG_RUNTIME_DIR when set and absolute; none otherwise.
std::optional<std::filesystem::path> runtimeDir();

} // namespace tunora::xdg
