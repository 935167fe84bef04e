#pragma once

#include "linux/toolkit/CairoGraphics.h"
#include "linux/tray/DbusmenuExport.h"
#include "linux/tray/GtkTrayMenu.h"
#include "linux/tray/StatusNotifierItem.h"
#include "linux/tray/TrayPresence.h"
#include "linux/tray/XEmbedTrayIcon.h"
#include "platform/toolkit/Application.h"
#include "platform/toolkit/StatusItem.h"

#include <chrono>
#include <functional>
#include <memory>

namespace tunora {

// The status item as a StatusNotifierItem with its menu exported over dbusmenu,
// and an XEmbed tray icon for as long as no StatusNotifierWatcher holds it.
//
// The picture goes to the panel as pixels at each size panels draw it, each
// drawn anew; the station into the label that GNOME's AppIndicator extension
// and MATE draw; the hover text on one line into the title and, as the station
// and what it plays, into the tooltip, which for a few seconds after a wheel
// step shows the volume instead. A left click that
// reaches the program (hosts that ignore ItemIsMenu) opens the menu on X11, by
// the pointer.
class TrayStatusItem : public StatusItem, private StatusButton {
  public:
    struct Options {
        // A middle click on the item.
        std::function<void()> playPause;
        // Called once when, a few seconds after start, no tray shows the item.
        std::function<void()> onNoTray;
        // How long the hover text shows the volume after the last wheel step.
        std::chrono::milliseconds volumeShown{3000};
    };

    TrayStatusItem(ActionTarget& application, Options options);
    ~TrayStatusItem() override;

    StatusButton* button() override { return this; }
    // The newest menu is shown once the loop is back: a burst of changes (a
    // flood of media commands or menu events) exports the menu only once.
    void setMenu(std::unique_ptr<Menu> menu) override;
    const Menu* menu() const override { return pending_ ? pending_.get() : menu_.get(); }
    void setScrollHandler(std::function<double(int)> handler) override;
    void setMenuOpeningHandler(std::function<void(const Menu&)> handler) override {
        export_.setOpeningHandler(std::move(handler));
    }
    void setMenuDidCloseHandler(std::function<void()> handler) override;

  private:
    void setImage(std::shared_ptr<Image> image) override;
    void setImageParts(std::vector<Rect> parts) override { pictureParts_ = std::move(parts); }
    // The label is the hover text's station, the title's name without the
    // gap a menu bar needs; the panel draws labels in its own font.
    void setTitle(const std::string&) override {}
    void setFont(Font) override {}
    void setToolTip(const StatusToolTip& toolTip) override;
    void show(std::unique_ptr<Menu> menu);
    static gboolean showPending(gpointer self);
    void registrationChanged(bool registered);
    void scroll(int steps);
    bool activate(int x, int y);
    void showToolTip();
    static gboolean volumeShownEnough(gpointer self);

    ActionTarget& application_;
    Options options_;
    std::function<double(int)> onScroll_;
    std::function<void()> onMenuDidClose_; // for each menu, exported or drawn
    DbusmenuExport export_;
    StatusNotifierItem item_;
    std::unique_ptr<Menu> menu_;    // what the menu shows; its choices point into it
    std::unique_ptr<Menu> pending_; // set, not shown yet
    GSourceId showSource_;
    std::shared_ptr<const CairoImage> picture_;
    std::vector<Rect> pictureParts_;
    StatusToolTip toolTip_;
    long volumePercent_ = 0;
    GSourceId volumeSource_; // while the hover text shows the volume
    bool registered_ = false;
    std::unique_ptr<XEmbedTrayIcon> xembed_;
    std::unique_ptr<GtkTrayMenu> popUpMenu_; // made by the first Activate on X11
    std::unique_ptr<TrayPresence> trayPresence_;
};

// Makes tray status items.
class TrayStatusBar : public StatusBar {
  public:
    TrayStatusBar(ActionTarget& application, TrayStatusItem::Options options)
        : application_(application), options_(std::move(options)) {}
    std::shared_ptr<StatusItem> statusItemWithLength(double) override {
        return std::make_shared<TrayStatusItem>(application_, options_);
    }

  private:
    ActionTarget& application_;
    TrayStatusItem::Options options_;
};

} // namespace tunora
