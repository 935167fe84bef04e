#pragma once

#include "platform/LoginItemService.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tunora {

// Start at login through an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/org.tunora.Tunora.desktop, that starts this very
// program. Enabled while the entry exists and neither hides nor disables itself.
class XdgAutostart : public LoginItemService {
  public:
    XdgAutostart(std::filesystem::path entry, std::filesystem::path program);
    static std::filesystem::path defaultEntry();

    int status() override;
    bool registerApplication() override;
    bool unregisterApplication() override;
    std::string lastProblem() const override { return lastProblem_; }

    // The program as an Exec= value, quoted and escaped as desktop entries
    // require; none for a path that a desktop entry cannot express.
    static std::optional<std::string> execValue(const std::string& program);

  private:
    bool failed(std::string problem);

    std::filesystem::path entry_;
    std::filesystem::path program_;
    std::string lastProblem_;
};

} // namespace tunora
