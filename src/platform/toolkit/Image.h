#pragma once

#include "platform/toolkit/Geometry.h"

#include <memory>
#include <string>

namespace tunora {

// A picture. Drawing into it happens between lockFocus() and unlockFocus().
class Image {
  public:
    virtual ~Image() = default;
    virtual Size size() const = 0;
    virtual void lockFocus() = 0;
    virtual void unlockFocus() = 0;
    virtual void drawText(const std::string& text, Point at, Font font) = 0;
    // Draws another image scaled to fill the rectangle.
    virtual void drawImage(const Image& image, Rect into) = 0;
    // A template image is recoloured by the desktop; a non-template keeps its colours.
    virtual void setTemplate(bool isTemplate) = 0;
    virtual bool isTemplate() const = 0;
};

// Makes images, finds named symbols and measures text.
class Graphics {
  public:
    virtual ~Graphics() = default;
    // A named symbol image, or none when the desktop has no such symbol.
    virtual std::shared_ptr<Image> imageWithSystemSymbolName(const std::string& name) = 0;
    virtual std::shared_ptr<Image> makeImage(Size size) = 0;
    virtual Size sizeOfText(const std::string& text, Font font) = 0;
    virtual double smallSystemFontSize() = 0;
};

} // namespace tunora
