#include "linux/update/Installation.h"

#include "support/TestDesktop.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tunora {
namespace {

namespace fs = std::filesystem;

// A dpkg database of the test's own: info/tunora.list names what the package
// unpacked, here a program under a folder that a link also reaches (/bin and
// /usr/bin on merged systems).
TEST(InstallationTest, OnlyTheFileTheTunoraPackageListsCountsAsInstalledByDpkg) {
    testing::TemporaryDirectory work;
    const fs::path usrBin = work.path() / "usr" / "bin";
    fs::create_directories(usrBin);
    fs::create_directories(work.path() / "info");
    fs::create_directory_symlink(usrBin, work.path() / "bin");
    const fs::path packaged = usrBin / "tunora";
    std::ofstream(packaged) << "";
    const fs::path info = work.path() / "info";

    EXPECT_FALSE(installedByDpkg(packaged, info)) << "no package lists it";

    std::ofstream(info / "tunora.list")
        << "/.\n"
        << (work.path() / "bin" / "tunora").string() << "\n/usr/share/man\n";
    EXPECT_TRUE(installedByDpkg(packaged, info)) << "listed through the link";

    const fs::path buildTree = work.path() / "build" / "tunora";
    fs::create_directories(buildTree.parent_path());
    std::ofstream(buildTree) << "";
    EXPECT_FALSE(installedByDpkg(buildTree, info)) << "a build beside the package";
}

} // namespace
} // namespace tunora
