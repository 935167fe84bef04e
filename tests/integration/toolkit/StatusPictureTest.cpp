#include "linux/toolkit/CairoGraphics.h"

#include "core/menu/MenuManager.h"
#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakePlayback.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeToolkit.h"
#include "support/TestDesktop.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tunora {
namespace {

// The status picture drawn for real: the flag with pango, the antenna symbol
// from the program's icon folder through the icon theme.
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
        return std::dynamic_pointer_cast<CairoImage>(manager->menuBarIcon(MenuManager::flag));
    }

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
    ASSERT_GT(flag.width, 8) << "the emoji font is installed";
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

// Without a colour emoji font the flag is drawn as its three stripes.
TEST_F(StatusPictureTest, WithoutAnEmojiFontTheFlagIsItsThreeStripes) {
    testing::TemporaryDirectory fonts;
    const auto config = fonts.path() / "fonts.conf";
    std::ofstream(config) << "<?xml version=\"1.0\"?><fontconfig>"
                             "<dir>/usr/share/fonts/truetype/dejavu</dir>"
                             "<cachedir>"
                          << (fonts.path() / "cache").string() << "</cachedir></fontconfig>";
    setenv("FONTCONFIG_FILE", config.c_str(), 1); // before the first text of this process
    auto image = picture(TUNORA_BUILD_DATA_DIR "/icons");
    const Size flag = graphics->sizeOfText(MenuManager::flag, Font{14});
    const double middle = flag.width / 2;
    auto channel = [](std::uint32_t pixel, int shift) { return int((pixel >> shift) & 0xff); };
    const double height = image->size().height;
    const std::uint32_t black = pixelAt(*image, middle, height * 0.3);
    const std::uint32_t red = pixelAt(*image, middle, height * 0.5);
    const std::uint32_t gold = pixelAt(*image, middle, height * 0.7);
    EXPECT_EQ(channel(black, 24), 255);
    EXPECT_LT(channel(black, 16), 40);
    EXPECT_GT(channel(red, 16), 180);
    EXPECT_LT(channel(red, 8), 40);
    EXPECT_GT(channel(gold, 8), 150);
    EXPECT_LT(channel(gold, 0), 60);
}

} // namespace
} // namespace tunora
