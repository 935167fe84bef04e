#pragma once

#include "core/app/AppDelegate.h"
#include "linux/app/EnvironmentSettings.h"

#include <filesystem>
#include <string>

namespace tunora {

// Where the Linux services keep and find their things, and how they play and
// take keys. The defaults are the program's own; benchmarks and tests point
// them into a scratch folder.
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
    PlaybackSettings playback = {};
    ShortcutChoice shortcuts = ShortcutChoice::bySession;
    // Where what the listener was told for good is remembered; empty: nowhere.
    std::filesystem::path noticeFolder = {};

    static LinuxServiceOptions forThisUser(std::string version,
                                           const EnvironmentSettings& environment);
};

// Every adapter the program runs on, wired as the application delegate wants them.
// The application outlives them: Quit from MPRIS or the command line ends it.
AppDelegate::Services makeLinuxServices(Application& application,
                                        const LinuxServiceOptions& options);

} // namespace tunora
