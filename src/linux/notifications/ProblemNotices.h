#pragma once

#include "platform/NotificationCenter.h"
#include "platform/ProblemLog.h"

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace tunora {

// Tells the listener of problems where they look, through the notification
// centre, which also writes each to the log (stderr, and the journal when
// stderr is the journal): the problems found while the program starts in one
// notification that sums them up, later ones each in their own. The same
// problem is never told twice.
class ProblemNotices : public ProblemLog {
  public:
    explicit ProblemNotices(std::shared_ptr<NotificationCenter> notifications);

    void report(const std::string& problem) override;
    void startFinished() override;

  private:
    std::shared_ptr<NotificationCenter> notifications_;
    std::set<std::string> told_;
    std::vector<std::string> duringStart_;
    bool started_ = false;
};

} // namespace tunora
