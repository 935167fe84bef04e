#pragma once

namespace tunora {

// Sizes and positions in points, the unit of the menu-bar picture.
struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// The system font at a size in points.
struct Font {
    double pointSize = 0;
    friend bool operator==(const Font&, const Font&) = default;
};

} // namespace tunora
