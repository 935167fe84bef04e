#include "core/menu/StatusPicture.h"

#include <algorithm>

namespace tunora {
namespace {

const Font flagFont{14.0};
constexpr double symbolSide = 12.0;
constexpr double gap = 2.0;

} // namespace

StatusPictureLayout statusPictureLayout(Graphics& graphics, const std::string& flagText) {
    const Size flag = graphics.sizeOfText(flagText, flagFont);
    const double height = std::max(flag.height, symbolSide);
    return {
        .size = {flag.width + gap + symbolSide, height},
        .flag = {0.0, (height - flag.height) * 0.5, flag.width, flag.height},
        .symbol = {flag.width + gap, (height - symbolSide) * 0.5, symbolSide, symbolSide},
    };
}

std::shared_ptr<Image> drawStatusPicture(Graphics& graphics, const std::string& flagText,
                                         const std::string& symbolName) {
    const StatusPictureLayout layout = statusPictureLayout(graphics, flagText);
    const std::shared_ptr<Image> symbol = graphics.imageWithSystemSymbolName(symbolName);
    std::shared_ptr<Image> image = graphics.makeImage(layout.size);
    image->lockFocus();
    image->drawText(flagText, {layout.flag.x, layout.flag.y}, flagFont);
    if (symbol) {
        image->drawImage(*symbol, layout.symbol);
    }
    image->unlockFocus();
    image->setTemplate(false);
    return image;
}

} // namespace tunora
