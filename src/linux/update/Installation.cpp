#include "linux/update/Installation.h"

#include <fstream>
#include <string>

namespace tunora {

bool installedByDpkg(const std::filesystem::path& program,
                     const std::filesystem::path& infoFolder) {
    std::ifstream list(infoFolder / "tunora.list");
    std::error_code error;
    std::string line;
    while (std::getline(list, line)) {
        // dpkg lists the path it unpacked to, which may reach the file through
        // a link (/bin is /usr/bin on merged systems).
        if (line == program.string() ||
            (line.ends_with("/tunora") && std::filesystem::equivalent(line, program, error))) {
            return true;
        }
    }
    return false;
}

} // namespace tunora
