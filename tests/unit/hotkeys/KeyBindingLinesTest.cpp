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

} // namespace
} // namespace tunora
