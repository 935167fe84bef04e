#include "linux/notifications/ProblemNotices.h"

#include "linux/notifications/FreedesktopNotifications.h"
#include "linux/strings/GettextStrings.h"
#include "linux/system/Files.h"
#include "linux/system/XdgPaths.h"

#include <glib.h>

namespace tunora {
namespace {

constexpr std::size_t longestRemembered = 64 * 1024;

void log(const std::string& title, const std::string& body) {
    if (body.empty()) {
        g_message("%s", title.c_str());
    } else {
        g_message("%s: %s", title.c_str(), body.c_str());
    }
}

} // namespace

ProblemNotices::ProblemNotices(std::shared_ptr<NotificationCenter> notifications,
                               std::filesystem::path lastingFolder)
    : notifications_(std::move(notifications)), lastingFolder_(std::move(lastingFolder)),
      board_([folder = lastingFolder_](const std::string& topic) -> std::optional<std::string> {
          if (folder.empty()) {
              return std::nullopt;
          }
          files::ReadResult told = files::readRegularFile(folder / topic, longestRemembered);
          if (told.status != files::ReadResult::Status::ok) {
              return std::nullopt;
          }
          return std::move(told.contents);
      }) {}

std::filesystem::path ProblemNotices::defaultLastingFolder() {
    return xdg::stateHome() / "tunora";
}

void ProblemNotices::tell(const Notice& notice) {
    if (const std::optional<Notice> news = board_.offer(notice)) {
        post(*news);
    }
}

void ProblemNotices::settle(const std::string& topic) {
    board_.settle(topic);
}

void ProblemNotices::startFinished() {
    for (const Notice& notice : board_.finishStart(
             GettextStrings::translate(N_("Tunora started, but not everything is right")))) {
        post(notice);
    }
}

void ProblemNotices::post(const Notice& notice) {
    const std::string title = notice.title.empty()
                                  ? GettextStrings::translate(N_("Tunora needs your attention"))
                                  : notice.title;
    log(title, notice.body);
    notifications_->post(title, notice.body);
    if (notice.lasting) {
        remember(notice);
    }
}

void ProblemNotices::remember(const Notice& notice) const {
    if (lastingFolder_.empty()) {
        return;
    }
    std::string problem;
    if (!files::replaceFile(lastingFolder_ / notice.topic, notice.body, 0600, problem)) {
        g_message("%s: it may be told again at the next start", problem.c_str());
    }
}

// Such a process was started from a terminal as often as from a launcher: its
// line reads as the command line's own do.
void ProblemNotices::tellBeforeExit(const std::string& title, const std::string& body) {
    g_printerr("tunora: %s%s%s\n", title.c_str(), body.empty() ? "" : ": ", body.c_str());
    FreedesktopNotifications::postBeforeExit(title, body);
}

} // namespace tunora
