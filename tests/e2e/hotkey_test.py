"""Station keys grabbed on the X server."""
import ctypes
import json
import os
import re
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402
from e2e_support import ALT  # noqa: E402


class KeyGrabber:
    """A second X client that grabs Alt+digit before Tunora does, as another
    program with global keys would."""

    def __init__(self, display, digit):
        x = self.x = ctypes.CDLL("libX11.so.6")
        x.XOpenDisplay.restype, x.XOpenDisplay.argtypes = ctypes.c_void_p, [ctypes.c_char_p]
        x.XDefaultRootWindow.restype = ctypes.c_ulong
        x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        x.XKeysymToKeycode.restype = ctypes.c_ubyte
        x.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
        x.XGrabKey.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_uint, ctypes.c_ulong,
                               ctypes.c_int, ctypes.c_int, ctypes.c_int]
        x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        self.display = x.XOpenDisplay(display.encode())
        alt, grab_mode_async = 8, 1  # Mod1Mask, GrabModeAsync
        x.XGrabKey(self.display, x.XKeysymToKeycode(self.display, ord(digit)), alt,
                   x.XDefaultRootWindow(self.display), 0, grab_mode_async, grab_mode_async)
        x.XSync(self.display, 0)

    def close(self):
        self.x.XCloseDisplay(self.display)


class FocusedWindow:
    """xev's window with the keyboard focus: what a browser in front gets of Alt+N."""

    def __init__(self, desktop):
        self.lines, self.seen = [], 0
        process = desktop._start(["stdbuf", "-oL", "xev", "-event", "keyboard", "-name",
                                  "tunora-test-focus"], stdout=subprocess.PIPE)
        threading.Thread(target=lambda: self.lines.extend(
            line.decode() for line in process.popen.stdout), daemon=True).start()
        desktop.xdotool("search", "--sync", "--name", "tunora-test-focus", "windowfocus", "--sync")

    def presses(self):
        """(state, key name) of each KeyPress xev printed so far."""
        text = "".join(self.lines)
        return [(int(state, 16), name) for state, name in re.findall(
            r"KeyPress event.*?state 0x([0-9a-f]+), keycode \d+ \(keysym 0x[0-9a-f]+, (\w+)\)",
            text, re.S)]

    def alt_digits_until(self, marker):
        """The digits pressed with Alt that reached the window before the key marker
        (pressed last); everything up to the marker counts as seen."""
        wait_for(lambda: (0, marker) in self.presses()[self.seen:], 15, "xev to get " + marker)
        new = self.presses()[self.seen:]
        new = new[:new.index((0, marker)) + 1]
        self.seen += len(new)
        return [name for state, name in new if state & 8 and name.isdigit()]


class HotkeyTest(DesktopTestCase):
    def slots(self):
        return [c["label"] for c in self.desktop.find("Keyboard Shortcuts")["children"]][:5]

    def test_bind_press_clear_and_restart(self):
        d = self.desktop
        d.start_tunora()
        d.click("Keyboard Shortcuts", "Shortcut 4: None", "Fritz")
        wait_for(lambda: d.settings()["hotkeyChannels"][3] == "fritz", message="the binding")
        wait_for(lambda: d.find("rbb", "Fritz")["props"].get("shortcut") == [["Alt", "4"]],
                 message="the key hint on Fritz")
        self.assertIn(ALT + "4: Fritz", self.slots())

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
        self.assertEqual(self.slots(), [ALT + "1: Ondoria", "Shortcut 2: None",
                                        ALT + "3: Ondo Nova", ALT + "4: Fritz",
                                        "Shortcut 5: None"])

    def test_free_keys_reach_the_window_in_front_and_a_held_key_is_told(self):
        """Browsers and terminals switch tabs with Alt+N: only a slot that plays
        something takes its key. A key another program took first is told at start."""
        d = self.desktop
        os.makedirs(os.path.join(d.config, "tunora"))
        with open(os.path.join(d.config, "tunora", "defaults.json"), "w") as file:
            json.dump({"hotkeyChannels": ["ndr2", "fritz", "", "", ""]}, file)
        other = KeyGrabber(d.display, "2")
        self.addCleanup(other.close)
        window = FocusedWindow(d)
        d.start_tunora()
        wait_for(lambda: d.notifications, 15, "the start-up notification")
        self.assertEqual(d.notifications, [(
            "Tunora started, but not everything is right",
            "Alt+2 is taken by another program: free it there,\n"
            "or bind another key to \u201ctunora --slot 2\u201d (man tunora)")])
        self.assertIn("Alt+2 is taken by another program", d.stderr())  # C locale: no quotes
        self.assertEqual(self.slots(), [ALT + "1: NDR 2", "Shortcut 2: Fritz", "Shortcut 3: None",
                                        "Shortcut 4: None", "Shortcut 5: None"])

        d.xdotool("key", "alt+1", "alt+4", "x")
        self.assertEqual(window.alt_digits_until("x"), ["4"])
        wait_for(lambda: d.label() == "NDR 2", message="Alt+1 to play NDR 2")

        d.click("Keyboard Shortcuts", "Shortcut 4: None", "WDR 2")
        wait_for(lambda: ALT + "4: WDR 2" in self.slots(), message="Alt+4 taken for WDR 2")
        d.click("Keyboard Shortcuts", ALT + "1: NDR 2", "None")
        wait_for(lambda: "Shortcut 1: None" in self.slots(), message="Alt+1 given back")
        d.xdotool("key", "alt+4", "alt+1", "y")
        self.assertEqual(window.alt_digits_until("y"), ["1"])
        wait_for(lambda: d.label() == "WDR 2", message="Alt+4 to play WDR 2")
        self.assertEqual(len(d.notifications), 1, "nothing more to tell")


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
