#include "linux/update/Installation.h"

#include "support/TestDesktop.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tunora {
namespace {

namespace fs = std::filesystem;

// dpkg-query as dpkg answers for a packaged /usr/bin/tunora: the owning
// package, or status 1 for a file that no package holds.
TEST(InstallationTest, OnlyAFileOfTheTunoraPackageCountsAsInstalledByDpkg) {
    testing::TemporaryDirectory work;
    const fs::path query = work.path() / "dpkg-query";
    std::ofstream(query)
        << "#!/bin/sh\n"
           "case $2 in\n"
           "/usr/bin/tunora) echo 'tunora: /usr/bin/tunora' ;;\n"
           "/usr/bin/other) echo 'other: /usr/bin/other' ;;\n"
           "*) echo \"dpkg-query: no path found matching pattern $2\" >&2; exit 1 ;;\n"
           "esac\n";
    fs::permissions(query, fs::perms::owner_all);

    EXPECT_TRUE(installedByDpkg("/usr/bin/tunora", query));
    EXPECT_FALSE(installedByDpkg("/usr/local/bin/tunora", query)) << "installed from source";
    EXPECT_FALSE(installedByDpkg("/usr/bin/other", query)) << "another package's file";
    EXPECT_FALSE(installedByDpkg("/usr/bin/tunora", (work.path() / "missing").string()))
        << "no dpkg at all";
}

} // namespace
} // namespace tunora
