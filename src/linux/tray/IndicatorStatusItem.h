#pragma once

#include "linux/glib/GObjectPtr.h"
#include "linux/tray/TrayPresence.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusItem.h"

#include <filesystem>
#include <functional>
#include <gtk/gtk.h>
#include <libayatana-appindicator/app-indicator.h>
#include <memory>

namespace tunora {

// The status item as an application indicator (StatusNotifierItem with a
// dbusmenu export; libayatana falls back to an XEmbed tray icon by itself when
// no StatusNotifierWatcher runs).
//
// The picture goes to the indicator as a PNG in a private folder, under a new
// name whenever its pixels change (panels cache icons by name). The title goes
// into the label (drawn by GNOME's AppIndicator extension and MATE); the tooltip
// into the item's title, which panels show on hover.
class IndicatorStatusItem : public StatusItem, private StatusButton {
  public:
    // onNoTray: called once when, a few seconds after start, no tray shows the item.
    IndicatorStatusItem(ActionTarget& application, std::filesystem::path iconFolder,
                        std::function<void()> onNoTray = {});
    ~IndicatorStatusItem() override;

    StatusButton* button() override { return this; }
    // The newest menu is shown once the loop is back: a burst of changes (a
    // flood of media commands or menu events) builds widgets only once.
    void setMenu(std::unique_ptr<Menu> menu) override;
    const Menu* menu() const override { return pending_ ? pending_.get() : menu_.get(); }
    void setScrollHandler(std::function<void(int)> handler) override;

    AppIndicator* indicator() const { return indicator_.get(); }

  private:
    void setImage(std::shared_ptr<Image> image) override;
    void setTitle(const std::string& title) override;
    void setFont(Font) override {} // the panel draws labels in its own font
    void setToolTip(const std::string& toolTip) override;
    void show(std::unique_ptr<Menu> menu);
    static gboolean showPending(gpointer self);
    static void onScroll(AppIndicator*, gint delta, GdkScrollDirection direction, gpointer self);
    std::function<void(int)> onScroll_;

    ActionTarget& application_;
    std::filesystem::path iconFolder_;
    GObjectPtr<AppIndicator> indicator_;
    GObjectPtr<GtkAccelGroup> accelerators_;
    std::unique_ptr<Menu> menu_; // what the widgets show; their activations point into it
    GObjectPtr<GtkWidget> gtkMenu_;
    std::unique_ptr<Menu> pending_; // set, not shown yet
    GSourceId showSource_;
    std::filesystem::path iconFile_;
    std::unique_ptr<TrayPresence> trayPresence_;
};

// Makes indicator status items.
class IndicatorStatusBar : public StatusBar {
  public:
    IndicatorStatusBar(ActionTarget& application, std::filesystem::path iconFolder,
                       std::function<void()> onNoTray = {});
    std::shared_ptr<StatusItem> statusItemWithLength(double length) override;

  private:
    ActionTarget& application_;
    std::filesystem::path iconFolder_;
    std::function<void()> onNoTray_;
};

} // namespace tunora
