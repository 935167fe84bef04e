#pragma once

#include <string>

namespace tunora {

// Something the listener is told outside the menu: a problem, a station that
// cannot be played, a setting that was not saved, advice.
struct Notice {
    // What it is about. The listener hears of a topic once: the same notice
    // again only after the topic was settled (the station played, a save
    // worked). Empty: the body itself is the topic.
    std::string topic = {};
    // Empty: a problem, told under the program's own heading (and, while the
    // program starts, with the others found then).
    std::string title = {};
    std::string body = {};
    // Told once for good: remembered across runs, never settled.
    bool lasting = false;
};

// The one way to tell the listener anything outside the menu. Most listeners
// start the program from a launcher or at login and never see its stderr, so
// each notice goes where they look (a notification) and to the log, once.
class ProblemLog {
  public:
    virtual ~ProblemLog() = default;
    virtual void tell(const Notice& notice) = 0;
    // The topic's problem is gone: its next notice is news again.
    virtual void settle(const std::string& topic) = 0;
    // The program is up: what was told so far goes out together, and each
    // later notice on its own.
    virtual void startFinished() = 0;

    // One problem, as a sentence in the listener's language.
    void report(const std::string& problem) { tell({.body = problem}); }
};

} // namespace tunora
