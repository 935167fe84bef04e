#include "core/tray/TrayHostConventions.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

struct Call {
    int delta;
    const char* orientation;
};

// What the hosts must be given for the station "A&B" and the song <Live> "1".
const ToolTipTexts asMarkup{"A&amp;B", "<span>&lt;Live&gt; &quot;1&quot;</span>"};
const ToolTipTexts forPlasma{"A&B", "<span>&lt;Live&gt; &quot;1&quot;</span>"};
const ToolTipTexts forWaybar{"A&amp;B", "<Live> \"1\""};
const ToolTipTexts forBudgie{"A&B", "<b>A&amp;B</b>\n&lt;Live&gt; &quot;1&quot;"};

// The hosts as they send a wheel notch and draw the tooltip, read from their
// sources and seen on the desktops.
struct Host {
    const char* desktop;
    const char* program; // /proc/PID/comm of the process that owns the host name
    Call notchDown;
    Call notchUp;
    const ToolTipTexts& toolTip;
};

const Host hosts[] = {
    {"Plasma 6.3", "plasmashell", {-120, "Vertical"}, {120, "Vertical"}, forPlasma},
    {"Plasma 6.7", "plasmashell", {-120, "vertical"}, {120, "vertical"}, forPlasma},
    {"LXQt", "lxqt-panel", {-120, "vertical"}, {120, "vertical"}, asMarkup},
    {"Budgie's tray", "budgie-panel", {-1, "vertical"}, {1, "vertical"}, forBudgie},
    {"Budgie's watcher", "budgie-daemon", {-1, "vertical"}, {1, "vertical"}, forBudgie},
    {"MATE", "notification-ar", {-1, "Vertical"}, {1, "Vertical"}, asMarkup},
    {"waybar", "waybar", {1, "vertical"}, {-1, "vertical"}, forWaybar},
    {"waybar, a touchpad stroke", "waybar", {24, "vertical"}, {-24, "vertical"}, forWaybar},
    {"XFCE", "wrapper-2.0", {1, "vertical"}, {-1, "vertical"}, asMarkup},
    {"Cinnamon", "xapp-sn-watcher", {1, "vertical"}, {-1, "vertical"}, asMarkup},
    {"GNOME's extension", "gnome-shell", {1, "vertical"}, {-1, "vertical"}, asMarkup},
    // Not known: Qt's and GDK's notches told apart by their size and spelling.
    {"unknown, Qt", "", {-120, "vertical"}, {120, "Vertical"}, asMarkup},
    {"unknown, GTK", "python3", {1, "vertical"}, {-1, "vertical"}, asMarkup},
};

std::string escaped(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

TEST(TrayHostConventionsTest, ANotchDownIsSofterAndTheToolTipNamesTheStationOnEveryHost) {
    for (const Host& host : hosts) {
        SCOPED_TRACE(host.desktop);
        const TrayHostConventions conventions = trayHostConventions(host.program);
        EXPECT_EQ(scrollSteps(conventions.wheel, host.notchDown.delta, host.notchDown.orientation),
                  -1);
        EXPECT_EQ(scrollSteps(conventions.wheel, host.notchUp.delta, host.notchUp.orientation), 1);
        const ToolTipTexts toolTip =
            toolTipFor(conventions.toolTip, "A&B", "<Live> \"1\"", &escaped);
        EXPECT_EQ(toolTip.title, host.toolTip.title);
        EXPECT_EQ(toolTip.text, host.toolTip.text);
    }
}

TEST(TrayHostConventionsTest, WithNothingPlayingTheTitleAloneIsDrawn) {
    for (const ToolTipReading reading :
         {ToolTipReading::markup, ToolTipReading::richText, ToolTipReading::literalText,
          ToolTipReading::textOrTitle}) {
        EXPECT_EQ(toolTipFor(reading, "Tunora", "", &escaped).text, "");
    }
    // Budgie draws an empty text's title as plain text.
    EXPECT_EQ(toolTipFor(ToolTipReading::textOrTitle, "A&B", "", &escaped).title, "A&B");
}

TEST(TrayHostConventionsTest, SidewaysCountsAsSentAndOtherOrientationsNotAtAll) {
    for (const WheelSign sign :
         {WheelSign::upPositive, WheelSign::downPositive, WheelSign::guessed}) {
        EXPECT_EQ(scrollSteps(sign, 1, "horizontal"), 1);
        EXPECT_EQ(scrollSteps(sign, -120, "Horizontal"), -1);
        EXPECT_EQ(scrollSteps(sign, 1, "diagonal"), 0);
        EXPECT_EQ(scrollSteps(sign, 0, "vertical"), 0);
    }
}

} // namespace
} // namespace tunora
