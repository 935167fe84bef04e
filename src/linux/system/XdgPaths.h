#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tunora::xdg {

// $XDG_CONFIG_HOME, or ~/.config when it is unset or not absolute.
std::filesystem::path configHome();

// $XDG_CACHE_HOME, or ~/.cache when it is unset or not absolute.
std::filesystem::path cacheHome();

// A path as the listener would type it: "~/…" for one in their home folder.
std::string shownPath(const std::filesystem::path& path);

// $XDG_STATE_HOME, or ~/.local/state when it is unset or not absolute.
std::filesystem::path stateHome();

// $XDG_RUNTIME_DIR when set and absolute; none otherwise.
std::optional<std::filesystem::path> runtimeDir();

// The program's private folder for the session's files (the
// instance lock): $XDG_RUNTIME_DIR/tunora, or $XDG_CACHE_HOME/tunora without a
// runtime dir. Made 0700 and checked to be a real folder of this user, not a
// link; none (with the reason in `problem`) when that cannot be had.
std::optional<std::filesystem::path> privateRuntimeFolder(std::string& problem);

} // namespace tunora::xdg
