#pragma once

#include "linux/toolkit/CairoGraphics.h"

#include <gio/gio.h>
#include <vector>

namespace tunora {

// The sizes panels draw tray pictures at, all square cells: GNOME's
// AppIndicator extension takes the smallest of at least 16 px, Plasma the
// smallest that fills its 22 px cell, Xfce the largest shrunk to 22 and
// Cinnamon the largest drawn at 24; 32 to 64 serve scaled screens. One
// drawing for each, so no panel scales the picture much.
inline const std::vector<int> trayPictureSizes{16, 22, 24, 32, 48, 64};

// The picture drawn into a square of each size, its parts stacked (see
// CairoImage::renderedSquare), as a StatusNotifierItem's a(iiay): width, height
// and non-premultiplied ARGB32 bytes in network byte order. A floating reference.
GVariant* iconPixmaps(const CairoImage& image, const std::vector<Rect>& parts,
                      const std::vector<int>& sizes);

} // namespace tunora
