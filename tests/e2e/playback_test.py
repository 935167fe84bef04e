"""Playing stations from the menu: what the listener hears, the check marks, MPRIS and the tooltip."""
import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402
from e2e_support import ALT, NDR2, ONDORIA, MPRIS, MPRIS_ROOT, MPRIS_PLAYER, ROOT_PROPERTIES, PLAYER_PROPERTIES, shown, station_items, toggles, checked_stations  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402


class PlaybackTest(DesktopTestCase):
    def test_a_menu_the_panel_opens_warms_one_connection_that_the_click_then_uses(self):
        d = self.desktop
        d.start_tunora()
        ndr = d.find("NDR")["id"]

        def open_menu():  # until the players' session, made a moment after start, warms
            d._menu_call("AboutToShowGroup", GLib.Variant("(ai)", ([0, ndr],)))
            return d.requests("connections") >= 1
        wait_for(open_menu, 10, "a connection opened ahead")
        self.assertEqual(d.requests("requests"), 0, "nothing asked for before the click")
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound at the sink")
        self.assertEqual((d.requests("connections"), d.requests("requests")), (1, 1))

    def test_choose_pause_resume_and_switch(self):
        d = self.desktop
        d.start_tunora()
        revision, ndr2 = d.menu_revision(), d.find("NDR", "NDR 2")["id"]
        icons = []
        d.bus.signal_subscribe(d.item[0], "org.kde.StatusNotifierItem", "NewIcon", d.item[1],
                               None, Gio.DBusSignalFlags.NONE, lambda *_: icons.append(1))
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.label() == "NDR 2", message="the station label")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound at the sink")
        self.assertEqual(d.playerctl("metadata", "xesam:title"), "NDR 2")
        self.assertEqual(d.playerctl("metadata", "xesam:artist"), "NDR")
        self.assertEqual(checked_stations(d), ["NDR 2"])
        self.assertEqual(toggles(station_items(d.layout())), ["NDR 2"],
                         "only the current station has a toggle")
        slot3 = d.find("Keyboard Shortcuts", ALT + "3: Ondo Nova")["children"]
        self.assertEqual(toggles(slot3), ["Ondo Nova"])

        d.click("NDR", "NDR 2")
        wait_for(lambda: d.playerctl("status") == "Paused", message="pause")
        wait_for(lambda: d.sound_level() < 0.002, 10, "silence")
        wait_for(lambda: d.open_streams(NDR2) == 0, 10, "pause lets the connection go")
        self.assertEqual(checked_stations(d), ["NDR 2"])
        self.assertEqual(d.label(), "NDR 2")

        d.click("NDR", "NDR 2")
        wait_for(lambda: d.playerctl("status") == "Playing", message="resume")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound again")
        self.assertEqual(d.requests(NDR2), 2, "resuming starts at the live edge")

        d.click("WDR", "WDR 2")
        wait_for(lambda: d.label() == "WDR 2", message="the new station")
        self.assertEqual(checked_stations(d), ["WDR 2"])
        wait_for(lambda: d.open_streams("/wdr/wdr2/rheinland/mp3/128/stream.mp3") == 1,
                 message="the WDR 2 stream")
        wait_for(lambda: d.open_streams(NDR2) == 0, 10, "the switch lets NDR 2 go")

        d.item_call("SecondaryActivate", "(ii)", 0, 0)  # a middle click on the item
        wait_for(lambda: d.playerctl("status") == "Paused", message="a middle click pauses")
        d.item_call("SecondaryActivate", "(ii)", 0, 0)
        wait_for(lambda: d.playerctl("status") == "Playing", message="and plays again")
        # waybar sends a double click's second click twice (GTK's 2BUTTON_PRESS too).
        answers = []
        for _ in range(2):
            d.bus.call(*d.item, "org.kde.StatusNotifierItem", "SecondaryActivate",
                       GLib.Variant("(ii)", (0, 0)), None, Gio.DBusCallFlags.NONE, 5000, None,
                       lambda *_: answers.append(1))
        wait_for(lambda: len(answers) == 2, message="both answered")
        wait_for(lambda: d.playerctl("status") == "Paused", message="one click's two calls pause")
        self.assertEqual(d.label(), "WDR 2")
        self.assertEqual((d.menu_revision(), d.find("NDR", "NDR 2")["id"]), (revision, ndr2),
                         "checks and texts change in place: the panel keeps its layout")
        self.assertEqual(icons, [], "the same picture is not sent again")

    @unittest.skipIf(os.environ.get("TUNORA_SANITIZED") == "1",
                     "AddressSanitizer keeps freed memory in quarantine; leaks.* checks there")
    def test_memory_comes_back_after_bursts_of_media_commands_and_menu_clicks(self):
        d = self.desktop
        d.start_tunora()
        d.click("Ondoria")
        wait_for(lambda: d.playerctl("status") == "Playing", message="playing")

        before, answers = d.anonymous_kib(), []
        for _ in range(1000):  # sent without waiting for the answers
            d.bus.call(*MPRIS, MPRIS_PLAYER, "PlayPause", None, None, Gio.DBusCallFlags.NONE,
                       30000, None, lambda *_: answers.append(1))
        wait_for(lambda: len(answers) == 1000, 30, "the answers")
        self.assertEqual(d.playerctl("status"), "Playing")
        self.assertLess(d.anonymous_kib() - before, 8 * 1024, "after 1000 PlayPause")
        click = (d.find("Ondoria")["id"], "clicked", GLib.Variant("i", 0), 0)
        d._menu_call("EventGroup", GLib.Variant("(a(isvu))", ([click] * 501,)))
        wait_for(lambda: d.playerctl("status") == "Paused", message="501 clicks handled")
        self.assertLess(d.anonymous_kib() - before, 8 * 1024, "after 501 clicks")

    def test_volume_from_mpris_and_the_wheel_is_heard_and_kept(self):
        d = self.desktop
        d.start_tunora()
        d.click("Ondo Kultur")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound")
        full = d.sound_level(0.5)
        d.playerctl("volume", "0.3")
        wait_for(lambda: d.sound_level(0.5) < full * 0.45, 10, "a lower level at the sink")
        wait_for(lambda: d.settings().get("volume") == 0.3, 5, "the volume saved")

        # Plasma sends Qt's deltas (up positive, 120 a notch), GTK panels GDK's
        # (down positive, often 1): one step a call, each the way the wheel turned.
        # Plasma 6.7 sends Qt's deltas as "vertical".
        for delta, orientation, volume in ((120, "Vertical", "0.350000"),
                                           (-120, "Vertical", "0.300000"),
                                           (-120, "vertical", "0.250000"),
                                           (-1, "vertical", "0.300000"),
                                           (1, "vertical", "0.250000"),
                                           (-1, "vertical", "0.300000")):
            d.item_call("Scroll", "(is)", delta, orientation)
            wait_for(lambda: d.playerctl("volume") == volume, 5, "%d %s" % (delta, orientation))

        # The hover text shows the level for a moment, then what plays again.
        self.assertEqual(shown(d.item_property("ToolTip")), ("Ondo Kultur", "Volume 30 %"))
        wait_for(lambda: shown(d.item_property("ToolTip")) == ("Ondo Kultur", ""), 6, "no level")
        wait_for(lambda: d.settings().get("volume") == 0.3, 5, "the volume saved again")
        d.stop_tunora()
        d.start_tunora()
        self.assertEqual(d.playerctl("volume"), "0.300000")
        self.assertIn("hotkeyChannels", d.settings(), "the other keys stay")

    def test_mpris_describes_the_player_and_announces_every_change(self):
        d = self.desktop
        d.start_tunora()

        def get_all(interface):
            return d.bus.call_sync(*MPRIS, "org.freedesktop.DBus.Properties", "GetAll",
                                   GLib.Variant("(s)", (interface,)), None,
                                   Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
        root, player = get_all(MPRIS_ROOT), get_all(MPRIS_PLAYER)
        self.assertEqual({k: root[k] for k in ROOT_PROPERTIES}, ROOT_PROPERTIES)
        self.assertEqual({k: player[k] for k in PLAYER_PROPERTIES}, PLAYER_PROPERTIES)
        with self.assertRaises(GLib.Error, msg="Play before any station"):
            d.bus.call_sync(*MPRIS, MPRIS_PLAYER, "Play", None, None, Gio.DBusCallFlags.NONE,
                            5000, None)
        self.assertEqual(d.playerctl("status"), "Stopped")

        statuses = []
        d.bus.signal_subscribe(None, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                               MPRIS[1], None, Gio.DBusSignalFlags.NONE,
                               lambda *args: statuses.append(
                                   args[5].unpack()[1].get("PlaybackStatus")))
        d.click("Ondoria")
        wait_for(lambda: "Playing" in statuses, message="PropertiesChanged: Playing")
        wait_for(lambda: d.requests(ONDORIA) == 1, message="the stream")
        self.assertEqual(d.playerctl("metadata", "mpris:trackid"), "'/org/tunora/Track/1'")
        d.playerctl("pause")
        wait_for(lambda: "Paused" in statuses, message="PropertiesChanged: Paused")
        self.assertEqual(checked_stations(d), ["Ondoria"])
        d.playerctl("play")
        wait_for(lambda: d.requests(ONDORIA) == 2, 10, "play opens the station anew")
        self.assertEqual(d.playerctl("metadata", "mpris:trackid"), "'/org/tunora/Track/2'")
        d.bus.call_sync(*MPRIS, MPRIS_ROOT, "Quit", None, None, Gio.DBusCallFlags.NONE, 5000, None)
        self.assertEqual(d.tunora.popen.wait(15), 0, "Quit ends the program")

    def test_a_station_plays_from_a_whole_address_in_the_hosts_file(self):
        """An address of the listener's own under any path, given by station id; the
        first start binds a national station to its key only where it has one."""
        d = self.desktop
        os.makedirs(os.path.join(d.config, "tunora"))
        with open(os.path.join(d.config, "tunora", "stream-hosts.json"), "w") as file:
            json.dump({"ondo": d.env["TUNORA_TEST_STREAM_ORIGIN"] + "/radio/live?id=1"}, file)
        d.start_tunora({"TUNORA_STREAM_ORIGIN": ""})  # empty: the built-in hosts and the file
        self.assertEqual([c["label"] for c in d.find("Keyboard Shortcuts")["children"]][:5],
                         [ALT + "1: Ondoria", "Shortcut 2: None", "Shortcut 3: None",
                          "Shortcut 4: None", "Shortcut 5: None"])
        d.xdotool("key", "alt+1")
        wait_for(lambda: d.playerctl("status") == "Playing" and d.sound_level() > 0.05, 15,
                 "Ondoria from the whole address")
        self.assertEqual(d.requests("/radio/live"), 1)
        self.assertEqual(d.notifications, [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
