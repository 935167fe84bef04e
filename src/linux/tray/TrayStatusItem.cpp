#include "linux/tray/TrayStatusItem.h"

#include "linux/strings/GettextStrings.h"
#include "linux/system/Environment.h"
#include "linux/toolkit/GtkOnDemand.h"
#include "linux/tray/IconPixmaps.h"

#include <cmath>

namespace tunora {
namespace {

constexpr const char* menuPath = "/MenuBar";

// The core sets the title with a space before it, to keep it apart from the
// picture in a menu bar; panels leave their own gap.
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

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
    item_.setIconPixmaps(iconPixmaps(*picture_, trayPictureSizes));
    if (xembed_) {
        xembed_->setPicture(picture_);
    }
}

void TrayStatusItem::setTitle(const std::string& title) {
    item_.setLabel(trimmed(title));
}

void TrayStatusItem::setToolTip(const std::string& toolTip) {
    toolTip_ = toolTip;
    item_.setTitle(toolTip.empty() ? "Tunora" : toolTip);
    if (!volumeSource_) {
        showToolTip();
    }
    if (xembed_) {
        xembed_->setToolTip(toolTip);
    }
}

// "NDR 2 – Artist - Song": the station is the tooltip's title, the rest its
// text; while a wheel step is fresh, the text is the volume.
void TrayStatusItem::showToolTip() {
    const std::string dash = " \u2013 ";
    const auto split = toolTip_.find(dash);
    std::string title = toolTip_.empty() ? "Tunora" : toolTip_.substr(0, split);
    std::string text = split == std::string::npos ? "" : toolTip_.substr(split + dash.size());
    if (volumeSource_ && options_.volume) {
        const long percent = std::lround(options_.volume() * 100);
        text = GettextStrings::translate(N_("Volume")) + " " + std::to_string(percent) + " %";
    }
    item_.setToolTip(title, text);
}

void TrayStatusItem::setScrollHandler(std::function<void(int)> handler) {
    onScroll_ = std::move(handler);
}

void TrayStatusItem::scroll(int steps) {
    if (!onScroll_) {
        return;
    }
    onScroll_(steps);
    if (options_.volume) {
        volumeSource_.reset(g_timeout_add(guint(options_.volumeShown.count()),
                                          &TrayStatusItem::volumeShownEnough, this));
        showToolTip();
    }
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
        popUpMenu_->show(*menu_);
    }
    popUpMenu_->popUpForClickAt(x, y);
    return true;
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
        xembed_->setPicture(picture_);
    }
    xembed_->setToolTip(toolTip_);
    if (menu_) {
        xembed_->show(*menu_);
    }
}

} // namespace tunora
