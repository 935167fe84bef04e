"""Stations that cannot play: what the tooltip, the notification and the log say, per tray host."""
import os
import re
import socket
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402
from e2e_support import SONG, NDR2, unconfigured, shown, as_waybar_shows, as_plasma_shows, as_budgie_shows, start_host, checked_stations  # noqa: E402
from gi.repository import Gio  # noqa: E402
from stream_server import MARKUP_TITLE  # noqa: E402


class FailureTest(DesktopTestCase):
    tls = True

    def told(self, reason, env=None, station=("NDR", "NDR 2")):
        """Starts the program, chooses the station, and checks it fails for reason."""
        d = self.desktop
        d.notifications.clear()
        d.start_tunora(env)
        d.click(*station)
        wait_for(lambda: d.notifications, 20, "the notification that says " + reason)
        self.assertEqual(d.notifications[0][1], reason)
        self.assertEqual(d.playerctl("status"), "Paused")
        d.stop_tunora()

    def test_every_reason_a_station_cannot_play_is_told(self):
        d = self.desktop
        refusing = socket.socket()
        refusing.bind(("127.0.0.1", 0))  # bound, never listening
        self.addCleanup(refusing.close)
        for faults, env, reason in (
                ({"ndr2": "html"}, {}, "the server sends no audio stream"),
                ({}, {"TUNORA_STREAM_ORIGIN": "http://127.0.0.1:%d" % refusing.getsockname()[1]},
                 "the server refused the connection"),
                ({}, {"TUNORA_STREAM_ORIGIN": "http://st01.ondoria.invalid"},
                 unconfigured("ndr2", "st01.ondoria.invalid")),
                ({"ndr2": "drop-always"}, {"TUNORA_RECONNECT_GIVE_UP_SECONDS": "3"},
                 "the stream dropped and did not come back within 3 s")):
            d.set_faults(faults)
            self.told(reason, env)
        self.assertLess(d.requests(NDR2), 20, "drops are retried with a pause")

    def test_a_station_without_an_address_says_what_to_write_where_in_english_and_german(self):
        """The listener's real file (XDG_CONFIG_HOME is ~/config here), the station id
        and the host to map; and when their file was ignored, that it must be mended."""
        d = self.desktop
        hosts = os.path.join(d.config, "tunora", "stream-hosts.json")
        english = unconfigured("ondo_kultur", "st02.ondoria.invalid")
        for env, contents, words, not_words in (
                ({}, None, english, "fix "),
                ({"LANG": "de_DE.UTF-8"}, None, "Stream-Adresse", ".config"),
                ({}, '{"ondo": "http://127.0.0.1:1/x",}',
                 "fix ~/config/tunora/stream-hosts.json:\n", "no stream address"),
                ({"LANG": "de_DE.UTF-8"}, '{"ondo": 1}', "~/config/tunora/stream-hosts.json",
                 "ondo_kultur")):
            if contents is not None:
                os.makedirs(os.path.dirname(hosts), exist_ok=True)
                with open(hosts, "w") as file:
                    file.write(contents)
            d.notifications.clear()
            d.start_tunora(dict(env, TUNORA_STREAM_ORIGIN=""))  # empty: the built-in hosts
            d.click("Ondo Kultur")
            wait_for(lambda: len(d.notifications) == (1 if contents is None else 2), 20,
                     "the notification")
            body = d.notifications[-1][1]
            self.assertIn(words, body)
            self.assertNotIn(not_words, body)
            self.assertIn("stream-hosts.json", body)
            self.assertTrue(all(len(line) <= 72 for line in body.splitlines()), body)
            self.assertEqual(shown(d.item_property("ToolTip"))[1], body)
            self.assertIn(body.splitlines()[0], d.stderr())  # the C locale's log has no quotes
            self.assertEqual(d.requests("/ondo/02/128/mp3/stream.mp3"), 0)
            d.stop_tunora()

    def test_https_trusts_only_its_authority_and_never_falls_back_to_http(self):
        d = self.desktop
        https = {"TUNORA_STREAM_ORIGIN": d.env["TUNORA_TEST_TLS_ORIGIN"]}
        self.told("the server's certificate is not trusted", https)
        https["TUNORA_TLS_CA_FILE"] = os.path.join(d.root, "not-a-ca.pem")
        with open(https["TUNORA_TLS_CA_FILE"], "w") as file:
            file.write("not a certificate\n")
        self.told("the certificates of TUNORA_TLS_CA_FILE cannot be read", https)  # no fallback
        self.assertIn("https streams are refused", d.stderr())
        https["TUNORA_TLS_CA_FILE"] = d.env["TUNORA_TEST_CA_FILE"]
        d.set_faults({"ndr2": "redirect-to-http"})
        self.told("the server redirected to an unencrypted address", https)
        self.assertEqual(d.requests("/plain.mp3"), 0, "not one request in plain text")
        d.set_faults({"ndr2": "redirect-here"})  # a redirect that stays on https
        d.start_tunora(https)
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound over https")

    def test_a_station_that_cannot_play_is_shown_paused_explained_and_retried(self):
        d = self.desktop
        d.start_tunora()
        d.set_faults({"ndr2": "404"})
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.playerctl("status") == "Paused", 3, "Paused after the failure")
        wait_for(lambda: d.notifications, 3, "the notification")
        self.assertEqual(d.notifications, [("NDR 2 cannot be played", "the server answered 404")])
        self.assertIn("NDR 2 cannot be played: the server answered 404", d.stderr())
        self.assertEqual(d.requests(NDR2), 1, "no retries")
        self.assertEqual(checked_stations(d), ["NDR 2"])
        self.assertEqual(d.label(), "NDR 2")
        self.assertEqual(d.item_property("Title"), "NDR 2 \u2013 the server answered 404")
        self.assertEqual(shown(d.item_property("ToolTip")), ("NDR 2", "the server answered 404"))

        # Tried again, it fails the same way: the listener knows already. Another
        # station's failure, told after it, shows that nothing came in between.
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.requests(NDR2) == 2, message="the second try")
        d.set_faults({"ndr2": "404", "wdr2": "404"})
        d.click("WDR", "WDR 2")
        wait_for(lambda: len(d.notifications) == 2, message="the notification for WDR 2")
        self.assertEqual(d.notifications[1][0], "WDR 2 cannot be played")

        d.set_faults({})
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound after the server was mended")
        self.assertEqual(d.playerctl("status"), "Playing")
        wait_for(lambda: d.item_property("Title") == "NDR 2", 5, "no longer connecting")
        self.assertEqual(shown(d.item_property("ToolTip")), ("NDR 2", ""))
        self.assertEqual(len(d.notifications), 2)

        # Once it played, the same failure is news again.
        d.set_faults({"ndr2": "404"})
        d.click("NDR", "NDR 2")  # pauses; the connection is let go in a moment
        wait_for(lambda: d.open_streams(NDR2) == 0, message="the paused connection closed")
        d.click("NDR", "NDR 2")  # and asks again
        wait_for(lambda: len(d.notifications) == 3, message="the notification after it played")
        self.assertEqual(d.notifications[2], ("NDR 2 cannot be played", "the server answered 404"))

    def test_a_station_that_answers_and_then_sends_nothing_is_connecting_then_silent(self):
        d = self.desktop
        d.start_tunora()
        d.set_faults({"ndr2": "stall-at-once"})
        d.click("NDR", "NDR 2")
        wait_for(lambda: shown(d.item_property("ToolTip")) == ("NDR 2", "connecting\u2026"), 5,
                 "connecting while no sound came")
        wait_for(lambda: d.notifications, 20, "the notification")
        self.assertEqual(d.notifications, [("NDR 2 cannot be played", "the station sends no sound")])
        self.assertEqual(shown(d.item_property("ToolTip")), ("NDR 2", "the station sends no sound"))
        self.assertEqual(d.playerctl("status"), "Paused")

    def test_the_song_title_shows_on_hover_and_now_playing_keeps_the_station(self):
        d = self.desktop
        d.start_tunora()
        d.set_faults({"ndr2": "icy"})
        told = []
        d.bus.signal_subscribe(d.item[0], "org.kde.StatusNotifierItem", "NewToolTip", d.item[1],
                               None, Gio.DBusSignalFlags.NONE, lambda *_: told.append(1))
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.item_property("Title") == "NDR 2 \u2013 " + SONG, 10, "the song title")
        wait_for(lambda: told, 5, "NewToolTip")  # Plasma reads only the tooltip
        self.assertEqual(shown(d.item_property("ToolTip")), ("NDR 2", SONG))
        self.assertEqual(d.playerctl("metadata", "xesam:title"), "NDR 2")
        self.assertEqual(d.notifications, [])

        # Markup characters show as they are, in a text Qt takes for rich text
        # (a tag first) and Pango parses; the plain title stays plain.
        d.set_faults({"ondo/01": "icy-markup"})
        d.click("Ondoria")
        wait_for(lambda: d.item_property("Title") == "Ondoria \u2013 " + MARKUP_TITLE, 10, "title")
        tooltip = d.item_property("ToolTip")
        self.assertTrue(tooltip[3].startswith("<span>"), tooltip[3])
        self.assertEqual(shown(tooltip), ("Ondoria", MARKUP_TITLE))

    def test_each_host_draws_the_station_and_the_song_as_sent_and_its_wheel_turns_the_right_way(self):
        d = self.desktop
        d.set_faults({"ondo/01": "icy-markup"})
        # Each host with a wheel notch down as it sends one: the sign is the host's own.
        for program, name, reads, notch_down in (
                ("waybar", None, as_waybar_shows, (1, "vertical")),
                ("plasmashell", None, as_plasma_shows, (-120, "Vertical")),
                ("budgie-panel", "org.freedesktop.StatusNotifierHost-budgie_{pid}",
                 as_budgie_shows, (-1, "vertical"))):
            host = start_host(d, program, name) if name else start_host(d, program)
            d.start_tunora()
            d.click("Ondoria")
            wait_for(lambda: reads(d.item_property("ToolTip")) == "Ondoria\n" + MARKUP_TITLE, 10,
                     "the song as sent, on " + program)
            d.playerctl("volume", "0.5")
            d.item_call("Scroll", "(is)", *notch_down)
            wait_for(lambda: re.fullmatch("Ondoria\nVolume 45 %", reads(
                d.item_property("ToolTip"))), 5, "the volume a step lower, on " + program)
            self.assertEqual(d.playerctl("volume"), "0.450000")
            d.stop_tunora()
            host.stop()

    def test_a_dropped_stream_reconnects_and_stays_playing_quietly(self):
        d = self.desktop
        d.start_tunora()
        d.set_faults({"wdr2": "drop-once"})
        d.click("WDR", "WDR 2")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound")
        path = "/wdr/wdr2/rheinland/mp3/128/stream.mp3"
        statuses = set()
        wait_for(lambda: statuses.add(d.playerctl("status")) or d.requests(path) >= 2, 15,
                 "the reconnect")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound again")
        self.assertEqual(statuses, {"Playing"})
        self.assertEqual(d.notifications, [])


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
