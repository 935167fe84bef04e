#pragma once

#include "platform/ProblemLog.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// What the listener was told and what is still to tell them: the rule that
// says each thing once, and the summary of what the start found.
//
// A notice is news unless the last notice told on its topic had the same body
// and the topic was not settled since (a lasting topic's last body is recalled
// from earlier runs). While the program starts, notices are held: a later one
// on the same topic replaces the held one, so that a file is described once,
// as it finally is; when the start ends, the held problems go out as one
// notice and the held titled ones after it, each on its own.
class NoticeBoard {
  public:
    // The body a lasting topic was last told with in an earlier run, if any.
    using Recall = std::function<std::optional<std::string>(const std::string& topic)>;

    explicit NoticeBoard(Recall recall = {}) : recall_(std::move(recall)) {}

    // The notice to tell now, with its topic filled in; none when it is no
    // news or the start holds it.
    std::optional<Notice> offer(Notice notice);
    void settle(const std::string& topic);
    // The notices held while starting: the problems joined under summaryTitle,
    // then the titled ones. Later notices go out as they come.
    std::vector<Notice> finishStart(const std::string& summaryTitle);

  private:
    bool isNews(const Notice& notice) const;

    Recall recall_;
    std::map<std::string, std::string> lastBody_; // by topic, since it was settled
    std::vector<Notice> held_;
    bool started_ = false;
};

} // namespace tunora
