#pragma once

#include "linux/glib/GObjectPtr.h"
#include "platform/toolkit/Image.h"

#include <cairo.h>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tunora {

struct CairoSurfaceDestroy {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoDestroy {
    void operator()(cairo_t* context) const { cairo_destroy(context); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDestroy>;
using CairoPtr = std::unique_ptr<cairo_t, CairoDestroy>;

// A picture in a cairo image surface. What is drawn into it is also recorded,
// so that it can be drawn anew at any other pixel size.
class CairoImage : public Image {
  public:
    // A picture of `size` points with `scale` pixels per point.
    explicit CairoImage(Size size, double scale = 1.0);
    explicit CairoImage(CairoSurfacePtr surface);

    Size size() const override { return size_; }
    void lockFocus() override;
    void unlockFocus() override;
    void drawText(const std::string& text, Point at, Font font) override;
    void drawImage(const Image& image, Rect into) override;
    void setTemplate(bool isTemplate) override { template_ = isTemplate; }
    bool isTemplate() const override { return template_; }

    cairo_surface_t* surface() const { return surface_.get(); }
    // Whether both pictures have the same size and the same pixels.
    bool hasSamePixels(const CairoImage& other) const;
    // The picture drawn anew, `pixels` high and as wide as its shape wants:
    // from the recording, sharp at that size; a loaded picture is scaled.
    CairoSurfacePtr renderedAtHeight(int pixels) const;
    // The picture drawn anew into a square of `pixels`, for trays whose cells
    // are square: its `parts` (where the flag and each symbol stand, top first)
    // stacked, each cut to what was drawn there, so that the picture fills the
    // cell's height instead of a strip across its middle. Without parts, or
    // with one, it is centred.
    CairoSurfacePtr renderedSquare(int pixels, const std::vector<Rect>& parts) const;

  private:
    void drawGermanFlag(Point at, Size box);
    Rect drawnBounds(const Rect& part) const;
    void paintPart(cairo_t* context, const Rect& part) const;

    Size size_;
    CairoSurfacePtr surface_;
    CairoSurfacePtr recording_; // in points, made by the first lockFocus
    CairoPtr context_;
    bool template_ = false;
};

// Text with pango in the desktop's sans-serif font, the flag drawn without
// fonts, symbols from the program's own icon folder.
class CairoGraphics : public Graphics {
  public:
    explicit CairoGraphics(std::filesystem::path iconDirectory);

    std::shared_ptr<Image> imageWithSystemSymbolName(const std::string& name) override;
    std::shared_ptr<Image> makeImage(Size size) override;
    Size sizeOfText(const std::string& text, Font font) override;
    double smallSystemFontSize() override;

  private:
    std::shared_ptr<Image> loadSymbol(const std::string& name) const;

    std::filesystem::path iconDirectory_;
    std::map<std::string, std::shared_ptr<Image>> symbols_;
};

} // namespace tunora
