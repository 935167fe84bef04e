#include "linux/update/Installation.h"

#include "linux/glib/GObjectPtr.h"

#include <glib.h>
#include <string_view>

namespace tunora {

bool installedByDpkg(const std::filesystem::path& program, const std::string& dpkgQuery) {
    // Answers "tunora: /usr/bin/tunora", or fails for a file no package holds.
    const std::string path = program.string();
    const char* argv[] = {dpkgQuery.c_str(), "--search", path.c_str(), nullptr};
    gchar* rawOutput = nullptr;
    gint status = 0;
    const bool ran = g_spawn_sync(nullptr, const_cast<gchar**>(argv), nullptr,
                                  GSpawnFlags(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL),
                                  nullptr, nullptr, &rawOutput, nullptr, &status, nullptr);
    const GCharPtr output(rawOutput);
    if (!ran || !g_spawn_check_wait_status(status, nullptr) || !output) {
        return false;
    }
    return std::string_view(output.get()).starts_with("tunora: ");
}

} // namespace tunora
