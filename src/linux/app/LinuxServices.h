#pragma once

#include "core/app/AppDelegate.h"

#include <filesystem>
#include <string>

namespace tunora {

// Where the Linux services keep and find their things. The defaults are the
// program's own; benchmarks and tests point them into a scratch folder.
struct LinuxServiceOptions {
    std::filesystem::path settingsFile;
    std::filesystem::path autostartEntry;
    std::filesystem::path dataDirectory;
    std::filesystem::path localeDirectory;
    std::string version;
    // Empty: no update checks.
    std::string updateFeedUrl;
    // Where stations without an address get one, as the listener's file stands.
    StreamAddressHelp streamAddressHelp = {};

    static LinuxServiceOptions forThisUser(std::string version);
};

// Every adapter the program runs on, wired as the application delegate wants them.
// The application outlives them: Quit from MPRIS or the command line ends it.
AppDelegate::Services makeLinuxServices(Application& application,
                                        const LinuxServiceOptions& options);

} // namespace tunora
