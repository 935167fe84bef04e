"""The installed package as a panel and a listener meet it (debian/tests runs it
against /usr/bin/tunora): in a private desktop (X server, session bus, a watcher
that reads the menu as a panel does, PulseAudio with a null sink, a loopback
stream server) the item registers, its menu exports every station, a station
plays, Launch at Login starts the installed program by name, and the program
finds its translations."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import TUNORA, DesktopTestCase, wait_for  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402

NATIONAL_NETWORK = "Ondoria"


def listed_stations():
    """(name, network) of every station in menu order, as the program lists them."""
    listed = subprocess.run([TUNORA, "--list-stations"], capture_output=True, text=True,
                            check=True, timeout=60).stdout
    return [tuple(line.split("\t")[1:3]) for line in listed.splitlines()]


def menu_stations(layout):
    """(name, network) of the station items: the national ones at the top, then one
    submenu per network; a separator comes after each group, then the settings."""
    stations, separators = [], 0
    for item in layout["children"]:
        if item["props"].get("type") == "separator":
            separators += 1
            if separators == 2:
                break
        elif item["children"]:
            stations += [(child["label"], item["label"]) for child in item["children"]]
        else:
            stations.append((item["label"], NATIONAL_NETWORK))
    return stations


def has_locale(name):
    found = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.lower()
    return name.lower().replace("utf-8", "utf8") in found.split()


class InstalledProgramTest(DesktopTestCase):
    def playback_status(self):
        reply = self.desktop.bus.call_sync(
            "org.mpris.MediaPlayer2.tunora", "/org/mpris/MediaPlayer2",
            "org.freedesktop.DBus.Properties", "Get",
            GLib.Variant("(ss)", ("org.mpris.MediaPlayer2.Player", "PlaybackStatus")), None,
            Gio.DBusCallFlags.NONE, 5000, None)
        return reply.unpack()[0]

    def test_the_panel_reads_every_station_and_one_plays_to_the_sound_server(self):
        d = self.desktop
        self.assertEqual(TUNORA, "/usr/bin/tunora")
        d.start_tunora()
        expected = listed_stations()
        self.assertEqual(len(expected), 49)
        self.assertEqual(menu_stations(d.layout()), expected)

        d.click("NDR", "NDR 2")
        wait_for(lambda: self.playback_status() == "Playing", 15, "MPRIS to say Playing")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound at the null sink")
        self.assertEqual(d.label(), "NDR 2")

    def test_launch_at_login_starts_the_installed_program_by_name(self):
        d = self.desktop
        d.start_tunora()
        d.click("Launch at Login")
        entry = os.path.join(d.config, "autostart", "org.tunora.Tunora.desktop")
        wait_for(lambda: os.path.exists(entry), message="the autostart entry")
        with open(entry) as file:
            self.assertIn("Exec=tunora\n", file.read())

    def test_the_menu_is_in_german_where_the_locale_is(self):
        if not has_locale("de_DE.UTF-8"):
            self.skipTest("no de_DE.UTF-8 locale here (Debian package locales-all)")
        d = self.desktop
        d.start_tunora({"LANG": "de_DE.UTF-8"})
        labels = [item["label"] for item in d.layout()["children"]]
        self.assertIn("Beenden", labels)
        self.assertIn("Tastenk\u00fcrzel", labels)


if __name__ == "__main__":
    unittest.main(verbosity=2)
