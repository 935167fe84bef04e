#include "linux/tray/TrayStatusItem.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"
#include "linux/toolkit/GtkOnDemand.h"
#include "linux/tray/IconPixmaps.h"

#include <cmath>

namespace tunora {
namespace {

constexpr const char* menuPath = "/MenuBar";

} // namespace

TrayStatusItem::TrayStatusItem(ActionTarget& application, Options options)
    : application_(application), options_(std::move(options)), export_(menuPath, application),
      item_(menuPath,
            {
                .activate = [this](int x, int y) { return activate(x, y); },
                .secondaryActivate =
                    [this] {
                        if (options_.playPause) {
                            options_.playPause();
                        }
                    },
                .scroll = [this](int steps) { scroll(steps); },
                .registrationChanged = [this](bool registered) { registrationChanged(registered); },
            }) {
    if (options_.onNoTray) {
        trayPresence_ = std::make_unique<TrayPresence>(
            std::chrono::seconds(5), [this] { return registered_; }, options_.onNoTray);
    }
}

TrayStatusItem::~TrayStatusItem() {
    showSource_.reset();
    xembed_.reset(); // its widgets point into the menu
    popUpMenu_.reset();
}

void TrayStatusItem::setImage(std::shared_ptr<Image> image) {
    auto picture = std::dynamic_pointer_cast<const CairoImage>(image);
    // The core draws the picture anew at every menu change, mostly the same:
    // drawing it at six sizes only for the item to find them unchanged costs
    // the click that changed the menu.
    if (!picture || (picture_ && picture->hasSamePixels(*picture_))) {
        return;
    }
    picture_ = std::move(picture);
    item_.setIconPixmaps(iconPixmaps(*picture_, pictureParts_, trayPictureSizes));
    if (xembed_) {
        xembed_->setPicture(picture_, pictureParts_);
    }
}

void TrayStatusItem::setToolTip(const StatusToolTip& toolTip) {
    toolTip_ = toolTip;
    item_.setLabel(toolTip.station);
    item_.setTitle(toolTip.station.empty() ? "Tunora" : toolTip.oneLine());
    if (!volumeSource_) {
        showToolTip();
    }
    if (xembed_) {
        xembed_->setToolTip(toolTip.oneLine());
    }
}

// The station is the tooltip's title, what it plays its text; while a wheel
// step is fresh, the text is the volume.
void TrayStatusItem::showToolTip() {
    const std::string title = toolTip_.station.empty() ? "Tunora" : toolTip_.station;
    if (volumeSource_) {
        item_.setToolTip(title, GettextStrings::translate(N_("Volume")) + " " +
                                    std::to_string(volumePercent_) + " %");
        return;
    }
    item_.setToolTip(title, toolTip_.detail);
}

void TrayStatusItem::setScrollHandler(std::function<double(int)> handler) {
    onScroll_ = std::move(handler);
}

void TrayStatusItem::scroll(int steps) {
    if (!onScroll_) {
        return;
    }
    volumePercent_ = std::lround(onScroll_(steps) * 100);
    volumeSource_.reset(g_timeout_add(guint(options_.volumeShown.count()),
                                      &TrayStatusItem::volumeShownEnough, this));
    showToolTip();
}

gboolean TrayStatusItem::volumeShownEnough(gpointer self) {
    auto* item = static_cast<TrayStatusItem*>(self);
    item->volumeSource_.forget();
    item->showToolTip();
    return G_SOURCE_REMOVE;
}

// Hosts that honour ItemIsMenu open the exported menu themselves and never send
// this. On Wayland a program cannot place a menu at a point of the screen: the
// host hears that it failed, and those that can (COSMIC) open the menu.
bool TrayStatusItem::activate(int x, int y) {
    if (!menu_ || inWaylandSession() || gtkX11Display() == nullptr) {
        return false;
    }
    if (!popUpMenu_) {
        popUpMenu_ = std::make_unique<GtkTrayMenu>(application_);
        popUpMenu_->setDidCloseHandler(onMenuDidClose_);
        popUpMenu_->show(*menu_);
    }
    popUpMenu_->popUpForClickAt(x, y);
    return true;
}

void TrayStatusItem::setMenuDidCloseHandler(std::function<void()> handler) {
    onMenuDidClose_ = std::move(handler);
    export_.setDidCloseHandler(onMenuDidClose_);
    if (xembed_) {
        xembed_->setMenuDidCloseHandler(onMenuDidClose_);
    }
    if (popUpMenu_) {
        popUpMenu_->setDidCloseHandler(onMenuDidClose_);
    }
}

void TrayStatusItem::setMenu(std::unique_ptr<Menu> menu) {
    if (!menu_) {
        show(std::move(menu)); // the first menu: there before any panel asks
        return;
    }
    // This may run inside an activation of the shown menu, whose items must
    // live on until it returns; a menu replaced before it was shown goes at once.
    pending_ = std::move(menu);
    if (!showSource_) {
        // At the priority of the D-Bus calls that cause rebuilds: a plain idle
        // would starve while media commands keep coming.
        showSource_.reset(
            g_idle_add_full(G_PRIORITY_DEFAULT, &TrayStatusItem::showPending, this, nullptr));
    }
}

gboolean TrayStatusItem::showPending(gpointer self) {
    auto* item = static_cast<TrayStatusItem*>(self);
    item->showSource_.forget();
    if (item->pending_) {
        item->show(std::move(item->pending_));
    }
    return G_SOURCE_REMOVE;
}

// Runs with no activation under way, so what the new menu replaces goes now.
void TrayStatusItem::show(std::unique_ptr<Menu> menu) {
    export_.show(*menu);
    if (xembed_) {
        xembed_->show(*menu);
    }
    if (popUpMenu_) {
        popUpMenu_->show(*menu);
    }
    menu_ = std::move(menu);
}

// Without a watcher the item lives in an XEmbed tray, if the desktop has one;
// once a watcher holds the item that icon goes.
void TrayStatusItem::registrationChanged(bool registered) {
    registered_ = registered;
    if (registered) {
        xembed_.reset();
        return;
    }
    if (xembed_ || !XEmbedTrayIcon::possible()) {
        return;
    }
    xembed_ = std::make_unique<XEmbedTrayIcon>(application_, [this](int steps) { scroll(steps); });
    if (picture_) {
        xembed_->setPicture(picture_, pictureParts_);
    }
    xembed_->setToolTip(toolTip_.oneLine());
    xembed_->setMenuDidCloseHandler(onMenuDidClose_);
    if (menu_) {
        xembed_->show(*menu_);
    }
}

} // namespace tunora
