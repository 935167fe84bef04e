#include "linux/config/StreamOriginConfig.h"

#include "support/TemporaryDirectory.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace tunora {
namespace {

class StreamOriginConfigTest : public ::testing::Test {
  protected:
    void writeHostsFile(const std::string& contents) { std::ofstream(hostsFile()) << contents; }
    std::filesystem::path hostsFile() const { return directory.path() / "stream-hosts.json"; }

    testing::TemporaryDirectory directory;
};

TEST_F(StreamOriginConfigTest, NothingConfiguredMeansBuiltInHostsAndNoComplaint) {
    const auto config = loadStreamOriginConfig(std::nullopt, hostsFile());
    EXPECT_TRUE(config.overrides.empty());
    EXPECT_TRUE(config.problems.empty());
}

TEST_F(StreamOriginConfigTest, EnvironmentOriginMovesEveryHostAndWinsOverTheFile) {
    writeHostsFile(R"({"icecast.ndr.de": "https://mirror.example.org"})");
    const auto config = loadStreamOriginConfig("http://127.0.0.1:9", hostsFile());
    EXPECT_TRUE(config.problems.empty());
    ASSERT_EQ(config.overrides.size(), builtInStreamHosts().size());
    for (const auto& [host, origin] : config.overrides) {
        EXPECT_EQ(origin.toString(), "http://127.0.0.1:9") << host;
    }
}

TEST_F(StreamOriginConfigTest, InvalidEnvironmentOriginIsReportedAndTheFileStillApplies) {
    writeHostsFile(R"({"icecast.ndr.de": "https://mirror.example.org:8443"})");
    const auto config = loadStreamOriginConfig("127.0.0.1:9", hostsFile());
    ASSERT_EQ(config.problems.size(), 1u);
    EXPECT_NE(config.problems[0].find("TUNORA_STREAM_ORIGIN"), std::string::npos);
    ASSERT_EQ(config.overrides.size(), 1u);
    EXPECT_EQ(config.overrides.at("icecast.ndr.de").toString(), "https://mirror.example.org:8443");
}

TEST_F(StreamOriginConfigTest, BadFilesAreIgnoredWholeWithOneProblemEach) {
    const char* badFiles[] = {
        "{not json",
        R"(["icecast.ndr.de"])",
        R"({"icecast.ndr.de": "http://127.0.0.1:1", "nowhere.example": "http://127.0.0.1:2"})",
        R"({"icecast.ndr.de": "http://127.0.0.1:1", "liveradio.swr.de": 42})",
        R"({"icecast.ndr.de": "http://127.0.0.1:1/path"})",
        "",
    };
    for (const char* contents : badFiles) {
        writeHostsFile(contents);
        const auto config = loadStreamOriginConfig(std::nullopt, hostsFile());
        EXPECT_TRUE(config.overrides.empty()) << contents;
        ASSERT_EQ(config.problems.size(), 1u) << contents;
        EXPECT_NE(config.problems[0].find(hostsFile().string()), std::string::npos);
    }
}

TEST_F(StreamOriginConfigTest, OversizedFileIsIgnored) {
    writeHostsFile("{\"icecast.ndr.de\": \"http://127.0.0.1:1\"" + std::string(70000, ' ') + "}");
    const auto config = loadStreamOriginConfig(std::nullopt, hostsFile());
    EXPECT_TRUE(config.overrides.empty());
    EXPECT_EQ(config.problems.size(), 1u);
}

TEST_F(StreamOriginConfigTest, AFolderOrFifoInPlaceOfTheFileIsReportedNeverWaitedOn) {
    for (const auto make : {+[](const char* path) { return ::mkdir(path, 0700); },
                            +[](const char* path) { return ::mkfifo(path, 0600); }}) {
        std::filesystem::remove(hostsFile());
        ASSERT_EQ(make(hostsFile().c_str()), 0);
        const auto config = loadStreamOriginConfig(std::nullopt, hostsFile());
        EXPECT_TRUE(config.overrides.empty());
        EXPECT_EQ(config.problems.size(), 1u);
    }
}

} // namespace
} // namespace tunora
