#include "linux/login/XdgAutostart.h"

#include "support/TestDesktop.h"

#include <fstream>
#include <glib.h>
#include <gtest/gtest.h>
#include <sstream>

namespace tunora {
namespace {

namespace fs = std::filesystem;

// The entry as an installed program writes it, with the test's folders standing
// in for /usr/local/bin and /usr/bin and PATH set to search them in that order.
class XdgAutostartTest : public ::testing::Test {
  protected:
    void SetUp() override {
        oldPath_ = g_getenv("PATH") != nullptr ? g_getenv("PATH") : "";
        g_setenv("PATH", (local.string() + ":" + usr.string()).c_str(), TRUE);
    }
    void TearDown() override { g_setenv("PATH", oldPath_.c_str(), TRUE); }

    fs::path program(const fs::path& folder) {
        fs::create_directories(folder);
        const fs::path file = folder / "tunora";
        std::ofstream(file) << "#!/bin/sh\n";
        fs::permissions(file, fs::perms::owner_all);
        return file;
    }
    std::string execLine(const fs::path& running) {
        XdgAutostart autostart(entry, running, {local, usr});
        EXPECT_TRUE(autostart.registerApplication()) << autostart.lastProblem();
        std::ifstream file(entry);
        std::string line;
        while (std::getline(file, line)) {
            if (line.starts_with("Exec=")) {
                return line;
            }
        }
        return "";
    }

    testing::TemporaryDirectory work;
    fs::path local = work.path() / "local-bin";
    fs::path usr = work.path() / "usr-bin";
    fs::path entry = work.path() / "autostart" / "org.tunora.Tunora.desktop";

  private:
    std::string oldPath_;
};

TEST_F(XdgAutostartTest, AnInstalledProgramIsStartedByNameSoThatAnotherInstallationTakesOver) {
    const fs::path fromSource = program(local);
    EXPECT_EQ(execLine(fromSource), "Exec=tunora");

    fs::remove(fromSource); // the package replaces the installation from source
    EXPECT_EQ(execLine(program(usr)), "Exec=tunora");
}

TEST_F(XdgAutostartTest, AProgramThatItsNameWouldNotStartIsStartedByItsPath) {
    const fs::path packaged = program(usr);
    const fs::path fromSource = program(local); // first on PATH
    EXPECT_EQ(execLine(packaged), "Exec=" + packaged.string());
    EXPECT_EQ(execLine(fromSource), "Exec=tunora");

    const fs::path buildTree = program(work.path() / "build");
    EXPECT_EQ(execLine(buildTree), "Exec=" + buildTree.string());

    g_setenv("PATH", (work.path() / "build").c_str(), TRUE); // a terminal's PATH, not a login's
    EXPECT_EQ(execLine(buildTree), "Exec=" + buildTree.string());
}

} // namespace
} // namespace tunora
