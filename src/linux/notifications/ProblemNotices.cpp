#include "linux/notifications/ProblemNotices.h"

#include "linux/strings/GettextStrings.h"

namespace tunora {

ProblemNotices::ProblemNotices(std::shared_ptr<NotificationCenter> notifications)
    : notifications_(std::move(notifications)) {}

void ProblemNotices::report(const std::string& problem) {
    if (!told_.insert(problem).second) {
        return;
    }
    if (!started_) {
        duringStart_.push_back(problem);
        return;
    }
    notifications_->post(GettextStrings::translate(N_("Tunora needs your attention")), problem);
}

void ProblemNotices::startFinished() {
    if (started_) {
        return;
    }
    started_ = true;
    if (duringStart_.empty()) {
        return;
    }
    std::string summary;
    for (const std::string& problem : duringStart_) {
        summary += (summary.empty() ? "" : "\n") + problem;
    }
    duringStart_.clear();
    notifications_->post(
        GettextStrings::translate(N_("Tunora started, but not everything is right")), summary);
}

} // namespace tunora
