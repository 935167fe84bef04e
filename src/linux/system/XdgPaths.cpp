#include "linux/system/XdgPaths.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace tunora::xdg {
namespace {

std::optional<std::filesystem::path> absoluteFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt; // the XDG rules say relative values are to be ignored
    }
    return std::filesystem::path(value);
}

std::filesystem::path homeDirectory() {
    if (auto home = absoluteFromEnvironment("HOME")) {
        return *home;
    }
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
        return entry->pw_dir;
    }
    return "/";
}

} // namespace

std::filesystem::path configHome() {
    if (auto config = absoluteFromEnvironment("XDG_CONFIG_HOME")) {
        return *config;
    }
    return homeDirectory() / ".config";
}

std::optional<std::filesystem::path> runtimeDir() {
    return absoluteFromEnvironment("XDG_RUNTIME_DIR");
}

} // namespace tunora::xdg
