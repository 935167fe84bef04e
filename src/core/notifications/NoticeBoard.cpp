#include "core/notifications/NoticeBoard.h"

#include <algorithm>

namespace tunora {

bool NoticeBoard::isNews(const Notice& notice) const {
    if (const auto told = lastBody_.find(notice.topic); told != lastBody_.end()) {
        return told->second != notice.body;
    }
    return !(notice.lasting && recall_ && recall_(notice.topic) == notice.body);
}

std::optional<Notice> NoticeBoard::offer(Notice notice) {
    if (notice.topic.empty()) {
        notice.topic = notice.body;
    }
    if (!isNews(notice)) {
        return std::nullopt;
    }
    lastBody_[notice.topic] = notice.body;
    if (started_) {
        return notice;
    }
    const auto held = std::find_if(held_.begin(), held_.end(), [&](const Notice& other) {
        return other.topic == notice.topic;
    });
    if (held != held_.end()) {
        *held = std::move(notice);
    } else {
        held_.push_back(std::move(notice));
    }
    return std::nullopt;
}

void NoticeBoard::settle(const std::string& topic) {
    lastBody_.erase(topic);
    std::erase_if(held_, [&](const Notice& notice) { return notice.topic == topic; });
}

std::vector<Notice> NoticeBoard::finishStart(const std::string& summaryTitle) {
    if (started_) {
        return {};
    }
    started_ = true;
    std::vector<Notice> told;
    Notice summary{.topic = "", .title = summaryTitle, .body = ""};
    for (Notice& notice : held_) {
        if (notice.title.empty()) {
            summary.body += (summary.body.empty() ? "" : "\n") + notice.body;
        } else {
            told.push_back(std::move(notice));
        }
    }
    held_.clear();
    if (!summary.body.empty()) {
        told.insert(told.begin(), std::move(summary));
    }
    return told;
}

} // namespace tunora
