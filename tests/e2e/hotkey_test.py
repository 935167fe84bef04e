"""Station keys grabbed on the X server."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402
from e2e_support import ALT  # noqa: E402


class HotkeyTest(DesktopTestCase):
    def test_bind_press_clear_and_restart(self):
        d = self.desktop
        d.start_tunora()
        d.click("Keyboard Shortcuts", ALT + "4: None", "Fritz")
        wait_for(lambda: d.settings()["hotkeyChannels"][3] == "fritz", message="the binding")
        wait_for(lambda: d.find("rbb", "Fritz")["props"].get("shortcut") == [["Alt", "4"]],
                 message="the key hint on Fritz")
        self.assertIn(ALT + "4: Fritz",
                      [c["label"] for c in d.find("Keyboard Shortcuts")["children"]])

        d.xdotool("key", "alt+4")
        wait_for(lambda: d.label() == "Fritz", message="the hot key to play Fritz")
        d.xdotool("key", "alt+4")
        wait_for(lambda: d.playerctl("status") == "Paused", message="the hot key to pause")
        d.xdotool("key", "alt+1")
        wait_for(lambda: d.label() == "Ondoria", message="Alt+1")

        d.click("Keyboard Shortcuts", ALT + "2: Ondo Kultur", "None")
        wait_for(lambda: d.settings()["hotkeyChannels"][1] == "", message="the cleared slot")

        d.stop_tunora()
        d.start_tunora()
        slots = [c["label"] for c in d.find("Keyboard Shortcuts")["children"]]
        self.assertEqual(slots, [ALT + "1: Ondoria", ALT + "2: None",
                                 ALT + "3: Ondo Nova", ALT + "4: Fritz",
                                 ALT + "5: None"])


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
