#pragma once

#include <string>

namespace tunora {

// Problems the listener has to hear of although nothing failed in front of
// them: settings that were set aside, a configuration that is ignored, a
// shortcut bound to no station. Most listeners start the program from a
// launcher or at login and never see its stderr, so each problem is told
// where they look, once.
class ProblemLog {
  public:
    virtual ~ProblemLog() = default;
    // One problem, as a sentence in the listener's language.
    virtual void report(const std::string& problem) = 0;
    // The program is up: what was reported so far is told together, and each
    // later problem on its own.
    virtual void startFinished() = 0;
};

} // namespace tunora
