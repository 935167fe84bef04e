#include "linux/toolkit/CairoGraphics.h"

#include "linux/glib/GObjectPtr.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <pango/pangocairo.h>

namespace tunora {
namespace {

constexpr const char* germanFlag = "\U0001F1E9\U0001F1EA";

struct FontDescriptionFree {
    void operator()(PangoFontDescription* description) const {
        pango_font_description_free(description);
    }
};

// The desktop's sans-serif font (fontconfig's alias) at an absolute size in points.
std::unique_ptr<PangoFontDescription, FontDescriptionFree> systemFont(Font font) {
    std::unique_ptr<PangoFontDescription, FontDescriptionFree> description(
        pango_font_description_from_string("Sans"));
    pango_font_description_set_absolute_size(description.get(), font.pointSize * PANGO_SCALE);
    return description;
}

GObjectPtr<PangoLayout> makeLayout(cairo_t* context, const std::string& text, Font font) {
    GObjectPtr<PangoLayout> layout(pango_cairo_create_layout(context));
    const auto description = systemFont(font);
    pango_layout_set_font_description(layout.get(), description.get());
    pango_layout_set_text(layout.get(), text.c_str(), static_cast<int>(text.size()));
    return layout;
}

// The box the flag takes: the line of an emoji in a sans-serif font, square.
// Measured without pango, so no font is loaded for the one thing the picture shows.
Size flagBox(Font font) {
    const double side = std::round(font.pointSize * 17.0 / 14.0);
    return {side, side};
}

} // namespace

CairoImage::CairoImage(Size size, double scale)
    : size_(size),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
                                          static_cast<int>(std::ceil(size.width * scale)),
                                          static_cast<int>(std::ceil(size.height * scale)))) {
    cairo_surface_set_device_scale(surface_.get(), scale, scale);
}

CairoImage::CairoImage(CairoSurfacePtr surface)
    : size_{double(cairo_image_surface_get_width(surface.get())),
            double(cairo_image_surface_get_height(surface.get()))},
      surface_(std::move(surface)) {}

void CairoImage::lockFocus() {
    if (!recording_) {
        const cairo_rectangle_t extents{0, 0, size_.width, size_.height};
        recording_.reset(cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents));
    }
    context_.reset(cairo_create(recording_.get()));
}

// The pixels follow the recording, which holds everything drawn so far.
void CairoImage::unlockFocus() {
    context_.reset();
    CairoPtr pixels(cairo_create(surface_.get()));
    cairo_set_operator(pixels.get(), CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(pixels.get(), recording_.get(), 0, 0);
    cairo_paint(pixels.get());
    pixels.reset();
    cairo_surface_flush(surface_.get());
}

bool CairoImage::hasSamePixels(const CairoImage& other) const {
    cairo_surface_t* mine = surface_.get();
    cairo_surface_t* theirs = other.surface_.get();
    cairo_surface_flush(mine);
    cairo_surface_flush(theirs);
    const int height = cairo_image_surface_get_height(mine);
    const int stride = cairo_image_surface_get_stride(mine);
    return size_.width == other.size_.width && size_.height == other.size_.height &&
           cairo_image_surface_get_width(mine) == cairo_image_surface_get_width(theirs) &&
           height == cairo_image_surface_get_height(theirs) &&
           stride == cairo_image_surface_get_stride(theirs) &&
           cairo_image_surface_get_format(mine) == cairo_image_surface_get_format(theirs) &&
           std::memcmp(cairo_image_surface_get_data(mine), cairo_image_surface_get_data(theirs),
                       std::size_t(stride) * std::size_t(height)) == 0;
}

CairoSurfacePtr CairoImage::renderedAtHeight(int pixels) const {
    const double scale = size_.height > 0 ? pixels / size_.height : 1.0;
    const int width = std::max(1, static_cast<int>(std::ceil(size_.width * scale - 0.01)));
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, pixels));
    CairoPtr context(cairo_create(surface.get()));
    cairo_scale(context.get(), scale, scale);
    if (recording_) {
        cairo_set_source_surface(context.get(), recording_.get(), 0, 0);
    } else {
        const double pixelScale = cairo_image_surface_get_height(surface_.get()) / size_.height;
        cairo_scale(context.get(), 1 / pixelScale, 1 / pixelScale);
        cairo_set_source_surface(context.get(), surface_.get(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(context.get()), CAIRO_FILTER_GOOD);
    }
    cairo_paint(context.get());
    context.reset();
    cairo_surface_flush(surface.get());
    return surface;
}

CairoSurfacePtr CairoImage::renderedSquare(int pixels, const std::vector<Rect>& parts) const {
    std::vector<Rect> drawn;
    for (const Rect& part : parts) {
        const Rect bounds = drawnBounds(part);
        if (bounds.width > 0 && bounds.height > 0) {
            drawn.push_back(bounds);
        }
    }
    CairoSurfacePtr surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels));
    if (drawn.empty()) {
        const CairoSurfacePtr wide = renderedAtHeight(pixels);
        const double width = cairo_image_surface_get_width(wide.get());
        const double scale = std::min(1.0, pixels / width);
        CairoPtr context(cairo_create(surface.get()));
        cairo_translate(context.get(), (pixels - width * scale) / 2, 0);
        cairo_scale(context.get(), scale, scale);
        cairo_set_source_surface(context.get(), wide.get(), 0, 0);
        cairo_paint(context.get());
        return surface;
    }
    // One scale for all parts keeps their proportions: the widest fits the
    // width, all of them together the height.
    double widest = 0;
    double stacked = 0;
    for (const Rect& part : drawn) {
        widest = std::max(widest, part.width);
        stacked += part.height;
    }
    const double scale = std::min(pixels / widest, pixels / stacked);
    CairoPtr context(cairo_create(surface.get()));
    double top = (pixels - stacked * scale) / 2;
    for (const Rect& part : drawn) {
        cairo_save(context.get());
        cairo_translate(context.get(), (pixels - part.width * scale) / 2, top);
        cairo_scale(context.get(), scale, scale);
        paintPart(context.get(), part);
        cairo_restore(context.get());
        top += part.height * scale;
    }
    context.reset();
    cairo_surface_flush(surface.get());
    return surface;
}

// The smallest rectangle within `part` that holds everything drawn there, in
// points, to an eighth of a point: a flag is narrower than the line of text it
// stands for. Empty where nothing was drawn (a symbol that was not found).
Rect CairoImage::drawnBounds(const Rect& part) const {
    constexpr double fine = 8.0; // pixels a point
    if (!recording_ || part.width <= 0 || part.height <= 0) {
        return {};
    }
    const int width = static_cast<int>(std::ceil(part.width * fine));
    const int height = static_cast<int>(std::ceil(part.height * fine));
    CairoSurfacePtr mask(cairo_image_surface_create(CAIRO_FORMAT_A8, width, height));
    CairoPtr context(cairo_create(mask.get()));
    cairo_scale(context.get(), fine, fine);
    paintPart(context.get(), part);
    context.reset();
    cairo_surface_flush(mask.get());
    const unsigned char* data = cairo_image_surface_get_data(mask.get());
    const int stride = cairo_image_surface_get_stride(mask.get());
    int left = width, right = -1, top = height, bottom = -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (data[std::ptrdiff_t(y) * stride + x] != 0) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
    }
    if (right < 0) {
        return {};
    }
    return {part.x + left / fine, part.y + top / fine, (right - left + 1) / fine,
            (bottom - top + 1) / fine};
}

// Paints one part of the recording with its top left corner at the origin.
void CairoImage::paintPart(cairo_t* context, const Rect& part) const {
    cairo_rectangle(context, 0, 0, part.width, part.height);
    cairo_clip(context);
    cairo_set_source_surface(context, recording_.get(), -part.x, -part.y);
    cairo_paint(context);
}

void CairoImage::drawText(const std::string& text, Point at, Font font) {
    if (!context_) {
        return;
    }
    if (text == germanFlag) {
        drawGermanFlag(at, flagBox(font));
        return;
    }
    const auto layout = makeLayout(context_.get(), text, font);
    cairo_move_to(context_.get(), at.x, at.y);
    cairo_set_source_rgb(context_.get(), 0, 0, 0);
    pango_cairo_show_layout(context_.get(), layout.get());
}

// The flag is drawn, not taken from the emoji font: the font's picture is a
// waving flag with soft edges that blurs at panel sizes (and is an empty box
// where no colour emoji font is installed). Three stripes in the space the text
// takes, framed in grey, stay sharp at any size and show their black stripe on
// a black bar and their gold one on a white bar.
void CairoImage::drawGermanFlag(Point at, Size box) {
    // 5:3, as the flag is, within the text's box.
    const double width = std::min(box.width * 0.92, box.height * 1.4);
    const double x = at.x + (box.width - width) / 2;
    const double stripe = width * 0.6 / 3;
    const double top = at.y + (box.height - 3 * stripe) / 2;
    const double colours[3][3] = {{0, 0, 0}, {0.87, 0, 0}, {1, 0.81, 0}};
    for (int i = 0; i < 3; ++i) {
        cairo_set_source_rgb(context_.get(), colours[i][0], colours[i][1], colours[i][2]);
        cairo_rectangle(context_.get(), x, top + i * stripe, width, stripe);
        cairo_fill(context_.get());
    }
    // Around the stripes, not over them: at 16 pixels it is under a pixel wide,
    // and over the bar it shows better than over the black stripe.
    const double frame = stripe * 0.3;
    cairo_set_source_rgb(context_.get(), 0.6, 0.6, 0.6);
    cairo_set_line_width(context_.get(), frame);
    cairo_rectangle(context_.get(), x - frame / 2, top - frame / 2, width + frame,
                    3 * stripe + frame);
    cairo_stroke(context_.get());
}

void CairoImage::drawImage(const Image& image, Rect into) {
    const auto* other = dynamic_cast<const CairoImage*>(&image);
    if (!context_ || other == nullptr || other->size_.width <= 0 || other->size_.height <= 0) {
        return;
    }
    cairo_save(context_.get());
    cairo_translate(context_.get(), into.x, into.y);
    cairo_scale(context_.get(), into.width / other->size_.width, into.height / other->size_.height);
    cairo_set_source_surface(context_.get(), other->surface(), 0, 0);
    cairo_pattern_set_filter(cairo_get_source(context_.get()), CAIRO_FILTER_GOOD);
    cairo_paint(context_.get());
    cairo_restore(context_.get());
}

CairoGraphics::CairoGraphics(std::filesystem::path iconDirectory)
    : iconDirectory_(std::move(iconDirectory)) {}

// Symbols are drawn into every new picture but never change: each is loaded once.
std::shared_ptr<Image> CairoGraphics::imageWithSystemSymbolName(const std::string& name) {
    auto& symbol = symbols_[name];
    if (!symbol) {
        symbol = loadSymbol(name);
    }
    return symbol;
}

// Symbols are pictures of 48 pixels, scaled down, so they stay sharp at any
// panel size. They are PNGs rendered from the SVG drawings beside them: a PNG
// loads in under a millisecond, where an SVG loads an SVG renderer of some
// megabytes at start.
std::shared_ptr<Image> CairoGraphics::loadSymbol(const std::string& name) const {
    const std::filesystem::path file =
        iconDirectory_ / "hicolor" / "48x48" / "status" / (name + ".png");
    CairoSurfacePtr surface(cairo_image_surface_create_from_png(file.c_str()));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    return std::make_shared<CairoImage>(std::move(surface));
}

// Pictures have two pixels a point: panels scale them to their height, and
// they stay sharp at 16 to 48 pixels and on screens at scale 2.
std::shared_ptr<Image> CairoGraphics::makeImage(Size size) {
    return std::make_shared<CairoImage>(size, 2.0);
}

Size CairoGraphics::sizeOfText(const std::string& text, Font font) {
    if (text == germanFlag) {
        return flagBox(font);
    }
    CairoSurfacePtr scratch(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1));
    CairoPtr context(cairo_create(scratch.get()));
    const auto layout = makeLayout(context.get(), text, font);
    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout.get(), nullptr, &logical);
    return {double(logical.width), double(logical.height)};
}

double CairoGraphics::smallSystemFontSize() {
    return 11.0;
}

} // namespace tunora
