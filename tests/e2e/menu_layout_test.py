"""The menu as a panel reads it: stations, submenus, shortcut lines and the windows it opens."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402
from e2e_support import ALT  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402


class MenuLayoutTest(DesktopTestCase):
    def top_labels(self):
        return [c["label"] or "---" for c in self.desktop.layout()["children"]]

    def test_english_layout_under_the_c_locale(self):
        self.desktop.start_tunora()
        self.assertEqual(self.top_labels(), [
            "Ondoria", "Ondo Kultur", "Ondo Nova", "---", "NDR", "WDR", "BR", "HR", "SWR",
            "MDR", "rbb", "---", "Launch at Login", "Keyboard Shortcuts",
            "Check for Updates\u2026", "---", "Quit"])
        with open(os.path.join(os.path.dirname(__file__), "stations.tsv")) as table:
            stations = [line.rstrip("\n").split("\t") for line in table]
        for network in ("NDR", "WDR", "BR", "HR", "SWR", "MDR", "rbb"):
            self.assertEqual([c["label"] for c in self.desktop.find(network)["children"]],
                             [name for _, name, net, _ in stations if net == network])
        self.assertEqual(self.desktop.find("Ondoria")["props"]["shortcut"], [["Alt", "1"]])
        self.assertEqual(self.desktop.find("Quit")["props"]["shortcut"], [["Control", "q"]])
        self.assertNotIn("shortcut", self.desktop.find("NDR", "NDR 2")["props"])
        slots = [c["label"] for c in self.desktop.find("Keyboard Shortcuts")["children"]]
        self.assertEqual(slots, [ALT + "1: Ondoria", ALT + "2: Ondo Kultur",
                                 ALT + "3: Ondo Nova", "Shortcut 4: None", "Shortcut 5: None"])
        slot4 = self.desktop.find("Keyboard Shortcuts", "Shortcut 4: None")["children"]
        self.assertEqual(len(slot4), 2 + 49)
        self.assertEqual((slot4[0]["label"], slot4[0]["props"]["toggle-state"]), ("None", 1))
        self.assertEqual(slot4[1]["props"].get("type"), "separator")
        # What GNOME's extension and Plasma read besides the menu.
        item = self.desktop.item_property
        self.assertEqual((item("Id"), item("ItemIsMenu"), item("XAyatanaLabel")), ("tunora", True, ""))
        self.assertEqual(item("ToolTip")[2:], ("Tunora", ""))
        self.assertEqual(item("IconName"), "", "the picture comes as pixels")
        pixmaps = item("IconPixmap")
        self.assertLessEqual({16, 22, 24, 32, 48, 64}, {h for _, h, _ in pixmaps}, "none scaled")
        for width, height, pixels in pixmaps:
            self.assertEqual(len(pixels), width * height * 4, "ARGB32")
            self.assertEqual(width, height, "square, as tray cells are")

    def shown_windows(self):
        """Where the program's windows on the screen are (GTK's leader, a
        window off the screen, left out)."""
        run = lambda *args: subprocess.run(["xdotool"] + list(args), env=self.desktop.env,
                                           capture_output=True, text=True).stdout
        found = run("search", "--onlyvisible", "--pid", str(self.desktop.tunora.popen.pid))
        geometries = [run("getwindowgeometry", w) for w in found.split()]
        # A window that closed between the search and the look has no geometry.
        places = [g.split("Position: ")[1].split()[0] for g in geometries if "Position: " in g]
        return [p for p in places if not p.startswith("-")]

    def test_a_left_click_the_host_passes_on_opens_the_menu_where_it_was(self):
        d = self.desktop
        d.start_tunora()
        d.layout()  # what a panel that opens the menu itself does: no window of ours
        self.assertEqual(self.shown_windows(), [])
        d.xdotool("mousemove", "310", "190")  # on the icon whose corner the host sends
        d.item_call("Activate", "(ii)", 300, 200)
        wait_for(self.shown_windows, 5, "a menu window")
        self.assertEqual(self.shown_windows(), ["300,200"])
        d.xdotool("key", "Escape")
        wait_for(lambda: not self.shown_windows(), 5, "the menu closed")
        # MATE sends a point in its own small window: the menu opens at the pointer.
        d.xdotool("mousemove", "900", "60")
        d.item_call("Activate", "(ii)", 0, 24)
        wait_for(self.shown_windows, 5, "a menu window again")
        self.assertEqual(self.shown_windows(), ["900,60"])
        # GTK logs each menu popped up without the event that asked for it.
        self.assertNotIn("-WARNING", d.stderr())

    def test_a_left_click_on_wayland_fails_so_that_the_host_opens_the_menu(self):
        d = self.desktop
        d.start_tunora({"WAYLAND_DISPLAY": "wayland-none"})
        with self.assertRaisesRegex(GLib.Error, "NotSupported"):
            d.item_call("Activate", "(ii)", 300, 200)
        d.item_call("SecondaryActivate", "(ii)", 300, 200)  # the others still succeed
        self.assertEqual(self.shown_windows(), [])

    def test_a_flood_of_calls_that_make_a_library_warn_leaves_stderr_readable(self):
        d = self.desktop
        d.start_tunora()
        leaf, menu = d.find("Ondoria")["id"], d.item_property("Menu")
        for _ in range(2000):  # libdbusmenu warns about each: a leaf has no submenu
            d.bus.call(d.item[0], menu, "com.canonical.dbusmenu", "AboutToShow",
                       GLib.Variant("(i)", (leaf,)), None, Gio.DBusCallFlags.NONE, 30000, None,
                       None)
        d.layout()  # answered after them all
        self.assertIn("About to Show", d.stderr())
        self.assertLess(len(d.stderr().splitlines()), 12)

    def test_german_from_lang_or_from_language_under_a_non_c_locale(self):
        for env in ({"LANG": "de_DE.UTF-8"}, {"LANG": "en_US.UTF-8", "LANGUAGE": "de"}):
            self.desktop.start_tunora(env)
            for german in ("Beim Anmelden starten", "Tastenk\u00fcrzel",
                           "Nach Updates suchen\u2026", "Beenden"):
                self.assertIn(german, self.top_labels(), env)
            slots = [c["label"] for c in self.desktop.find("Tastenk\u00fcrzel")["children"]]
            self.assertEqual(slots[0], ALT + "1: Ondoria")
            self.assertEqual(slots[3], "Tastenk\u00fcrzel 4: Keine")
            self.desktop.stop_tunora()


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
