#include "linux/tray/IndicatorStatusItem.h"

#include "linux/system/Files.h"
#include "linux/toolkit/CairoGraphics.h"
#include "linux/tray/GtkMenuBuilder.h"

#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tunora {
namespace {

// FNV-1a over the pixels: a new file name exactly when the picture changes.
std::string pixelHash(cairo_surface_t* surface) {
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const std::size_t length = std::size_t(cairo_image_surface_get_stride(surface)) *
                               std::size_t(cairo_image_surface_get_height(surface));
    std::uint64_t hash = 1469598103934665603ull;
    for (std::size_t i = 0; data != nullptr && i < length; ++i) {
        hash = (hash ^ data[i]) * 1099511628211ull;
    }
    hash ^= std::uint64_t(cairo_image_surface_get_width(surface)) << 32;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

cairo_status_t appendPng(void* png, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(png)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

// libayatana-appindicator 0.5.94 (Debian 13) marks its constructors deprecated in
// favour of libayatana-appindicator-glib, which neither Debian 12 nor 13 ships; the
// library still works, so this one call is let through.
AppIndicator* newIndicator() {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return app_indicator_new("tunora", "audio-x-generic",
                             APP_INDICATOR_CATEGORY_APPLICATION_STATUS);
#pragma GCC diagnostic pop
}

} // namespace

IndicatorStatusItem::IndicatorStatusItem(ActionTarget& application,
                                         std::filesystem::path iconFolder,
                                         std::function<void()> onNoTray)
    : application_(application), iconFolder_(std::move(iconFolder)), indicator_(newIndicator()),
      accelerators_(gtk_accel_group_new()) {
    app_indicator_set_title(indicator_.get(), "Tunora");
    app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
    if (onNoTray) {
        trayPresence_ = std::make_unique<TrayPresence>(indicator_.get(), std::chrono::seconds(5),
                                                       std::move(onNoTray));
    }
}

IndicatorStatusItem::~IndicatorStatusItem() {
    showSource_.reset();
    // The indicator lets go of the menu first; the menu's widgets then go while
    // the accelerator group they are bound to still exists.
    indicator_.reset();
    if (gtkMenu_) {
        gtk_widget_destroy(gtkMenu_.get());
    }
    gtkMenu_.reset();
    if (!iconFile_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(iconFile_, ignored);
    }
}

void IndicatorStatusItem::setImage(std::shared_ptr<Image> image) {
    const auto* picture = dynamic_cast<const CairoImage*>(image.get());
    if (picture == nullptr) {
        return;
    }
    const auto file = iconFolder_ / ("tunora-" + pixelHash(picture->surface()) + ".png");
    if (file == iconFile_) {
        return;
    }
    std::string png;
    std::string problem;
    if (cairo_surface_write_to_png_stream(picture->surface(), &appendPng, &png) !=
            CAIRO_STATUS_SUCCESS ||
        !files::replaceFile(file, png, 0600, problem)) {
        return;
    }
    app_indicator_set_icon_full(indicator_.get(), file.c_str(), "Tunora");
    if (!iconFile_.empty()) {
        std::error_code ignored;
        std::filesystem::remove(iconFile_, ignored);
    }
    iconFile_ = file;
}

void IndicatorStatusItem::setTitle(const std::string& title) {
    app_indicator_set_label(indicator_.get(), title.c_str(), title.c_str());
}

// libayatana turns the panel's Scroll call (and the XEmbed icon's wheel events)
// into this signal.
void IndicatorStatusItem::setScrollHandler(std::function<void(int)> handler) {
    if (!onScroll_) {
        g_signal_connect(indicator_.get(), APP_INDICATOR_SIGNAL_SCROLL_EVENT,
                         G_CALLBACK(&IndicatorStatusItem::onScroll), this);
    }
    onScroll_ = std::move(handler);
}

// One step per event: hosts send wheel deltas in units of their own (KDE 120
// a notch), and the direction libayatana derives from them is what counts.
void IndicatorStatusItem::onScroll(AppIndicator*, gint, GdkScrollDirection direction,
                                   gpointer self) {
    auto* item = static_cast<IndicatorStatusItem*>(self);
    if (direction == GDK_SCROLL_UP || direction == GDK_SCROLL_RIGHT) {
        item->onScroll_(1);
    } else if (direction == GDK_SCROLL_DOWN || direction == GDK_SCROLL_LEFT) {
        item->onScroll_(-1);
    }
}

// libayatana exports no tooltip; panels show the item's title on hover instead.
void IndicatorStatusItem::setToolTip(const std::string& toolTip) {
    app_indicator_set_title(indicator_.get(), toolTip.empty() ? "Tunora" : toolTip.c_str());
}

void IndicatorStatusItem::setMenu(std::unique_ptr<Menu> menu) {
    if (!gtkMenu_) {
        show(std::move(menu)); // the first menu: the item registers with it
        return;
    }
    // This may run inside an activation of the shown menu, whose items must
    // live on until it returns; a menu replaced before it was shown goes at once.
    pending_ = std::move(menu);
    if (!showSource_) {
        // At the priority of the D-Bus calls that cause rebuilds: a plain idle
        // would starve while media commands keep coming.
        showSource_.reset(
            g_idle_add_full(G_PRIORITY_DEFAULT, &IndicatorStatusItem::showPending, this, nullptr));
    }
}

gboolean IndicatorStatusItem::showPending(gpointer self) {
    auto* item = static_cast<IndicatorStatusItem*>(self);
    item->showSource_.forget();
    if (item->pending_) {
        item->show(std::move(item->pending_));
    }
    return G_SOURCE_REMOVE;
}

// Runs with no activation under way, so what the new menu replaces goes now.
void IndicatorStatusItem::show(std::unique_ptr<Menu> menu) {
    if (gtkMenu_ && canUpdateGtkMenu(gtkMenu_.get(), *menu)) {
        // Most changes touch only texts and check marks: the widgets stay, and
        // so do their D-Bus export and the panel's copy of it.
        for (auto& widget :
             updateGtkMenu(gtkMenu_.get(), *menu, application_, accelerators_.get())) {
            gtk_widget_destroy(widget.get());
        }
        menu_ = std::move(menu);
        return;
    }
    GtkWidget* gtkMenu = buildGtkMenu(*menu, application_, accelerators_.get());
    g_object_ref_sink(gtkMenu);
    app_indicator_set_menu(indicator_.get(), GTK_MENU(gtkMenu));
    if (gtkMenu_) {
        gtk_widget_destroy(gtkMenu_.get());
    }
    gtkMenu_.reset(gtkMenu);
    menu_ = std::move(menu);
}

IndicatorStatusBar::IndicatorStatusBar(ActionTarget& application, std::filesystem::path iconFolder,
                                       std::function<void()> onNoTray)
    : application_(application), iconFolder_(std::move(iconFolder)),
      onNoTray_(std::move(onNoTray)) {}

std::shared_ptr<StatusItem> IndicatorStatusBar::statusItemWithLength(double) {
    return std::make_shared<IndicatorStatusItem>(application_, iconFolder_, onNoTray_);
}

} // namespace tunora
