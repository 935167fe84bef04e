#include "linux/update/FeedUpdateController.h"

#include "linux/net/HttpService.h"
#include "linux/strings/GettextStrings.h"
#include "linux/update/Version.h"

#include <cstdlib>
#include <ctime>

#ifndef TUNORA_UPDATE_FEED_URL
#define TUNORA_UPDATE_FEED_URL ""
#endif

namespace tunora {
namespace {

constexpr std::string_view lastCheckKey = "lastUpdateCheck";
constexpr std::string_view lastAnnouncedKey = "lastAnnouncedVersion";

std::time_t now() {
    return std::time(nullptr);
}

} // namespace

FeedUpdateController::FeedUpdateController(std::string feedUrl, std::string currentVersion,
                                           std::shared_ptr<SettingsStore> settings,
                                           std::shared_ptr<UpdateDialogs> dialogs, Options options)
    : feedUrl_(std::move(feedUrl)), currentVersion_(std::move(currentVersion)),
      settings_(std::move(settings)), dialogs_(std::move(dialogs)),
      fetcher_(options.limits, options.http
                                   ? std::move(options.http)
                                   : std::make_shared<HttpService>(HttpService::Options{})),
      schedule_(options.schedule) {
    scheduleNextCheck();
}

std::string FeedUpdateController::builtInFeedUrl() {
    return TUNORA_UPDATE_FEED_URL;
}

void FeedUpdateController::scheduleNextCheck() {
    if (feedUrl_.empty()) {
        return; // nothing to check
    }
    // Not before the first-check delay, and not before a day after the last check.
    std::chrono::seconds wait = schedule_.firstCheckAfter;
    if (auto last = settings_->readString(lastCheckKey)) {
        char* end = nullptr;
        const long long lastCheck = std::strtoll(last->c_str(), &end, 10);
        if (end != last->c_str() && *end == '\0') {
            const auto due = std::chrono::seconds(lastCheck + schedule_.period.count() - now());
            wait = std::max(wait, std::min(due, schedule_.period));
        }
    }
    timer_.reset(
        g_timeout_add_seconds(guint(wait.count()), &FeedUpdateController::onScheduledCheck, this));
}

gboolean FeedUpdateController::onScheduledCheck(gpointer self) {
    auto* controller = static_cast<FeedUpdateController*>(self);
    controller->timer_.forget();
    controller->check(Trigger::schedule);
    return G_SOURCE_REMOVE;
}

void FeedUpdateController::performAction(const std::string& action, const MenuItem&) {
    if (action == "checkForUpdates:") {
        check(Trigger::user);
    }
}

void FeedUpdateController::check(Trigger trigger) {
    if (feedUrl_.empty()) {
        if (trigger == Trigger::user) {
            dialogs_->showNotConfigured();
        }
        return;
    }
    if (fetcher_.busy()) {
        return; // one check at a time; its answer is on its way
    }
    if (!isAcceptableUpdateUrl(feedUrl_)) {
        if (trigger == Trigger::user) {
            dialogs_->showFailed(N_("The update address is not a secure (https) address."));
        }
        return;
    }
    fetcher_.fetch(feedUrl_, [this, trigger](HttpFetcher::Result result) {
        handleResult(trigger, std::move(result));
    });
}

void FeedUpdateController::handleResult(Trigger trigger, HttpFetcher::Result result) {
    if (trigger == Trigger::schedule) {
        settings_->writeString(lastCheckKey, std::to_string(now()));
        scheduleNextCheck();
    }
    if (!result.body) {
        if (trigger == Trigger::user) {
            dialogs_->showFailed(result.error);
        }
        return;
    }
    auto parsed = UpdateFeed::parse(*result.body);
    if (auto* reason = std::get_if<std::string>(&parsed)) {
        if (trigger == Trigger::user) {
            dialogs_->showFailed(*reason);
        }
        return;
    }
    const auto& feed = std::get<UpdateFeed>(parsed);
    const auto current = Version::parse(currentVersion_);
    const bool newer = current && *current < *Version::parse(feed.version);
    if (trigger == Trigger::user) {
        newer ? dialogs_->showAvailable(feed.version, feed.url) : dialogs_->showUpToDate();
        return;
    }
    if (newer && settings_->readString(lastAnnouncedKey) != feed.version) {
        settings_->writeString(lastAnnouncedKey, feed.version);
        dialogs_->showAvailable(feed.version, feed.url);
    }
}

} // namespace tunora
