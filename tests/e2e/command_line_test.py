"""The command line: commands handed to the running program, and --status."""
import os
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import TUNORA, DesktopTestCase, wait_for  # noqa: E402
from e2e_support import SONG, NDR2, ONDORIA, MPRIS, checked_stations  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402


class CommandLineTest(DesktopTestCase):
    """`tunora --station ndr2` and the other options, handed to the running program."""

    def tunora(self, *args):
        return subprocess.run([TUNORA] + list(args), env=self.desktop.env, capture_output=True,
                              text=True, timeout=30)

    def shows(self, state, station="", name="", title=""):
        """Waits until --status says so; then MPRIS, the check mark and the sink must agree."""
        d = self.desktop
        line = "\t".join((state, station, name, title)) + "\n"
        wait_for(lambda: self.tunora("--status").stdout == line, 15, repr(line))
        self.assertEqual(d.playerctl("status"), state.capitalize())
        self.assertEqual(checked_stations(d), [name] if name else [])
        if state == "playing":
            wait_for(lambda: d.sound_level() > 0.05, 15, "sound")
        else:
            wait_for(lambda: d.sound_level() < 0.002, 10, "silence")

    def test_every_option_reaches_the_running_program_or_says_why_not(self):
        d = self.desktop
        status = self.tunora("--status")
        self.assertEqual((status.returncode, status.stdout), (3, "not running\n"), "no Tunora runs")
        d.set_faults({"ndr2": "icy"})
        d.start_tunora()
        ndr2, kultur = ("ndr2", "NDR 2", SONG), ("ondo_kultur", "Ondo Kultur")
        for args, code, shown in (
                (["--play"], 1, ()), (["--next"], 1, ()),
                (["--station", "ndr2"], 0, ("playing",) + ndr2),
                (["--station", "nope"], 1, ("playing",) + ndr2),
                (["--station", "Ondo Kultur"], 0, ("playing",) + kultur),
                (["--station", "ndr2"], 0, ("playing",) + ndr2),
                (["--slot", "4"], 1, ("playing",) + ndr2),
                (["--pause"], 0, ("paused",) + ndr2), (["--play"], 0, ("playing",) + ndr2),
                (["--toggle"], 0, ("paused",) + ndr2),
                (["--slot", "2"], 0, ("playing",) + kultur),
                (["--station", "ondo_kultur"], 0, ("paused",) + kultur),
                (["--next"], 0, ("playing", "ondo_nova", "Ondo Nova")),
                (["--previous"], 0, ("playing",) + kultur),
                (["--slot", "6"], 2, ("playing",) + kultur),
                (["--play", "--next"], 2, ("playing",) + kultur)):
            result = self.tunora(*args)
            self.assertEqual((result.returncode, result.stdout), (code, ""), args)
            self.assertEqual(len(result.stderr.splitlines()), code, result.stderr)
            if args == ["--station", "nope"]:
                self.assertIn("--list-stations", result.stderr, "where the names are")
            self.shows(*(shown or ("stopped",)))

    def test_a_restart_has_the_station_chosen_last_ready_and_quit_ends_tunora(self):
        """Launch at Login, a crash or --quit: Play, the media keys and Next go on from
        the station the listener chose last, and the start itself plays nothing."""
        d = self.desktop
        result = self.tunora("--quit")
        self.assertEqual((result.returncode, result.stdout, result.stderr), (0, "", ""))
        self.assertFalse(d.name_owned("org.tunora.Tunora"), "none was started to be ended")
        d.start_tunora()
        cron = subprocess.run([TUNORA, "--station", "MDR Th\u00fcringen"], capture_output=True,
                              env=dict(d.env, LC_ALL="C"), text=True, timeout=30)
        self.assertEqual((cron.returncode, cron.stderr), (0, ""), "any locale takes the name")
        self.shows("playing", "mdr_thueringen", "MDR Th\u00fcringen")
        d.click("NDR", "NDR 2")
        self.shows("playing", "ndr2", "NDR 2")
        for resume, station in ((lambda: self.tunora("--play"), ("ndr2", "NDR 2")),
                                (lambda: d.playerctl("play"), ("ndr2", "NDR 2")),
                                (lambda: d.playerctl("next"), ("ondo", "Ondoria"))):
            ended = self.tunora("--quit")
            self.assertEqual((ended.returncode, ended.stderr), (0, ""))
            self.assertFalse(d.name_owned("org.tunora.Tunora"), "gone when --quit returns")
            wait_for(lambda: d.tunora.popen.poll() is not None, message="Tunora to end")
            requests = d.requests(NDR2)
            d.start_tunora()
            self.shows("stopped", "ndr2", "NDR 2")
            self.assertEqual(d.requests(NDR2), requests, "a start plays nothing")
            resume()
            self.shows("playing", *station)

    def test_a_command_starts_tunora_when_none_runs_and_two_at_once_are_both_done(self):
        d = self.desktop
        result = self.tunora("--slot", "1")
        self.assertEqual((result.returncode, result.stderr), (0, ""))
        pid = d.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                              GLib.Variant("(s)", ("org.tunora.Tunora",)), None,
                              Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
        self.addCleanup(subprocess.run, ["kill", str(pid)])
        wait_for(lambda: d.item, 15, "the tray item of the Tunora it started")
        self.shows("playing", "ondo", "Ondoria")
        plain = subprocess.run([TUNORA], env=d.env, capture_output=True, text=True, timeout=20)
        self.assertEqual((plain.returncode, plain.stderr), (0, "tunora: Tunora is already running\n"))
        toggles = [subprocess.Popen([TUNORA, "--toggle"], env=d.env) for _ in range(2)]
        self.assertEqual([toggle.wait(20) for toggle in toggles], [0, 0])
        # Paused and resumed: on the paused connection while it is still kept
        # open, or with one request anew at the live edge.
        wait_for(lambda: d.playerctl("status") == "Playing", 10, "paused and resumed")
        self.assertLessEqual(d.requests(ONDORIA), 2)
        self.shows("playing", "ondo", "Ondoria")

    def test_next_and_previous_step_through_the_shortcuts_also_from_the_launcher(self):
        d = self.desktop
        d.start_tunora()
        can_go_next = []
        d.bus.signal_subscribe(None, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                               MPRIS[1], None, Gio.DBusSignalFlags.NONE,
                               lambda *args: can_go_next.append(
                                   args[5].unpack()[1].get("CanGoNext")))
        d.click("NDR", "NDR 2")
        wait_for(lambda: True in can_go_next, message="CanGoNext announced")

        def playing(name):
            wait_for(lambda: d.label() == name and d.playerctl("status") == "Playing",
                     15, name)
        for binds, slots, steps in (
                ([], ["ondo", "ondo_kultur", "ondo_nova", "", ""],
                 [("next", "Ondoria"), ("next", "Ondo Kultur"), ("previous", "Ondoria"),
                  ("previous", "Ondo Nova")]),
                ([(0, "None"), (2, "None"), (1, "Fritz")], ["", "fritz", "", "", ""],
                 [("next", "Fritz"), ("previous", "Fritz")]),
                ([(1, "None")], [""] * 5,
                 [("next", "Antenne Brandenburg"), ("previous", "Fritz"),
                  ("previous", "radioeins")])):
            for slot, station in binds:
                entries = d.find("Keyboard Shortcuts")["children"][slot]["children"]
                item = next(entry for entry in entries if entry["label"] == station)
                d._menu_call("Event", GLib.Variant("(isvu)", (item["id"], "clicked",
                                                              GLib.Variant("i", 0), 0)))
            wait_for(lambda: d.settings()["hotkeyChannels"] == slots, message=repr(slots))
            for command, name in steps:
                d.playerctl(command)
                playing(name)

        # The entry runs "tunora" from PATH, which GLib checks when it reads the entry.
        self.addCleanup(os.environ.__setitem__, "PATH", os.environ["PATH"])
        os.environ["PATH"] = os.path.dirname(os.path.abspath(TUNORA)) + os.pathsep + d.env["PATH"]
        info = Gio.DesktopAppInfo.new_from_filename(
            os.path.join(os.path.dirname(TUNORA), "data", "org.tunora.Tunora.desktop"))
        self.assertEqual(info.list_actions(), ["PlayPause", "NextStation", "PreviousStation"])
        context = Gio.AppLaunchContext()
        for name, value in dict(d.env, PATH=os.environ["PATH"]).items():
            context.setenv(name, value)
        info.launch_action("PlayPause", context)
        wait_for(lambda: d.playerctl("status") == "Paused", 15, "Play/Pause")
        info.launch_action("NextStation", context)
        playing("Fritz")
        info.launch_action("PreviousStation", context)
        playing("radioeins")


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
