#include "linux/tray/IndicatorStatusItem.h"

#include "linux/system/XdgPaths.h"
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

} // namespace

IndicatorStatusItem::IndicatorStatusItem(ActionTarget& application,
                                         std::filesystem::path iconFolder)
    : application_(application), iconFolder_(std::move(iconFolder)),
      indicator_(app_indicator_new("tunora", "audio-x-generic",
                                   APP_INDICATOR_CATEGORY_APPLICATION_STATUS)),
      accelerators_(gtk_accel_group_new()) {
    app_indicator_set_title(indicator_.get(), "Tunora");
    app_indicator_set_status(indicator_.get(), APP_INDICATOR_STATUS_ACTIVE);
}

IndicatorStatusItem::~IndicatorStatusItem() {
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
    const auto temporary = file.string() + ".part";
    if (cairo_surface_write_to_png(picture->surface(), temporary.c_str()) != CAIRO_STATUS_SUCCESS ||
        std::rename(temporary.c_str(), file.c_str()) != 0) {
        ::unlink(temporary.c_str());
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

// libayatana exports no tooltip; panels show the item's title on hover instead.
void IndicatorStatusItem::setToolTip(const std::string& toolTip) {
    app_indicator_set_title(indicator_.get(), toolTip.empty() ? "Tunora" : toolTip.c_str());
}

void IndicatorStatusItem::setMenu(std::unique_ptr<Menu> menu) {
    GtkWidget* gtkMenu = buildGtkMenu(*menu, application_, accelerators_.get());
    g_object_ref_sink(gtkMenu);
    app_indicator_set_menu(indicator_.get(), GTK_MENU(gtkMenu));
    if (menu_) {
        retired_.emplace_back(std::move(menu_), std::move(gtkMenu_));
        if (!releaseSource_) {
            releaseSource_.reset(g_idle_add(&IndicatorStatusItem::releaseRetired, this));
        }
    }
    menu_ = std::move(menu);
    gtkMenu_.reset(gtkMenu);
}

gboolean IndicatorStatusItem::releaseRetired(gpointer self) {
    auto* item = static_cast<IndicatorStatusItem*>(self);
    item->releaseSource_.forget();
    for (auto& [menu, widget] : item->retired_) {
        gtk_widget_destroy(widget.get());
    }
    item->retired_.clear();
    return G_SOURCE_REMOVE;
}

IndicatorStatusBar::IndicatorStatusBar(ActionTarget& application, std::filesystem::path iconFolder)
    : application_(application), iconFolder_(std::move(iconFolder)) {}

std::shared_ptr<StatusItem> IndicatorStatusBar::statusItemWithLength(double) {
    return std::make_shared<IndicatorStatusItem>(application_, iconFolder_);
}

std::filesystem::path IndicatorStatusBar::defaultIconFolder() {
    if (auto runtime = xdg::runtimeDir()) {
        const auto folder = *runtime / "tunora";
        ::mkdir(folder.c_str(), 0700);
        return folder;
    }
    std::string pattern = "/tmp/tunora-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) {
        return pattern;
    }
    return "/tmp";
}

} // namespace tunora
