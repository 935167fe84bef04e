#include "MenuTestFixture.h"

namespace tunora {
namespace {

class StatusIcon : public MenuTestFixture {
  protected:
    fakes::FakeImage& picture() {
        return static_cast<fakes::FakeImage&>(*statusItem->statusButton.image);
    }
};

TEST_F(StatusIcon, IdleFormHasThePictureAndNoTitleOrFont) {
    start();
    EXPECT_EQ(statusItem->statusButton.title, "");
    EXPECT_FALSE(statusItem->statusButton.font);
    ASSERT_TRUE(statusItem->statusButton.image);
    EXPECT_FALSE(picture().isTemplate());
    ASSERT_EQ(picture().drawnText.size(), 1u);
    EXPECT_EQ(picture().drawnText[0].text, "\U0001F1E9\U0001F1EA");
    EXPECT_EQ(picture().drawnText[0].font, Font{14.0});
    EXPECT_TRUE(picture().drawnText[0].whileFocused);
    EXPECT_EQ(graphics->requestedSymbols.back(), "antenna.radiowaves.left.and.right");
}

TEST_F(StatusIcon, StationFormKeepsTheTitleWhilePaused) {
    start();
    chooseStation("WDR 5");
    EXPECT_EQ(statusItem->statusButton.title, " WDR 5");
    EXPECT_EQ(statusItem->statusButton.font, Font{11.0});
    chooseStation("WDR 5");
    EXPECT_EQ(statusItem->statusButton.title, " WDR 5");
}

TEST_F(StatusIcon, TallFlagSetsTheHeightAndCentresTheSymbol) {
    graphics->textSize = {20, 17};
    start();
    EXPECT_EQ(picture().size(), (Size{34, 17}));
    EXPECT_EQ(picture().drawnText[0].at, (Point{0, 0}));
    ASSERT_EQ(picture().drawnImages.size(), 1u);
    EXPECT_EQ(picture().drawnImages[0].into, (Rect{22, 2.5, 12, 12}));
}

TEST_F(StatusIcon, ShortFlagIsCentredInTwelvePoints) {
    graphics->textSize = {18, 10};
    start();
    EXPECT_EQ(picture().size(), (Size{32, 12}));
    EXPECT_EQ(picture().drawnText[0].at, (Point{0, 1}));
    EXPECT_EQ(picture().drawnImages[0].into, (Rect{20, 0, 12, 12}));
}

TEST_F(StatusIcon, MissingSymbolLeavesTheFlagAloneAtTheSameSize) {
    graphics->hasSymbol = false;
    start();
    EXPECT_EQ(picture().size().width, 20 + 14.0);
    EXPECT_TRUE(picture().drawnImages.empty());
}

TEST_F(StatusIcon, AnItemWithoutButtonStillGetsItsMenu) {
    statusItem = std::make_shared<fakes::FakeStatusItem>(/*withButton=*/false);
    start();
    EXPECT_EQ(statusItem->menusSet, 1);
    chooseStation("Fritz");
    EXPECT_EQ(player->currentChannel()->id(), "fritz");
}

} // namespace
} // namespace tunora
