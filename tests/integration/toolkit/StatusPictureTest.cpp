#include "linux/toolkit/CairoGraphics.h"

#include "core/menu/MenuManager.h"
#include "fakes/FakeHotkeyEventServices.h"
#include "fakes/FakePlayback.h"
#include "fakes/FakeSettingsStore.h"
#include "fakes/FakeToolkit.h"
#include "support/TemporaryDirectory.h"

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
        auto manager =
            MenuManager::create(std::make_shared<fakes::FakeStatusItem>(), player,
                                {std::make_shared<fakes::FakeSettingsStore>(),
                                 std::make_shared<fakes::FakeHotkeyEventServices>(), graphics,
                                 std::make_shared<fakes::FakeStrings>(),
                                 std::make_shared<fakes::FakeLoginItems>(), nullptr, nullptr});
        return std::dynamic_pointer_cast<CairoImage>(manager->menuBarIcon(MenuManager::flag));
    }

    // Pixels with any opacity inside the rectangle [x0, x1) x [0, height).
    static int opaquePixels(const CairoImage& image, int x0, int x1) {
        cairo_surface_t* surface = image.surface();
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        int count = 0;
        for (int y = 0; y < cairo_image_surface_get_height(surface); ++y) {
            for (int x = x0; x < x1; ++x) {
                const auto pixel =
                    *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
                count += (pixel >> 24) > 0x20 ? 1 : 0;
            }
        }
        return count;
    }

    // Pixels inside [x0, x1) that, laid over a panel of grey level `panel`
    // (0..255), come out at least `contrast` grey levels away from it.
    static int standingOut(const CairoImage& image, int x0, int x1, int panel, int contrast) {
        cairo_surface_t* surface = image.surface();
        cairo_surface_flush(surface);
        const unsigned char* data = cairo_image_surface_get_data(surface);
        const int stride = cairo_image_surface_get_stride(surface);
        int count = 0;
        for (int y = 0; y < cairo_image_surface_get_height(surface); ++y) {
            for (int x = x0; x < x1; ++x) {
                const auto pixel =
                    *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
                const int alpha = int(pixel >> 24);
                // premultiplied: colour + panel * (1 - alpha)
                const int grey =
                    (int((pixel >> 16) & 0xff) + int((pixel >> 8) & 0xff) + int(pixel & 0xff)) / 3 +
                    panel * (255 - alpha) / 255;
                count += std::abs(grey - panel) >= contrast ? 1 : 0;
            }
        }
        return count;
    }

    std::shared_ptr<CairoGraphics> graphics;
};

TEST_F(StatusPictureTest, TheAntennaStandsOutOnLightAndDarkPanels) {
    auto image = picture(TUNORA_BUILD_DATA_DIR "/icons");
    ASSERT_TRUE(image);
    const int x0 = int(graphics->sizeOfText(MenuManager::flag, Font{14}).width) + 2;
    for (const int panel : {0x1e, 0x3c, 0xd8, 0xf5}) {
        EXPECT_GT(standingOut(*image, x0, x0 + 12, panel, 110), 12) << "panel grey " << panel;
    }
}

TEST_F(StatusPictureTest, FlagAndAntennaBothHavePixels) {
    auto image = picture(TUNORA_BUILD_DATA_DIR "/icons");
    ASSERT_TRUE(image);
    const Size flag = graphics->sizeOfText(MenuManager::flag, Font{14});
    ASSERT_GT(flag.width, 8) << "the emoji font is installed";
    EXPECT_EQ(image->size().width, flag.width + 14);
    EXPECT_GE(image->size().height, 12);
    EXPECT_FALSE(image->isTemplate());
    EXPECT_GT(opaquePixels(*image, 0, int(flag.width)), 40) << "the flag is drawn";
    EXPECT_GT(opaquePixels(*image, int(flag.width) + 2, int(flag.width) + 14), 10)
        << "the antenna symbol is drawn";
}

TEST_F(StatusPictureTest, MissingSymbolLeavesItsSquareEmpty) {
    testing::TemporaryDirectory empty;
    auto image = picture(empty.path());
    const Size flag = graphics->sizeOfText(MenuManager::flag, Font{14});
    EXPECT_EQ(image->size().width, flag.width + 14);
    EXPECT_EQ(opaquePixels(*image, int(flag.width) + 2, int(flag.width) + 14), 0);
}

} // namespace
} // namespace tunora
