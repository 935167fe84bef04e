"""Start-up as a whole: one instance, the start-up notification, no sound output."""
import os
import shutil
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import TUNORA, DesktopTestCase, wait_for  # noqa: E402
from e2e_support import ALT, ONDORIA  # noqa: E402
from gi.repository import Gio  # noqa: E402


class ApplicationTest(DesktopTestCase):
    def autostart(self):
        return os.path.join(self.desktop.config, "autostart", "org.tunora.Tunora.desktop")

    def checked(self):
        return self.desktop.find("Launch at Login")["props"]["toggle-state"]

    def test_an_entry_the_desktop_hides_or_disables_is_not_checked(self):
        d = self.desktop
        os.makedirs(os.path.dirname(self.autostart()))
        for extra, checked in (("Hidden=true\n", 0), ("X-GNOME-Autostart-enabled = false\n", 0),
                               ("[Other Group]\nHidden=true\n", 1)):
            with open(self.autostart(), "w") as entry:
                entry.write("[Desktop Entry]\nType=Application\nExec=tunora\n" + extra)
            d.start_tunora()
            self.assertEqual(self.checked(), checked, extra)
            d.stop_tunora()

    def test_launch_at_login_writes_an_entry_that_starts_this_program_and_removes_it(self):
        d = self.desktop
        folder = os.path.join(d.root, 'My "Radio" $HOME `x` \\ back\nX-Injected=1')
        os.makedirs(folder)
        d.start_tunora(binary=shutil.copy(TUNORA, folder), umask=0)
        d.click("Launch at Login")
        wait_for(lambda: os.path.exists(self.autostart()), message="the autostart entry")
        self.assertEqual(os.stat(os.path.dirname(self.autostart())).st_mode & 0o777, 0o700)
        info = Gio.DesktopAppInfo.new_from_filename(self.autostart())
        self.assertFalse(info.has_key("X-Injected"))
        context = Gio.AppLaunchContext()
        for name, value in d.env.items():
            context.setenv(name, value)
        info.launch([], context)  # a second start: it says so, so it ran
        wait_for(lambda: d.notifications == [("Tunora is already running", "")], 15,
                 "the copy started from the entry")

        wait_for(lambda: self.checked() == 1, message="the check mark")
        d.click("Launch at Login")
        wait_for(lambda: not os.path.exists(self.autostart()), message="the entry removed")
        wait_for(lambda: self.checked() == 0, message="the check mark gone")

        with open(self.autostart() + ".tmp-Xy34Zw", "w") as left:
            left.write("left by a killed write")
        d.click("Launch at Login")
        wait_for(lambda: os.path.exists(self.autostart()), message="the entry again")
        self.assertFalse(os.path.exists(self.autostart() + ".tmp-Xy34Zw"))

    def test_launch_at_login_that_cannot_be_written_is_told_with_its_reason(self):
        d = self.desktop
        folders = [os.path.join(d.root, name) for name in ("a\x01b", "100%")]
        for folder in folders:
            os.makedirs(folder)
        with open(os.path.join(d.config, "autostart"), "w") as file:
            file.write("a file, not a folder")
        # GLib's launcher would not load an entry for a path with a % (written as %%).
        for binary, reason in ((shutil.copy(TUNORA, folders[0]), "control characters"),
                               (shutil.copy(TUNORA, folders[1]), "100%/tunora cannot be started"),
                               (TUNORA, os.path.join(d.config, "autostart"))):
            d.notifications.clear()
            d.start_tunora(binary=binary)
            d.click("Launch at Login")
            wait_for(lambda: d.notifications, message="the notification")
            self.assertEqual(d.notifications[0][0], "Tunora could not change Launch at Login")
            self.assertIn(reason, d.notifications[0][1])
            self.assertEqual(self.checked(), 0)
            d.stop_tunora()

    def test_check_for_updates_opens_a_dialog(self):
        d = self.desktop
        # Nothing answers there: the dialog then says the check failed.
        d.start_tunora({"TUNORA_UPDATE_FEED_URL": "https://127.0.0.1:9/feed.json"})
        d.click("Check for Updates\u2026")

        def dialog_open():
            found = subprocess.run(["xdotool", "search", "--name", "^Tunora Update$"],
                                   env=d.env, capture_output=True, text=True)
            return found.returncode == 0 and found.stdout.strip()
        wait_for(dialog_open, 10, "the update dialog")

    def test_a_restarted_watcher_gets_the_item_again(self):
        d = self.desktop
        d.start_tunora()
        first = d.item
        d.restart_watcher()
        wait_for(lambda: d.item is not None, 10, "the item registered anew")
        self.assertEqual(d.item, first)
        d.click("Ondoria")
        wait_for(lambda: d.label() == "Ondoria", message="its menu still plays")

    def test_quit_exits_with_status_zero(self):
        d = self.desktop
        tunora = d.start_tunora()
        d.click("Quit")
        self.assertEqual(tunora.popen.wait(10), 0)

    def test_a_second_instance_exits_and_the_first_keeps_running(self):
        d = self.desktop
        first = d.start_tunora()
        second = subprocess.run([first.popen.args[0]], env=d.env, capture_output=True,
                                text=True, timeout=20)
        self.assertEqual(second.returncode, 0)
        self.assertEqual(len(second.stderr.strip().splitlines()), 1)
        self.assertIn("already running", second.stderr)
        wait_for(lambda: d.notifications, 5, "the notification")
        self.assertEqual(d.notifications, [("Tunora is already running", "")])
        self.assertIsNone(first.popen.poll())
        self.assertTrue(d.layout()["children"])

    def test_without_a_runtime_dir_one_private_folder_serves_every_start(self):
        d = self.desktop
        scratch = os.path.join(d.root, "tmp")
        os.makedirs(scratch)
        private = os.path.join(d.root, "cache", "tunora")
        os.makedirs(private, mode=0o755)
        env = {"XDG_RUNTIME_DIR": "", "TMPDIR": scratch}
        first = d.start_tunora(env)
        second = subprocess.run([first.popen.args[0]], env=dict(d.env, **env),
                                capture_output=True, text=True, timeout=20)
        self.assertIn("already running", second.stderr)
        self.assertEqual(os.stat(private).st_mode & 0o777, 0o700)
        d.stop_tunora()
        self.assertEqual(os.listdir(scratch), [])

    def test_without_a_session_bus_the_shortcuts_still_play(self):
        d = self.desktop
        d.start_tunora({"DBUS_SESSION_BUS_ADDRESS": "unix:path=/nonexistent"}, wait=False)
        wait_for(lambda: "shows no tray items" in d.stderr(), 15, "the program up, told on stderr")
        d.xdotool("key", "alt+1")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound from Alt+1")

    def test_without_a_sound_server_a_station_neither_crashes_nor_stalls_it(self):
        d = self.desktop
        d.start_tunora({"PULSE_SERVER": "unix:/nonexistent"})
        d.click("Ondoria")
        wait_for(lambda: d.requests(ONDORIA) == 1, message="the stream")
        wait_for(lambda: d.notifications, 20, "the notification")
        self.assertEqual(d.notifications[0], (
            "Ondoria cannot be played",
            "there is no sound output (is PulseAudio or PipeWire running?)"))
        self.assertEqual(d.playerctl("status"), "Paused", "not Playing in silence")
        d.click("Ondo Kultur")
        wait_for(lambda: d.label() == "Ondo Kultur", message="the menu still answers")
        self.assertIsNone(d.tunora.popen.poll())
        # Every output was tried; none that a library opens behind GStreamer's
        # back may write to the listener's log.
        for noise in ("ALSA lib", "AL lib"):
            self.assertNotIn(noise, d.stderr())

    def test_problems_found_at_start_are_told_together_and_a_misread_file_is_kept(self):
        d = self.desktop
        folder = os.path.join(d.config, "tunora")
        os.makedirs(folder)
        with open(os.path.join(folder, "stream-hosts.json"), "w") as file:
            file.write('{\n  "icecast.ndr.de": "http://127.0.0.1:1",\n  oops\n}')
        settings = b'{"hotkeyChannels": ["gone", 5, "ndr2"], "volume": 1e999}'
        with open(os.path.join(folder, "defaults.json"), "wb") as file:
            file.write(settings)
        d.start_tunora({"TUNORA_STREAM_ORIGIN": "ftp://x", "TUNORA_SHORTCUTS": "wayland",
                        "TUNORA_RECONNECT_GIVE_UP_SECONDS": "2,5",
                        "TUNORA_TLS_CA_FILE": os.path.join(d.root, "no-such-ca.pem")})
        wait_for(lambda: d.notifications, 15, "the notification")
        summary, body = d.notifications[0]
        self.assertEqual(summary, "Tunora started, but not everything is right")
        self.assertIn("\u201cgone\u201d, which is no station", body)
        for told in ("TUNORA_STREAM_ORIGIN=", "ftp://x", "stream-hosts.json", "line 3, column",
                     "which is no station", "too large", "defaults.json",
                     "TUNORA_SHORTCUTS=\u201cwayland\u201d is ignored",
                     "TUNORA_RECONNECT_GIVE_UP_SECONDS=\u201c2,5\u201d is ignored",
                     "retried for 120 s", "no-such-ca.pem\u201d cannot be read"):
            self.assertIn(told, body)
            # The log under the C locale: quotes become "?".
            self.assertIn(told.replace("\u201c", "?").replace("\u201d", "?"), d.stderr())
        self.assertNotIn("exception", body)
        self.assertEqual(len(d.notifications), 1, "one notification for them all")
        shortcuts = [c["label"] for c in d.find("Keyboard Shortcuts")["children"][:3]]
        self.assertEqual(shortcuts, [ALT + "1: None", "Shortcut 2: None", ALT + "3: NDR 2"])

        d.playerctl("volume", "0.4")  # the first write keeps the file as it was
        wait_for(lambda: d.settings().get("volume") == 0.4, 15, "the volume saved")
        self.assertEqual(d.settings()["hotkeyChannels"], ["gone", "", "ndr2"])
        kept = [name for name in os.listdir(folder) if name.startswith("defaults.json.bad-")]
        self.assertEqual(len(kept), 1)
        with open(os.path.join(folder, kept[0]), "rb") as file:
            self.assertEqual(file.read(), settings)
        wait_for(lambda: len(d.notifications) == 2, 15, "the second notification")
        self.assertIn(kept[0], d.notifications[1][1])
        d.playerctl("volume", "0.5")
        wait_for(lambda: d.settings().get("volume") == 0.5, 15, "the volume saved again")
        self.assertEqual(len(os.listdir(folder)), 3, "kept once, not at every write")

    def test_a_setting_found_wrong_after_start_is_told_as_the_others_are(self):
        d = self.desktop
        d.start_tunora({"TUNORA_AUDIO_SINK": "nosuchsink"})
        # The output is made a moment after start, before any station is chosen.
        wait_for(lambda: d.notifications, 20, "the notification")
        summary, body = d.notifications[0]
        self.assertEqual(summary, "Tunora needs your attention")
        self.assertIn("TUNORA_AUDIO_SINK=\u201cnosuchsink\u201d does not work", body)
        d.click("Ondoria")
        wait_for(lambda: d.sound_level() > 0.05, 15, "sound on the usual output")
        self.assertEqual(len(d.notifications), 1)

    def test_no_display_is_a_clear_error_in_the_listeners_language(self):
        env = dict(self.desktop.env)
        env.pop("DISPLAY")
        env.pop("WAYLAND_DISPLAY", None)
        for language, words in (("C", "no display"), ("de_DE.UTF-8", "kein Bildschirm")):
            env["LANG"] = language
            self.desktop.notifications.clear()
            result = subprocess.run([TUNORA], env=env,
                                    capture_output=True, text=True, timeout=20)
            self.assertEqual(result.returncode, 1)
            self.assertEqual(len(result.stderr.strip().splitlines()), 1, result.stderr)
            self.assertIn(words, result.stderr)
            wait_for(lambda: self.desktop.notifications, 5, "the notification")
            self.assertIn(words, self.desktop.notifications[0][1])


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
