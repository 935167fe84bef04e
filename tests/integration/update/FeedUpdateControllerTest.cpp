#include "linux/update/FeedUpdateController.h"

#include "linux/net/HttpService.h"
#include "linux/settings/JsonSettingsStore.h"
#include "linux/update/Version.h"
#include "support/TestDesktop.h"

#include <ctime>
#include <gtest/gtest.h>

namespace tunora {
namespace {

using namespace std::chrono_literals;

class RecordingDialogs : public UpdateDialogs {
  public:
    void showAvailable(const std::string& version, const std::string& page) override {
        shown.push_back("available " + version + " " + page);
    }
    void showUpToDate() override { shown.push_back("up to date"); }
    void showFailed(const std::string& reason) override { shown.push_back("failed: " + reason); }
    void showNotConfigured() override { shown.push_back("not configured"); }
    std::vector<std::string> shown;
};

class FeedUpdateControllerTest : public ::testing::Test {
  protected:
    // A controller that trusts the test's authority, for the feed at path on the
    // https server ("" when none is configured); checks start after schedule.first.
    // The time limit is generous: a TLS fetch under the sanitizers on a busy
    // machine takes seconds. Only the "slow" feed, whose server keeps the
    // answer back far longer, is given a short one.
    std::unique_ptr<FeedUpdateController>
    controller(const std::string& path, FeedUpdateController::Schedule schedule = {3600s, 86400s}) {
        const auto timeout = path == "/feed/slow" ? 1s : 60s;
        return std::make_unique<FeedUpdateController>(
            path.empty() ? "" : testing::tlsStreamUrl(path), "0.9.2", settings, dialogs,
            FeedUpdateController::Options{std::make_shared<HttpService>(HttpService::Options{
                                              .caFile = testing::testCaFile()}),
                                          {64 * 1024, timeout},
                                          schedule});
    }
    void choose(FeedUpdateController& updater) {
        updater.performAction("checkForUpdates:", MenuItem("x", "checkForUpdates:", ""));
    }
    bool waitForDialogs(std::size_t count, std::chrono::milliseconds timeout = 90s) {
        return testing::waitUntil([&] { return dialogs->shown.size() >= count; }, timeout);
    }
    std::string checkOnce(const std::string& feed) {
        dialogs->shown.clear();
        auto updater = controller("/feed/" + feed);
        choose(*updater);
        EXPECT_TRUE(waitForDialogs(1)) << feed;
        return dialogs->shown.empty() ? "" : dialogs->shown.back();
    }

    testing::TemporaryDirectory work;
    std::shared_ptr<JsonSettingsStore> settings =
        std::make_shared<JsonSettingsStore>(work.path() / "tunora" / "defaults.json");
    std::shared_ptr<RecordingDialogs> dialogs = std::make_shared<RecordingDialogs>();
};

TEST(Version, ComparesAsDottedNumbers) {
    EXPECT_TRUE(*Version::parse("1.9.2") < *Version::parse("1.10.0"));
    EXPECT_TRUE(*Version::parse("1.2") == *Version::parse("1.2.0"));
    EXPECT_TRUE(*Version::parse("1.0") < *Version::parse("1.0.1"));
    EXPECT_FALSE(*Version::parse("1.0.1") < *Version::parse("1.0"));
    EXPECT_FALSE(*Version::parse("2.0.0") < *Version::parse("1.99.99"));
    for (const char* bad : {"", "1..2", "1.x", "-1", " 1", "1.2.", "v1.2"}) {
        EXPECT_FALSE(Version::parse(bad)) << bad;
    }
}

TEST_F(FeedUpdateControllerTest, AnswersNewerEqualAndOlder) {
    EXPECT_EQ(checkOnce("newer"), "available 9.1.0 https://tunora.example/download");
    EXPECT_EQ(checkOnce("newer-minor"), "available 0.10.0 https://tunora.example/download");
    EXPECT_EQ(checkOnce("equal"), "up to date");
    EXPECT_EQ(checkOnce("older"), "up to date");
}

TEST_F(FeedUpdateControllerTest, BadAnswersFailInOneSentenceAndOpenNothing) {
    for (const char* feed :
         {"malformed", "missing", "not-string", "plain-http-page", "huge", "404", "500", "slow"}) {
        const std::string answer = checkOnce(feed);
        EXPECT_EQ(answer.rfind("failed: ", 0), 0u) << feed << ": " << answer;
        EXPECT_EQ(answer.back(), '.') << answer;
    }
}

TEST_F(FeedUpdateControllerTest, NotConfiguredAndInsecureFeeds) {
    auto unconfigured = controller("");
    choose(*unconfigured);
    ASSERT_EQ(dialogs->shown, std::vector<std::string>{"not configured"});
    FeedUpdateController insecure("http://tunora.example/feed.json", "0.9.2", settings, dialogs);
    choose(insecure);
    EXPECT_EQ(dialogs->shown.back().rfind("failed: ", 0), 0u);
}

TEST_F(FeedUpdateControllerTest, ASecondClickWhileCheckingStartsNoSecondCheck) {
    auto updater = controller("/feed/slow");
    choose(*updater);
    choose(*updater);
    ASSERT_TRUE(waitForDialogs(1));
    EXPECT_FALSE(waitForDialogs(2, 300ms));
    EXPECT_EQ(testing::tlsStreamRequests("/feed/slow"), 1);
}

TEST_F(FeedUpdateControllerTest, ScheduledChecksAnnounceAVersionOnceAndRememberTheTime) {
    auto first = controller("/feed/newer", {1s, 86400s});
    ASSERT_TRUE(waitForDialogs(1));
    EXPECT_EQ(dialogs->shown[0], "available 9.1.0 https://tunora.example/download");
    EXPECT_EQ(settings->readString("lastAnnouncedVersion"), "9.1.0");
    const auto lastCheck = std::stoll(settings->readString("lastUpdateCheck").value_or("0"));
    EXPECT_LE(std::abs(lastCheck - std::time(nullptr)), 5);

    // A restart does not check again within the day...
    auto restarted = controller("/feed/newer", {1s, 86400s});
    EXPECT_FALSE(waitForDialogs(2, 2500ms));
    EXPECT_EQ(testing::tlsStreamRequests("/feed/newer"), 1);

    // ...and a day later it checks, but stays silent about the same version.
    settings->writeString("lastUpdateCheck", std::to_string(std::time(nullptr) - 90000));
    auto nextDay = controller("/feed/newer", {1s, 86400s});
    ASSERT_TRUE(
        testing::waitUntil([&] { return testing::tlsStreamRequests("/feed/newer") == 2; }, 5s));
    EXPECT_FALSE(waitForDialogs(2, 500ms));
}

TEST_F(FeedUpdateControllerTest, ScheduledChecksStaySilentWhenUpToDateOrFailing) {
    auto upToDate = controller("/feed/equal", {1s, 86400s});
    auto failing = controller("/feed/500", {1s, 86400s});
    ASSERT_TRUE(testing::waitUntil(
        [&] {
            return testing::tlsStreamRequests("/feed/equal") == 1 &&
                   testing::tlsStreamRequests("/feed/500") == 1;
        },
        90s));
    EXPECT_FALSE(waitForDialogs(1, 500ms));
}

TEST_F(FeedUpdateControllerTest, HttpsFeedsAreVerified) {
    // Certificates the listener chose but that cannot be read are not replaced
    // by the system's: nothing is even connected to.
    FeedUpdateController unusable(
        testing::tlsStreamUrl("/feed/newer"), "0.9.2", settings, dialogs,
        {std::make_shared<HttpService>(HttpService::Options{.caFile = "/nonexistent/ca.pem"}),
         {64 * 1024, 60s},
         {3600s, 86400s}});
    choose(unusable);
    ASSERT_TRUE(waitForDialogs(1));
    EXPECT_EQ(dialogs->shown[0].rfind("failed: ", 0), 0u) << dialogs->shown[0];
    EXPECT_EQ(testing::tlsStreamRequests("connections"), 0);

    FeedUpdateController untrusted(testing::tlsStreamUrl("/feed/newer"), "0.9.2", settings,
                                   dialogs);
    choose(untrusted);
    ASSERT_TRUE(waitForDialogs(2));
    EXPECT_EQ(dialogs->shown[1].rfind("failed: ", 0), 0u) << dialogs->shown[1];
}

TEST_F(FeedUpdateControllerTest, RedirectsFollowOnlyHttpsAndNothingGoesOutInPlainText) {
    auto followed = controller("/redirect-here-feed");
    choose(*followed);
    ASSERT_TRUE(waitForDialogs(1));
    EXPECT_EQ(dialogs->shown[0], "available 9.1.0 https://tunora.example/download");

    auto refused = controller("/redirect-to-http");
    choose(*refused);
    ASSERT_TRUE(waitForDialogs(2));
    EXPECT_EQ(dialogs->shown[1].rfind("failed: ", 0), 0u) << dialogs->shown[1];
    EXPECT_EQ(testing::streamRequests("/plain.mp3"), 0) << "where the bad redirect points";
}

} // namespace
} // namespace tunora
