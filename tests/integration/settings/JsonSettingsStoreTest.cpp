#include "linux/settings/JsonSettingsStore.h"

#include "core/hotkeys/HotkeyManager.h"
#include "fakes/FakeHotkeyEventServices.h"
#include "support/TestDesktop.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>

namespace tunora {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

class JsonSettingsStoreTest : public ::testing::Test {
  protected:
    fs::path file() const { return directory.path() / "tunora" / "defaults.json"; }

    void writeFile(const std::string& contents) {
        fs::create_directories(file().parent_path());
        // Write beside and rename, so the file gets a new identity as editors do.
        const fs::path temporary = file().string() + ".edit";
        std::ofstream(temporary, std::ios::binary) << contents;
        fs::rename(temporary, file());
    }
    std::string readFile(const fs::path& path) const {
        std::ifstream stream(path, std::ios::binary);
        std::ostringstream contents;
        contents << stream.rdbuf();
        return contents.str();
    }
    nlohmann::json document() const { return nlohmann::json::parse(readFile(file())); }
    std::vector<fs::path> backups() const {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(file().parent_path())) {
            if (entry.path().filename().string().starts_with("defaults.json.bad-")) {
                found.push_back(entry.path());
            }
        }
        return found;
    }
    std::shared_ptr<HotkeyManager> hotkeys() {
        return HotkeyManager::create(store, std::make_shared<fakes::FakeHotkeyEventServices>());
    }

    testing::TemporaryDirectory directory;
    std::shared_ptr<JsonSettingsStore> store = std::make_shared<JsonSettingsStore>(file());
};

TEST_F(JsonSettingsStoreTest, FirstStartSeedsAPrivateFileInANewFolder) {
    auto manager = hotkeys();
    manager->setDefaults({"ondo", "ondo_kultur", "ondo_nova"});
    EXPECT_EQ(document()["hotkeyChannels"],
              nlohmann::json(Strings{"ondo", "ondo_kultur", "ondo_nova", "", ""}));
    struct stat info {};
    ASSERT_EQ(stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    for (const auto& entry : fs::directory_iterator(file().parent_path())) {
        EXPECT_EQ(entry.path(), file()) << "no temporary file left behind";
    }
}

TEST_F(JsonSettingsStoreTest, BindingsSurviveANewStoreAndOtherKeysSurviveWrites) {
    writeFile(R"({"volume": 0.5, "hotkeyChannels": ["ndr2"], "nested": {"a": [1, 2]}})");
    hotkeys()->setChannelForSlot("fritz", 2);

    auto restarted = std::make_shared<JsonSettingsStore>(file());
    auto manager =
        HotkeyManager::create(restarted, std::make_shared<fakes::FakeHotkeyEventServices>());
    EXPECT_EQ(manager->channelIdForSlot(0), "ndr2");
    EXPECT_EQ(manager->channelIdForSlot(2), "fritz");
    const auto saved = document();
    EXPECT_EQ(saved["hotkeyChannels"], nlohmann::json(Strings{"ndr2", "", "fritz", "", ""}));
    EXPECT_EQ(saved["volume"], 0.5);
    EXPECT_EQ(saved["nested"]["a"][1], 2);
}

TEST_F(JsonSettingsStoreTest, HandEditsShowAtTheNextRead) {
    auto manager = hotkeys();
    manager->setChannelForSlot("ndr2", 0);
    EXPECT_EQ(manager->channelIdForSlot(0), "ndr2");
    writeFile(R"({"hotkeyChannels": ["wdr2", "", "", "", ""]})");
    EXPECT_EQ(manager->channelIdForSlot(0), "wdr2");
}

TEST_F(JsonSettingsStoreTest, BadFilesReadAsNothingAndAreKeptAsideBeforeAWrite) {
    const std::string badFiles[] = {
        "{\"hotkeyChannels\": [\"ndr2\"",                       // not valid JSON
        "[\"ndr2\", \"wdr2\"]",                                 // not an object
        "{\"hotkeyChannels\": [\"nd\xff\xfe\"]}",               // not valid UTF-8
        "{\"pad\": \"" + std::string(1100 * 1024, 'x') + "\"}", // over 1 MiB
    };
    std::vector<std::string> kept;
    for (const std::string& contents : badFiles) {
        writeFile(contents);
        auto manager = hotkeys();
        EXPECT_FALSE(manager->channelIdForSlot(0));
        EXPECT_EQ(readFile(file()), contents) << "reading never touches the file";
        manager->setDefaults({"ondo"});
        EXPECT_EQ(document()["hotkeyChannels"][0], "ondo");
        kept.push_back(contents);
    }
    // Every bad file is still there, none overwritten by a later one.
    std::vector<std::string> backedUp;
    for (const auto& backup : backups()) {
        backedUp.push_back(readFile(backup));
    }
    std::sort(kept.begin(), kept.end());
    std::sort(backedUp.begin(), backedUp.end());
    EXPECT_EQ(backedUp, kept);
}

TEST_F(JsonSettingsStoreTest, AFolderThatCannotBeWrittenFailsNamingTheFolder) {
    fs::create_directories(directory.path());
    std::ofstream(directory.path() / "tunora") << "a file where the folder should be";
    auto manager = hotkeys();
    EXPECT_FALSE(manager->channelIdForSlot(0));
    EXPECT_FALSE(store->writeStringArray("hotkeyChannels", {"ndr2"}));
    EXPECT_NE(store->lastWriteProblem().find((directory.path() / "tunora").string()),
              std::string::npos)
        << store->lastWriteProblem();
    manager->setDefaults({"ondo"}); // no crash, nothing kept
    EXPECT_FALSE(manager->channelIdForSlot(0));
}

TEST_F(JsonSettingsStoreTest, AFifoIsNeverWaitedOnAndIsSetAside) {
    fs::create_directories(file().parent_path());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    EXPECT_FALSE(store->readArray("hotkeyChannels")) << "read without blocking";
    EXPECT_TRUE(store->writeStringArray("hotkeyChannels", {"ndr2"}));
    EXPECT_TRUE(fs::is_regular_file(file()));
    ASSERT_EQ(backups().size(), 1u);
    EXPECT_TRUE(fs::is_fifo(backups()[0]));
}

TEST_F(JsonSettingsStoreTest, TemporariesOfInterruptedWritesAreRemovedByTheNextWrite) {
    fs::create_directories(file().parent_path());
    for (const char* name : {"defaults.json.tmp-AbC123", "defaults.json.tmp-zz9"}) {
        std::ofstream(file().parent_path() / name) << "{\"half";
    }
    std::ofstream(file().parent_path() / "other.tmp-AbC123") << "not ours";
    EXPECT_TRUE(store->writeStringArray("hotkeyChannels", {"ndr2"}));
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(file().parent_path())) {
        left.push_back(entry.path().filename());
    }
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (Strings{"defaults.json", "other.tmp-AbC123"}));
}

} // namespace
} // namespace tunora
