#include "linux/system/XdgPaths.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Files.h"

#include <cstdlib>
#include <pwd.h>
#include <sys/stat.h>
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

std::string shownPath(const std::filesystem::path& path) {
    const std::string home = homeDirectory().string();
    const std::string text = path.string();
    if (home.size() > 1 && text.starts_with(home) && text.size() > home.size() &&
        text[home.size()] == '/') {
        return "~" + text.substr(home.size());
    }
    return text;
}

std::filesystem::path cacheHome() {
    if (auto cache = absoluteFromEnvironment("XDG_CACHE_HOME")) {
        return *cache;
    }
    return homeDirectory() / ".cache";
}

std::filesystem::path stateHome() {
    if (auto state = absoluteFromEnvironment("XDG_STATE_HOME")) {
        return *state;
    }
    return homeDirectory() / ".local" / "state";
}

std::optional<std::filesystem::path> runtimeDir() {
    return absoluteFromEnvironment("XDG_RUNTIME_DIR");
}

std::optional<std::filesystem::path> privateRuntimeFolder(std::string& problem) {
    const std::filesystem::path folder = runtimeDir().value_or(cacheHome()) / "tunora";
    if (!files::makePrivateFolders(folder, problem)) {
        return std::nullopt;
    }
    struct stat info{};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) {
        problem = fillIn(GettextStrings::translate(N_("{} is not a folder of this user")),
                         folder.string());
        return std::nullopt;
    }
    if ((info.st_mode & 077) != 0) {
        ::chmod(folder.c_str(), 0700);
    }
    return folder;
}

} // namespace tunora::xdg
