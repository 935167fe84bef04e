#pragma once

#include "linux/toolkit/CairoGraphics.h"

#include <gio/gio.h>
#include <vector>

namespace tunora {

// The heights panels draw tray pictures at (Plasma ~22, GNOME's bar 32 at
// scale 1, 64 at scale 2, and the sizes between): one drawing for each, so no
// panel scales the picture.
inline const std::vector<int> trayPictureHeights{16, 22, 24, 32, 48, 64};

// The picture drawn at each height, as a StatusNotifierItem's a(iiay): width,
// height and non-premultiplied ARGB32 bytes in network byte order. A floating
// reference.
GVariant* iconPixmaps(const CairoImage& image, const std::vector<int>& heights);

} // namespace tunora
