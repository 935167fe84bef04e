#pragma once

#include "linux/strings/GettextStrings.h"

#include <string>

namespace tunora {

// What the update check tells the user.
class UpdateDialogs {
  public:
    static constexpr const char* title = N_("Tunora Update");

    virtual ~UpdateDialogs() = default;
    // A newer version, with a button that opens its download page.
    virtual void showAvailable(const std::string& version, const std::string& downloadPage) = 0;
    virtual void showUpToDate() = 0;
    virtual void showFailed(const std::string& reason) = 0;
    virtual void showNotConfigured() = 0;
};

// Small GTK message dialogs; the download page opens in the desktop's default handler.
class GtkUpdateDialogs : public UpdateDialogs {
  public:
    void showAvailable(const std::string& version, const std::string& downloadPage) override;
    void showUpToDate() override;
    void showFailed(const std::string& reason) override;
    void showNotConfigured() override;
};

} // namespace tunora
