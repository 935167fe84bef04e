#pragma once

#include "core/notifications/NoticeBoard.h"
#include "platform/NotificationCenter.h"
#include "platform/ProblemLog.h"

#include <filesystem>
#include <memory>
#include <string>

namespace tunora {

// The gate everything the listener is told outside the menu passes: each
// notice goes to the log (stderr, and the journal when stderr is the journal)
// and to the notification centre, as NoticeBoard says when. What a lasting
// notice said is kept in a file named by its topic in `lastingFolder` (none:
// empty), so that it is told once for good.
class ProblemNotices : public ProblemLog {
  public:
    ProblemNotices(std::shared_ptr<NotificationCenter> notifications,
                   std::filesystem::path lastingFolder);

    void tell(const Notice& notice) override;
    void settle(const std::string& topic) override;
    void startFinished() override;

    // For a process about to end before any main loop runs: the log, and a
    // notification waited for (at most 2 s).
    static void tellBeforeExit(const std::string& title, const std::string& body = "");

    // $XDG_STATE_HOME/tunora.
    static std::filesystem::path defaultLastingFolder();

  private:
    void post(const Notice& notice);
    void remember(const Notice& notice) const;

    std::shared_ptr<NotificationCenter> notifications_;
    std::filesystem::path lastingFolder_;
    NoticeBoard board_;
};

} // namespace tunora
