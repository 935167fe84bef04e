#pragma once

#include "platform/LoginItemService.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tunora {

// Start at login through an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/org.tunora.Tunora.desktop, that starts this very
// program. Enabled while the entry exists and neither hides nor disables itself.
class XdgAutostart : public LoginItemService {
  public:
    // programFolders: where an installed Tunora lives, folders every login's
    // PATH holds.
    XdgAutostart(std::filesystem::path entry, std::filesystem::path program,
                 std::vector<std::filesystem::path> programFolders = systemProgramFolders());
    static std::filesystem::path defaultEntry();
    static std::vector<std::filesystem::path> systemProgramFolders();

    int status() override;
    bool registerApplication() override;
    bool unregisterApplication() override;
    std::string lastProblem() const override { return lastProblem_; }

    // The program as an Exec= value, quoted and escaped as desktop entries
    // require; none for a path that a desktop entry cannot express.
    static std::optional<std::string> execValue(const std::string& program);

    // What the entry starts: "tunora" for an installed program that PATH finds
    // by that name, so that the entry keeps working when a package replaces an
    // installation from source or the other way round; else the program's path
    // (a build tree, a copy elsewhere), which no login's PATH would find.
    std::string command() const;

  private:
    bool failed(std::string problem);

    std::filesystem::path entry_;
    std::filesystem::path program_;
    std::vector<std::filesystem::path> programFolders_;
    std::string lastProblem_;
};

} // namespace tunora
