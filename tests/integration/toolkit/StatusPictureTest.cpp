#include "linux/toolkit/CairoGraphics.h"

#include "core/menu/MenuManager.h"
#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakePlayback.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeToolkit.h"
#include "linux/tray/IconPixmaps.h"
#include "support/TestDesktop.h"

#include <array>
#include <gtest/gtest.h>

namespace tunora {
namespace {

// The status picture drawn for real: the flag drawn, the antenna symbol from
// the program's icon folder.
class StatusPictureTest : public ::testing::Test {
  protected:
    std::shared_ptr<CairoImage> picture(const std::filesystem::path& icons) {
        auto log = std::make_shared<std::vector<std::string>>();
        auto player = AudioPlayer::create(std::make_shared<fakes::FakeStreamPlayerFactory>(log),
                                          std::make_shared<fakes::FakeNowPlayingCenter>(log),
                                          std::make_shared<fakes::FakeRemoteCommandCenter>());
        graphics = std::make_shared<CairoGraphics>(icons);
        auto manager = MenuManager::create(std::make_shared<fakes::FakeStatusItem>(), player,
                                           {std::make_shared<fakes::FakeSettingsStore>(),
                                            std::make_shared<fakes::FakeHotkeyEventServices>(),
                                            graphics, std::make_shared<fakes::FakeStrings>(),
                                            std::make_shared<fakes::FakeLoginItems>(), nullptr,
                                            nullptr, nullptr, nullptr});
        parts = manager->menuBarIconParts(MenuManager::flag);
        return std::dynamic_pointer_cast<CairoImage>(manager->menuBarIcon(MenuManager::flag));
    }
    std::vector<Rect> parts; // of the last picture

    // The pixel at (x, y) points, premultiplied ARGB.
    static std::uint32_t pixelAt(const CairoImage& image, double x, double y) {
        cairo_surface_t* surface = image.surface();
        cairo_surface_flush(surface);
        const double scale = cairo_image_surface_get_width(surface) / image.size().width;
        const unsigned char* row = cairo_image_surface_get_data(surface) +
                                   int(y * scale) * cairo_image_surface_get_stride(surface);
        return *reinterpret_cast<const std::uint32_t*>(row + int(x * scale) * 4);
    }
    // Pixels (in half-point steps, the picture's own at scale 2) in the points
    // [x0, x1) x [0, height) for which `counts` holds.
    template <typename Predicate>
    static int countPixels(const CairoImage& image, double x0, double x1, Predicate counts) {
        int count = 0;
        for (double y = 0; y < image.size().height; y += 0.5) {
            for (double x = x0; x < x1; x += 0.5) {
                count += counts(pixelAt(image, x, y)) ? 1 : 0;
            }
        }
        return count;
    }
    static int opaquePixels(const CairoImage& image, double x0, double x1) {
        return countPixels(image, x0, x1, [](std::uint32_t pixel) { return (pixel >> 24) > 0x20; });
    }
    // Pixels that, laid over a panel of grey level `panel` (0..255), come out at
    // least `contrast` grey levels away from it.
    static int standingOut(const CairoImage& image, double x0, double x1, int panel, int contrast) {
        return countPixels(image, x0, x1, [=](std::uint32_t pixel) {
            const int alpha = int(pixel >> 24);
            // premultiplied: colour + panel * (1 - alpha)
            const int grey =
                (int((pixel >> 16) & 0xff) + int((pixel >> 8) & 0xff) + int(pixel & 0xff)) / 3 +
                panel * (255 - alpha) / 255;
            return std::abs(grey - panel) >= contrast;
        });
    }

    std::shared_ptr<CairoGraphics> graphics;
};

TEST_F(StatusPictureTest, FlagAndAntennaAreDrawnSharpAndStandOutOnAnyPanel) {
    auto image = picture(TUNORA_BUILD_DATA_DIR "/icons");
    ASSERT_TRUE(image);
    const Size flag = graphics->sizeOfText(MenuManager::flag, Font{14});
    EXPECT_EQ(image->size().width, flag.width + 14);
    EXPECT_GE(image->size().height, 12);
    EXPECT_FALSE(image->isTemplate());
    EXPECT_GT(opaquePixels(*image, 0, flag.width), 40) << "the flag is drawn";
    EXPECT_EQ(cairo_image_surface_get_height(image->surface()), 2 * int(image->size().height))
        << "two pixels a point, sharp at scale 2";
    const double x0 = flag.width + 2;
    for (const int panel : {0x1e, 0x3c, 0xd8, 0xf5}) {
        EXPECT_GT(standingOut(*image, x0, x0 + 12, panel, 110), 12) << "panel grey " << panel;
    }
}

TEST_F(StatusPictureTest, MissingSymbolLeavesItsSquareEmpty) {
    testing::TemporaryDirectory empty;
    auto image = picture(empty.path());
    const Size flag = graphics->sizeOfText(MenuManager::flag, Font{14});
    EXPECT_EQ(image->size().width, flag.width + 14);
    EXPECT_EQ(opaquePixels(*image, flag.width + 2, flag.width + 14), 0);
}

// What panels get: the picture drawn into each square cell they ask for, laid
// over a dark and a light bar. It fills the cell's height (the flag below, the
// antenna above it); down the middle the flag's three colours show and its
// frame stands out from either bar; the antenna stands out too.
TEST_F(StatusPictureTest, EveryTrayPixmapFillsItsSquareWithTheFlagAndTheAntennaOnAnyBar) {
    auto image = picture(TUNORA_BUILD_DATA_DIR "/icons");
    GVariantPtr pixmaps(g_variant_ref_sink(iconPixmaps(*image, parts, trayPictureSizes)));
    ASSERT_EQ(g_variant_n_children(pixmaps.get()), trayPictureSizes.size());
    for (std::size_t n = 0; n < trayPictureSizes.size(); ++n) {
        gint32 width = 0;
        gint32 height = 0;
        GVariantPtr bytes;
        g_variant_get_child(pixmaps.get(), n, "(ii@ay)", &width, &height, &bytes);
        gsize length = 0;
        const auto* argb =
            static_cast<const guint8*>(g_variant_get_fixed_array(bytes.get(), &length, 1));
        ASSERT_EQ(height, trayPictureSizes[n]);
        ASSERT_EQ(width, height);
        ASSERT_EQ(length, gsize(width) * gsize(height) * 4);
        // A pixel over a bar of grey `panel`, as {r, g, b}; ARGB bytes, alpha not premultiplied.
        auto over = [&](int x, int y, int panel) {
            const guint8* p = argb + (std::size_t(y) * width + x) * 4;
            std::array<int, 3> rgb{};
            for (int c = 0; c < 3; ++c) {
                rgb[c] = (p[c + 1] * p[0] + panel * (255 - p[0])) / 255;
            }
            return rgb;
        };
        int firstRow = height, lastRow = -1;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                if (argb[(std::size_t(y) * width + x) * 4] > 0x20) {
                    firstRow = std::min(firstRow, y);
                    lastRow = y;
                }
            }
        }
        const std::string size = std::to_string(height) + " px";
        EXPECT_GE(lastRow - firstRow + 1, height * 8 / 10) << size << ": fills the cell's height";
        for (const int panel : {0x1e, 0xf5}) {
            int black = 0, red = 0, gold = 0, frame = 0, antenna = 0;
            for (int y = 0; y < height; ++y) {
                const auto [r, g, b] = over(width / 2, y, panel);
                const bool upper = y < height / 2;
                black += !upper && r < 60 && g < 60 && b < 60;
                red += !upper && r > 150 && g < 60 && b < 60;
                gold += !upper && r > 180 && g > 140 && b < 80;
                // grey, away from the bar and from black
                frame += std::abs(r - g) < 30 && std::abs(r - b) < 30 && std::abs(r - panel) > 50 &&
                         r > 70;
                for (int x = 0; upper && x < width; ++x) {
                    antenna += std::abs(over(x, y, panel)[1] - panel) > 110;
                }
            }
            const std::string where = size + ", bar " + std::to_string(panel);
            EXPECT_GT(black, 0) << where;
            EXPECT_GT(red, 0) << where;
            EXPECT_GT(gold, 0) << where;
            EXPECT_GT(frame, 0) << where;
            EXPECT_GT(antenna, height / 2) << where;
        }
    }
}

} // namespace
} // namespace tunora
