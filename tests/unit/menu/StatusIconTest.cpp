#include "MenuTestFixture.h"

namespace tunora {
namespace {

class StatusIcon : public MenuTestFixture {
  protected:
    fakes::FakeImage& picture() {
        return static_cast<fakes::FakeImage&>(*statusItem->statusButton.image);
    }
};

TEST_F(StatusIcon, IdleFormHasThePictureAndAStationAddsItsName) {
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

    chooseStation("WDR 5");
    EXPECT_EQ(statusItem->statusButton.title, " WDR 5");
    EXPECT_EQ(statusItem->statusButton.font, Font{11.0});
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
