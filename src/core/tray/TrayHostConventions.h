#pragma once

#include <string>
#include <string_view>

namespace tunora {

// Which way a wheel notch counts in the host's Scroll calls. The protocol
// leaves the sign open, and the hosts differ; the orientation's spelling says
// nothing about it.
enum class WheelSign {
    // Up is positive: Qt's sign (Plasma, LXQt), and Budgie's and MATE's trays.
    upPositive,
    // Down is positive: GDK's and Clutter's sign (waybar, XFCE, Cinnamon,
    // GNOME's extension).
    downPositive,
    // A host not known: guessed from each call's size and spelling.
    guessed,
};

// How the host draws the tooltip. The protocol leaves this open too.
enum class ToolTipReading {
    // Title and text as Pango markup (GNOME's extension, XFCE, Cinnamon,
    // MATE, LXQt, and hosts not known).
    markup,
    // Title as plain text; the text as Qt rich text when a tag comes first,
    // else as plain text (Plasma).
    richText,
    // Title as markup inside its own bold tag, the text escaped by the host and
    // drawn as it stands (waybar).
    literalText,
    // The text alone as markup when there is one, else the title as plain
    // text (Budgie).
    textOrTitle,
};

// What the program that hosts the status item does with it.
struct TrayHostConventions {
    WheelSign wheel = WheelSign::guessed;
    ToolTipReading toolTip = ToolTipReading::markup;
};

// The conventions of the host program named by its process name as the kernel
// keeps it (/proc/PID/comm: at most 15 bytes); "" or an unknown name gets the
// guessed wheel and markup.
TrayHostConventions trayHostConventions(std::string_view program);

// One Scroll call as volume steps: +1 a step up (louder), -1 down, 0 none.
// Horizontal calls count as sent, right louder.
int scrollSteps(WheelSign sign, int delta, std::string_view orientation);

// The tooltip's title and text written for a host that reads them so.
struct ToolTipTexts {
    std::string title;
    std::string text;
};
// `escape` makes plain text literal inside markup.
using MarkupEscape = std::string (*)(std::string_view);
ToolTipTexts toolTipFor(ToolTipReading reading, const std::string& title, const std::string& text,
                        MarkupEscape escape);

} // namespace tunora
