#pragma once

#include "platform/toolkit/Image.h"

#include <memory>
#include <string>
#include <vector>

namespace tunora {

// The status item's picture: the flag as text, a 2-point gap and the 12-point
// antenna symbol, both centred on one line as high as the taller of them.
struct StatusPictureLayout {
    Size size;
    Rect flag;
    Rect symbol;
};

// Where each part stands, as the drawing and the description of its parts
// share it.
StatusPictureLayout statusPictureLayout(Graphics& graphics, const std::string& flagText);

// The picture drawn by that layout.
std::shared_ptr<Image> drawStatusPicture(Graphics& graphics, const std::string& flagText,
                                         const std::string& symbolName);

} // namespace tunora
