#pragma once

#include <filesystem>

namespace tunora {

// Whether the program file belongs to a package that dpkg installed (it is
// listed in infoFolder/tunora.list), as opposed to a build from source run in
// place or installed with `cmake --install`.
bool installedByDpkg(const std::filesystem::path& program,
                     const std::filesystem::path& infoFolder = "/var/lib/dpkg/info");

} // namespace tunora
