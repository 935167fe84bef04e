#include "linux/login/XdgAutostart.h"

#include "support/TestDesktop.h"

#include <fstream>
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <thread>

namespace tunora {
namespace {

using namespace std::chrono_literals;

class XdgAutostartTest : public ::testing::Test {
  protected:
    std::filesystem::path entry() const { return directory.path() / "autostart" / "t.desktop"; }
    void writeEntry(const std::string& contents) {
        std::filesystem::create_directories(entry().parent_path());
        std::ofstream(entry()) << contents;
    }
    testing::TemporaryDirectory directory;
};

TEST_F(XdgAutostartTest, RegisterAndUnregisterFollowTheEntry) {
    XdgAutostart autostart(entry(), "/usr/bin/tunora");
    EXPECT_EQ(autostart.status(), LoginItemService::statusNotRegistered);
    EXPECT_TRUE(autostart.registerApplication());
    EXPECT_EQ(autostart.status(), LoginItemService::statusEnabled);
    EXPECT_TRUE(autostart.unregisterApplication());
    EXPECT_FALSE(std::filesystem::exists(entry()));
    EXPECT_EQ(autostart.status(), LoginItemService::statusNotRegistered);
}

TEST_F(XdgAutostartTest, HiddenOrDisabledEntriesAreNotEnabled) {
    XdgAutostart autostart(entry(), "/usr/bin/tunora");
    writeEntry("[Desktop Entry]\nType=Application\nExec=tunora\nHidden=true\n");
    EXPECT_NE(autostart.status(), LoginItemService::statusEnabled);
    writeEntry("[Desktop Entry]\nExec=tunora\nX-GNOME-Autostart-enabled = false\n");
    EXPECT_NE(autostart.status(), LoginItemService::statusEnabled);
    writeEntry("[Desktop Entry]\nExec=tunora\n[Other Group]\nHidden=true\n");
    EXPECT_EQ(autostart.status(), LoginItemService::statusEnabled);
}

TEST_F(XdgAutostartTest, AFolderThatCannotBeWrittenReportsFailureWithItsReason) {
    std::ofstream(directory.path() / "autostart") << "a file, not a folder";
    XdgAutostart autostart(entry(), "/usr/bin/tunora");
    EXPECT_FALSE(autostart.registerApplication());
    EXPECT_NE(autostart.lastProblem().find(directory.path() / "autostart"), std::string::npos)
        << autostart.lastProblem();
    EXPECT_EQ(autostart.status(), LoginItemService::statusNotRegistered);
}

TEST_F(XdgAutostartTest, FoldersArePrivateWhateverTheUmaskAndOldTemporariesGo) {
    const mode_t previous = ::umask(0);
    XdgAutostart autostart(entry(), "/usr/bin/tunora");
    const bool registered = autostart.registerApplication();
    ::umask(previous);
    ASSERT_TRUE(registered);
    EXPECT_EQ(std::filesystem::status(entry().parent_path()).permissions(),
              std::filesystem::perms::owner_all);

    std::ofstream(entry().string() + ".tmp-Xy34Zw") << "left by a killed write";
    ASSERT_TRUE(autostart.registerApplication());
    EXPECT_FALSE(std::filesystem::exists(entry().string() + ".tmp-Xy34Zw"));
}

TEST_F(XdgAutostartTest, APathWithControlCharactersIsRefusedWithAReason) {
    XdgAutostart autostart(entry(), "/opt/a\x01b/tunora");
    EXPECT_FALSE(autostart.registerApplication());
    EXPECT_FALSE(autostart.lastProblem().empty());
    EXPECT_FALSE(std::filesystem::exists(entry()));
}

// The entry's Exec line starts the program even from a path with spaces,
// quotes, dollars, backticks and a newline, as the desktop's launcher parses
// it, and nothing in the path becomes a key of its own. (A "%"
// is written as "%%" as the format requires, but GLib checks that the program
// exists before it expands field codes, so GLib cannot launch such a path.)
TEST_F(XdgAutostartTest, ExecStartsAProgramWhosePathNeedsQuoting) {
    const auto folder = directory.path() / "My \"Radio\" $HOME `x` \\ back\nX-Injected=1";
    std::filesystem::create_directories(folder);
    const auto program = folder / "tunora";
    const auto marker = directory.path() / "started";
    std::ofstream(program) << "#!/bin/sh\ntouch '" << marker.string() << "'\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);

    XdgAutostart autostart(entry(), program);
    ASSERT_TRUE(autostart.registerApplication());
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(entry().c_str());
    ASSERT_NE(info, nullptr);
    EXPECT_FALSE(g_desktop_app_info_has_key(info, "X-Injected"));
    GError* error = nullptr;
    EXPECT_TRUE(g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error))
        << (error ? error->message : "");
    g_clear_error(&error);
    g_object_unref(info);
    EXPECT_TRUE(testing::waitUntil([&] { return std::filesystem::exists(marker); }, 10s,
                                   [] { std::this_thread::sleep_for(10ms); }));
}

} // namespace
} // namespace tunora
