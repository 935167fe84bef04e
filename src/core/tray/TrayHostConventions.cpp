#include "core/tray/TrayHostConventions.h"

#include <array>
#include <cstdlib>
#include <utility>

namespace tunora {
namespace {

using enum WheelSign;
using enum ToolTipReading;

// The hosts by the process that owns their StatusNotifierHost name, or the
// watcher where they take none.
constexpr std::array<std::pair<std::string_view, TrayHostConventions>, 11> knownHosts{{
    {"plasmashell", {upPositive, richText}},
    {"lxqt-panel", {upPositive, markup}},
    // Budgie's tray applet sends +1 for a notch up; budgie-daemon is its
    // watcher and a host of its own.
    {"budgie-panel", {upPositive, textOrTitle}},
    {"budgie-daemon", {upPositive, textOrTitle}},
    // MATE's notification area applet, out of process or inside the panel.
    {"notification-ar", {upPositive, markup}},
    {"mate-panel", {upPositive, markup}},
    {"waybar", {downPositive, literalText}},
    // XFCE's status tray runs in the panel's plugin wrapper.
    {"wrapper-2.0", {downPositive, markup}},
    {"xfce4-panel", {downPositive, markup}},
    // Cinnamon's applet hears the wheel and xapp-sn-watcher sends the call.
    {"xapp-sn-watcher", {downPositive, markup}},
    {"gnome-shell", {downPositive, markup}},
}};

// Qt sends the orientation capitalised, GTK hosts in lower case.
bool spelledAs(std::string_view orientation, std::string_view lowerCase,
               std::string_view capitalised) {
    return orientation == lowerCase || orientation == capitalised;
}

// Qt panels send 120 a notch (Plasma up to 6.6 as "Vertical", since 6.7 as
// "vertical"), GTK panels a unit or so as "vertical", with GDK's sign.
int guessedVerticalSteps(int sign, int delta, std::string_view orientation) {
    constexpr int qtSized = 15; // an eighth of a Qt notch: more than any GTK panel sends
    if (orientation == "Vertical" || std::abs(delta) >= qtSized) {
        return sign;
    }
    return -sign;
}

} // namespace

TrayHostConventions trayHostConventions(std::string_view program) {
    for (const auto& [name, conventions] : knownHosts) {
        if (name == program) {
            return conventions;
        }
    }
    return {};
}

int scrollSteps(WheelSign wheel, int delta, std::string_view orientation) {
    const int sign = delta > 0 ? 1 : delta < 0 ? -1 : 0;
    if (spelledAs(orientation, "horizontal", "Horizontal")) {
        return sign;
    }
    if (!spelledAs(orientation, "vertical", "Vertical")) {
        return 0;
    }
    switch (wheel) {
    case upPositive:
        return sign;
    case downPositive:
        return -sign;
    case guessed:
        break;
    }
    return guessedVerticalSteps(sign, delta, orientation);
}

// Where the text is markup it is wrapped in <span>: Qt takes it for rich text
// only with a tag it knows before the first line break, and Pango draws the
// span as nothing. Escaping keeps &, <, > and quotes as they are.
ToolTipTexts toolTipFor(ToolTipReading reading, const std::string& title, const std::string& text,
                        MarkupEscape escape) {
    const std::string markupText = text.empty() ? "" : "<span>" + escape(text) + "</span>";
    switch (reading) {
    case richText:
        return {title, markupText};
    case literalText:
        return {escape(title), text};
    case textOrTitle:
        // Budgie draws no title beside a text: the title goes over the text, as
        // other hosts draw it.
        return {title, text.empty() ? "" : "<b>" + escape(title) + "</b>\n" + escape(text)};
    case markup:
        break;
    }
    return {escape(title), markupText};
}

} // namespace tunora
