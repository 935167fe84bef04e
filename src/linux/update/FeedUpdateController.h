#pragma once

#include "linux/update/HttpFetcher.h"
#include "linux/update/UpdateDialogs.h"
#include "linux/update/UpdateFeed.h"
#include "platform/SettingsStore.h"
#include "platform/UpdateController.h"

#include <chrono>
#include <memory>
#include <string>

namespace tunora {

// When the update checks run by themselves.
struct UpdateSchedule {
    std::chrono::seconds firstCheckAfter = std::chrono::seconds(60);
    std::chrono::seconds period = std::chrono::hours(24);
};

struct UpdateCheckOptions {
    // The program's HTTP service; none: one of the update check's own,
    // trusting the system's certificates.
    std::shared_ptr<HttpService> http;
    HttpFetcher::Limits limits;
    UpdateSchedule schedule;
};

// Tells the user when a newer Tunora exists; installs nothing (on Linux the
// package manager does that). Reads a small JSON feed over HTTPS.
//
// From its creation it checks by itself about a minute after start and then
// once a day, remembering the time of the last check ("lastUpdateCheck") so
// restarts do not check more often; such a check speaks up only when it finds a
// version it has not announced before ("lastAnnouncedVersion"). "Check for
// Updates…" checks at once and always answers.
class FeedUpdateController : public UpdateController {
  public:
    using Schedule = UpdateSchedule;
    using Options = UpdateCheckOptions;

    FeedUpdateController(std::string feedUrl, std::string currentVersion,
                         std::shared_ptr<SettingsStore> settings,
                         std::shared_ptr<UpdateDialogs> dialogs, Options options = {});

    void performAction(const std::string& action, const MenuItem& sender) override;

    // The feed address built in (may be empty); TUNORA_UPDATE_FEED_URL replaces it.
    static std::string builtInFeedUrl();

  private:
    enum class Trigger { user, schedule };

    void check(Trigger trigger);
    void handleResult(Trigger trigger, HttpFetcher::Result result);
    void scheduleNextCheck();
    static gboolean onScheduledCheck(gpointer self);

    std::string feedUrl_;
    std::string currentVersion_;
    std::shared_ptr<SettingsStore> settings_;
    std::shared_ptr<UpdateDialogs> dialogs_;
    HttpFetcher fetcher_;
    Schedule schedule_;
    GSourceId timer_;
};

} // namespace tunora
