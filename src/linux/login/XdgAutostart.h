#pragma once

#include "platform/LoginItemService.h"

#include <filesystem>

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

    // The program as an Exec= value: quoted and escaped as desktop entries require.
    static std::string execValue(const std::string& program);

  private:
    std::filesystem::path entry_;
    std::filesystem::path program_;
};

} // namespace tunora
