#include "linux/hotkeys/KeyBindingLines.h"

#include "platform/HotkeyEventServices.h"

#include <gtest/gtest.h>

namespace tunora {
namespace {

TEST(KeyBindingLinesTest, TheSessionNamesItsCompositor) {
    const struct {
        SessionNames session;
        Compositor compositor;
    } sessions[] = {
        // SWAYSOCK, HYPRLAND_INSTANCE_SIGNATURE, XDG_CURRENT_DESKTOP
        {{true, false, ""}, Compositor::sway},
        {{false, false, "sway"}, Compositor::sway},
        {{false, true, ""}, Compositor::hyprland},
        {{false, false, "Hyprland"}, Compositor::hyprland},
        {{false, false, "Budgie"}, Compositor::budgie},
        {{false, false, "Budgie:GNOME"}, Compositor::budgie},
        {{false, false, "labwc:wlroots"}, Compositor::other},
        {{false, false, "budgie-ish"}, Compositor::other},
        {{false, false, ""}, Compositor::other},
    };
    for (const auto& [session, compositor] : sessions) {
        SCOPED_TRACE(session.currentDesktops);
        EXPECT_EQ(compositorOf(session), compositor);
    }
}

TEST(KeyBindingLinesTest, EachCompositorGetsTheLinesOfItsOwnConfiguration) {
    const std::vector<RegisteredShortcut> shortcuts{{"slot1", 1, optionKey, '1'},
                                                    {"slot5", 5, controlKey | optionKey, '5'}};
    const struct {
        Compositor compositor;
        std::vector<std::string> lines;
    } compositors[] = {
        {Compositor::sway,
         {"bindsym Mod1+1 exec tunora --slot 1", "bindsym Ctrl+Mod1+5 exec tunora --slot 5"}},
        {Compositor::hyprland,
         {"bind = ALT, 1, global, org.tunora.Tunora:slot1",
          "bind = CTRL ALT, 5, global, org.tunora.Tunora:slot5"}},
        {Compositor::budgie, {"Alt+1: tunora --slot 1", "Ctrl+Alt+5: tunora --slot 5"}},
        {Compositor::other, {"Alt+1: tunora --slot 1", "Ctrl+Alt+5: tunora --slot 5"}},
    };
    for (const auto& [compositor, lines] : compositors) {
        SCOPED_TRACE(compositorName(compositor));
        EXPECT_EQ(keyBindingLines(compositor, "org.tunora.Tunora", shortcuts), lines);
    }
}

std::size_t characters(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80; // UTF-8 lead bytes
    }
    return count;
}

// What the listener must do comes first and whole: budgie-daemon's popup shows a
// title of about 35 characters and two lines of about 40 of each line of the
// text; mako's (Sway's usual one) five lines of 35, the title among them.
TEST(KeyBindingLinesTest, TheAdviceFitsThePopupsOfItsDesktop) {
    const std::vector<RegisteredShortcut> altDigits{{"slot1", 1, optionKey, '1'},
                                                    {"slot2", 2, optionKey, '2'},
                                                    {"slot3", 3, optionKey, '3'},
                                                    {"slot4", 4, optionKey, '4'},
                                                    {"slot5", 5, optionKey, '5'}};
    const struct {
        Compositor compositor;
        std::size_t instructionWidth;
        std::size_t lineWidth;
    } compositors[] = {
        {Compositor::sway, 35, 35},
        {Compositor::budgie, 2 * 35, 35},
        {Compositor::other, 35, 35},
        // Hyprland's lines are what they are: 46 characters.
        {Compositor::hyprland, 35, 46},
    };
    for (const auto& [compositor, instructionWidth, lineWidth] : compositors) {
        SCOPED_TRACE(compositorName(compositor));
        const KeyAdviceTexts texts = keyAdviceTexts(compositor);
        EXPECT_LE(characters(texts.title), 35u);
        EXPECT_LE(characters(texts.instruction), instructionWidth);
        for (const auto& line : keyBindingLines(compositor, "org.tunora.Tunora", altDigits)) {
            EXPECT_LE(characters(line), lineWidth) << line;
        }
    }
}

} // namespace
} // namespace tunora
