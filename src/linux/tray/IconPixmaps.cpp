#include "linux/tray/IconPixmaps.h"

#include <cstdint>

namespace tunora {
namespace {

// cairo keeps premultiplied native-endian words; the tray protocol wants plain
// alpha and A, R, G, B bytes in that order.
GVariant* pixmap(cairo_surface_t* surface) {
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<guint8> bytes;
    bytes.reserve(std::size_t(width) * std::size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::ptrdiff_t(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t word = row[x];
            const unsigned alpha = word >> 24;
            auto plain = [alpha](unsigned channel) {
                return guint8(alpha == 0 ? 0 : (channel * 255 + alpha / 2) / alpha);
            };
            bytes.push_back(guint8(alpha));
            bytes.push_back(plain((word >> 16) & 0xff));
            bytes.push_back(plain((word >> 8) & 0xff));
            bytes.push_back(plain(word & 0xff));
        }
    }
    GVariant* pixels =
        g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
    return g_variant_new("(ii@ay)", width, height, pixels);
}

} // namespace

GVariant* iconPixmaps(const CairoImage& image, const std::vector<Rect>& parts,
                      const std::vector<int>& sizes) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (const int size : sizes) {
        const CairoSurfacePtr surface = image.renderedSquare(size, parts);
        g_variant_builder_add_value(&builder, pixmap(surface.get()));
    }
    return g_variant_builder_end(&builder);
}

} // namespace tunora
