#pragma once

#include "platform/toolkit/Image.h"
#include "platform/toolkit/Menu.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tunora {

// What the item says when the pointer rests on it, as parts: the station
// (empty before the first one) and what it plays or why it is silent (empty
// when there is nothing to say).
struct StatusToolTip {
    std::string station;
    std::string detail;

    // Both on one line, "NDR 2 – Artist - Song", for places that show one.
    std::string oneLine() const { return detail.empty() ? station : station + " \u2013 " + detail; }
    bool operator==(const StatusToolTip&) const = default;
};

// What the status item shows in the panel: a picture and a title beside it.
class StatusButton {
  public:
    virtual ~StatusButton() = default;
    virtual void setImage(std::shared_ptr<Image> image) = 0;
    // Where the parts of the pictures set from now on stand in them (the flag,
    // the symbol), in the order a square cell stacks them, top first.
    virtual void setImageParts(std::vector<Rect> parts) = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual void setFont(Font font) = 0;
    // What the panel shows when the pointer rests on the item.
    virtual void setToolTip(const StatusToolTip& toolTip) = 0;
};

// The program's item in the panel; its menu opens when it is clicked.
class StatusItem {
  public:
    virtual ~StatusItem() = default;
    // May be absent, when the desktop gives the item nothing to draw on.
    virtual StatusButton* button() = 0;
    // Replaces the menu set before.
    virtual void setMenu(std::unique_ptr<Menu> menu) = 0;
    virtual const Menu* menu() const = 0;
    // Called with +1 for each step the wheel turns up over the item, -1 down;
    // returns the volume the step set, 0.0 to 1.0, for the item to show.
    virtual void setScrollHandler(std::function<double(int steps)> handler) = 0;
    // Called when the panel is about to show the menu or one of its submenus,
    // with the one that opens. Items that cannot tell leave it uncalled.
    virtual void setMenuOpeningHandler(std::function<void(const Menu& opening)> handler) {
        (void)handler;
    }
    // Called when the whole menu has closed (a submenu closing leaves it open).
    // Items that cannot tell leave it uncalled.
    virtual void setMenuDidCloseHandler(std::function<void()> handler) { (void)handler; }
};

class StatusBar {
  public:
    static constexpr double variableLength = -1.0;
    virtual ~StatusBar() = default;
    virtual std::shared_ptr<StatusItem> statusItemWithLength(double length) = 0;
};

} // namespace tunora
