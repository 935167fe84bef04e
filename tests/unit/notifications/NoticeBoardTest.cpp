#include "core/notifications/NoticeBoard.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

// What the board lets through, one call after another, as "title: body" lines.
struct Step {
    enum class Kind { offer, settle, finishStart } kind;
    Notice notice;
    std::vector<std::string> told;
};

Step offer(Notice notice, std::vector<std::string> told = {}) {
    return {Step::Kind::offer, std::move(notice), std::move(told)};
}
Step settle(std::string topic) {
    return {Step::Kind::settle, {.topic = std::move(topic)}, {}};
}
Step finishStart(std::vector<std::string> told) {
    return {Step::Kind::finishStart, {}, std::move(told)};
}

std::string shown(const Notice& notice) {
    return notice.title + ": " + notice.body;
}

void play(NoticeBoard& board, const std::vector<Step>& steps, const std::string& name) {
    for (std::size_t index = 0; index < steps.size(); ++index) {
        const Step& step = steps[index];
        std::vector<std::string> told;
        switch (step.kind) {
        case Step::Kind::offer:
            if (auto notice = board.offer(step.notice)) {
                told.push_back(shown(*notice));
            }
            break;
        case Step::Kind::settle:
            board.settle(step.notice.topic);
            break;
        case Step::Kind::finishStart:
            for (const Notice& notice : board.finishStart("Started")) {
                told.push_back(shown(notice));
            }
            break;
        }
        EXPECT_EQ(told, step.told) << name << ", step " << index + 1;
    }
}

const Notice ndr2Gone{.topic = "station ndr2", .title = "NDR 2 cannot be played", .body = "404"};
const Notice ndr2Refused{
    .topic = "station ndr2", .title = "NDR 2 cannot be played", .body = "refused"};
const Notice wdr2Gone{.topic = "station wdr2", .title = "WDR 2 cannot be played", .body = "404"};

TEST(NoticeBoardTest, EachThingIsToldOnceUntilItsTopicIsSettled) {
    const std::vector<std::pair<std::string, std::vector<Step>>> cases = {
        {"the problems of the start, in one notice, each once",
         {offer({.body = "a"}), offer({.body = "b"}), offer({.body = "a"}),
          finishStart({"Started: a\nb"}), offer({.body = "a"}), offer({.body = "c"}, {": c"}),
          offer({.body = "c"})}},
        {"a quiet start tells nothing", {finishStart({})}},
        {"titled notices of the start come after the summary, each on its own",
         {offer(ndr2Gone), offer({.body = "a"}), finishStart({"Started: a", shown(ndr2Gone)})}},
        {"a later notice on a held topic replaces it",
         {offer({.topic = "file", .body = "cannot be read"}), offer({.body = "x"}),
          offer({.topic = "file", .body = "cannot be read, kept as bad"}),
          finishStart({"Started: cannot be read, kept as bad\nx"}),
          offer({.topic = "file", .body = "cannot be read"}, {": cannot be read"})}},
        {"a held notice whose problem went is not told",
         {offer({.topic = "volume", .body = "not saved"}), settle("volume"), finishStart({})}},
        {"a station failing again the same way is told once, until it played",
         {finishStart({}), offer(ndr2Gone, {shown(ndr2Gone)}), offer(ndr2Gone),
          offer(wdr2Gone, {shown(wdr2Gone)}), offer(ndr2Refused, {shown(ndr2Refused)}),
          offer(ndr2Gone, {shown(ndr2Gone)}), offer(ndr2Gone), settle("station ndr2"),
          offer(ndr2Gone, {shown(ndr2Gone)}), offer(wdr2Gone)}},
    };
    for (const auto& [name, steps] : cases) {
        NoticeBoard board;
        play(board, steps, name);
    }
}

TEST(NoticeBoardTest, ALastingNoticeIsToldOnceForGoodAndAgainWhenItSaysSomethingNew) {
    const Notice sway{.topic = "keys-told-sway",
                      .title = "Station keys on Sway",
                      .body = "bindsym Mod1+1 exec tunora --slot 1",
                      .lasting = true};
    Notice reworded = sway;
    reworded.body = "bindsym Mod1+1 exec tunora --slot 1\nthen reload Sway.";
    const std::vector<std::tuple<std::string, std::optional<std::string>, std::vector<Step>>>
        cases = {
            {"never told",
             std::nullopt,
             {finishStart({}), offer(sway, {shown(sway)}), offer(sway)}},
            {"told in an earlier run", sway.body, {finishStart({}), offer(sway)}},
            {"told in an earlier run in other words",
             sway.body,
             {finishStart({}), offer(reworded, {shown(reworded)}), offer(reworded)}},
            {"held through the start",
             std::nullopt,
             {offer(sway), finishStart({shown(sway)}), offer(sway)}},
        };
    for (const auto& [name, earlier, steps] : cases) {
        std::vector<std::string> asked;
        NoticeBoard board([&, earlier = earlier](const std::string& topic) {
            asked.push_back(topic);
            return earlier;
        });
        play(board, steps, name);
        EXPECT_EQ(asked.front(), "keys-told-sway") << name;
    }
}

} // namespace
} // namespace tunora
