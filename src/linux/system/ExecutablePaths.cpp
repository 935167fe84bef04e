#include "linux/system/ExecutablePaths.h"

namespace tunora::paths {
namespace {

std::filesystem::path firstExisting(const std::filesystem::path& installed,
                                    const std::filesystem::path& buildTree) {
    std::error_code error;
    return std::filesystem::is_directory(installed, error) ? installed : buildTree;
}

} // namespace

std::filesystem::path executable() {
    std::error_code error;
    auto path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path("tunora") : path;
}

std::filesystem::path dataDirectory() {
    const auto directory = executable().parent_path();
    return firstExisting(directory.parent_path() / "share" / "tunora", directory / "data");
}

std::filesystem::path localeDirectory() {
    const auto directory = executable().parent_path();
    return firstExisting(directory.parent_path() / "share" / "locale", directory / "locale");
}

} // namespace tunora::paths
