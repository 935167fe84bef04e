#pragma once

#include <filesystem>
#include <string>

namespace tunora {

// Whether dpkg installed the program file as part of the tunora package, as
// opposed to a build from source run in place or installed with
// `cmake --install`. Asks dpkg-query, the database's public interface.
bool installedByDpkg(const std::filesystem::path& program,
                     const std::string& dpkgQuery = "dpkg-query");

} // namespace tunora
