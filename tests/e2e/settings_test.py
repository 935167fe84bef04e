"""The settings file: what is kept, what is set aside, and what a hand-edited file does."""
import itertools
import json
import os
import stat
import sys
import threading
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402
from e2e_support import ALT, MPRIS, MPRIS_PLAYER  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402


class SettingsTest(DesktopTestCase):
    """defaults.json on disk: never lost, never half written, never waited on."""

    def folder(self):
        return os.path.join(self.desktop.config, "tunora")

    def write_settings(self, contents, name="defaults.json"):
        """Writes beside and renames, as editors do: never a half file to read."""
        os.makedirs(self.folder(), exist_ok=True)
        with open(os.path.join(self.folder(), ".edit"), "wb") as file:
            file.write(contents)
        os.replace(os.path.join(self.folder(), ".edit"), os.path.join(self.folder(), name))

    def test_the_first_start_seeds_a_private_file_and_other_keys_survive(self):
        d = self.desktop
        d.start_tunora()
        wait_for(lambda: os.path.exists(os.path.join(self.folder(), "defaults.json")))
        self.assertEqual(os.listdir(self.folder()), ["defaults.json"], "no temporary left")
        self.assertEqual(os.stat(os.path.join(self.folder(), "defaults.json")).st_mode & 0o777,
                         0o600)
        d.stop_tunora()
        self.write_settings(b'{"hotkeyChannels": ["ndr2"], "nested": {"a": [1, 2]}}')
        self.write_settings(b'{"half', "defaults.json.tmp-AbC123")  # an interrupted write
        d.start_tunora()
        d.click("Keyboard Shortcuts", "Shortcut 3: None", "Fritz")
        wait_for(lambda: d.settings()["hotkeyChannels"] == ["ndr2", "", "fritz", "", ""])
        self.assertEqual(d.settings()["nested"], {"a": [1, 2]})
        self.assertEqual(os.listdir(self.folder()), ["defaults.json"])

        self.write_settings(b'{"hotkeyChannels": ["wdr2"]}')  # a hand edit, while running
        d.xdotool("key", "alt+1")
        wait_for(lambda: d.label() == "WDR 2", 15, "the edited binding")

    def test_keys_another_program_writes_while_ours_is_written_are_kept(self):
        d = self.desktop
        d.start_tunora()
        armed, done, foreign = threading.Event(), threading.Event(), []

        def other_program():  # adds a key of its own while one of ours is on its way
            while not done.is_set():
                if armed.is_set() and any(".tmp-" in n for n in os.listdir(self.folder())):
                    armed.clear()
                    foreign.append("other%d" % len(foreign))
                    self.write_settings(json.dumps(dict(d.settings(), **{foreign[-1]: 1})).encode())
        writer = threading.Thread(target=other_program)
        writer.start()
        try:
            # The other program catches only some of our writes (fewer on a busy
            # machine): write until it has raced eight of them.
            deadline = time.monotonic() + 60
            for step in itertools.count(1):
                if len(foreign) >= 8 or time.monotonic() > deadline:
                    break
                armed.set()
                d.bus.call_sync(*MPRIS, "org.freedesktop.DBus.Properties", "Set", GLib.Variant(
                    "(ssv)", (MPRIS_PLAYER, "Volume", GLib.Variant("d", (step % 90 + 5) / 100))),
                    None, Gio.DBusCallFlags.NONE, 5000, None)
        finally:
            done.set()
            writer.join()
        # A key written in the instant between our last look and our rename is
        # lost (a true collision); without the merge every one of them is.
        self.assertGreater(len(foreign), 4, "too few writes raced")
        lost = [key for key in foreign if key not in d.settings()]
        self.assertLess(len(lost), len(foreign) / 2, lost)

    def test_bad_files_are_kept_aside_and_never_waited_on(self):
        d = self.desktop
        bad = [b'{"hotkeyChannels": ["ndr2"', b'["ndr2"]', b'{"hotkeyChannels": ["nd\xff"]}',
               b'{"pad": "' + b"x" * (1100 * 1024) + b'"}', None]
        for contents in bad:
            path = os.path.join(self.folder(), "defaults.json")
            if contents is None:
                os.remove(path)
                os.mkfifo(path, 0o600)
            else:
                self.write_settings(contents)
            d.start_tunora()
            self.assertEqual(d.settings()["hotkeyChannels"][0], "ondo", contents and contents[:20])
            d.stop_tunora()
        kept = [os.path.join(self.folder(), name) for name in os.listdir(self.folder())
                if name.startswith("defaults.json.bad-")]
        self.assertEqual(sum(1 for path in kept if stat.S_ISFIFO(os.stat(path).st_mode)), 1)
        contents = []
        for path in kept:
            if not stat.S_ISFIFO(os.stat(path).st_mode):
                with open(path, "rb") as file:
                    contents.append(file.read())
        contents.sort()
        self.assertEqual(contents, sorted(bad[:-1]), "every bad file kept, none overwritten")

    def test_a_value_of_the_wrong_type_costs_only_its_own_slot_or_key(self):
        d = self.desktop
        path = os.path.join(self.folder(), "defaults.json")
        for bad in (b"5", b"-5", b"1e308", b"null", b'{"id": "ndr2"}', b"1e999"):
            contents = b'{"hotkeyChannels": ["ndr2", ' + bad + b', "fritz"], "volume": 0.25}'
            self.write_settings(contents)
            d.start_tunora()
            shortcuts = [c["label"] for c in d.find("Keyboard Shortcuts")["children"][:3]]
            self.assertEqual(shortcuts, [ALT + "1: NDR 2", "Shortcut 2: None", ALT + "3: Fritz"],
                             bad)
            self.assertEqual(d.playerctl("volume"), "0.250000", bad)
            d.stop_tunora()
            with open(path, "rb") as file:
                self.assertEqual(file.read(), contents, "read, not rewritten")
        self.write_settings(b'{"hotkeyChannels": ["ndr2", "", "fritz"], "volume": 1e999}')
        d.start_tunora()
        self.assertEqual(d.find("Keyboard Shortcuts")["children"][0]["label"], ALT + "1: NDR 2")
        self.assertEqual(d.playerctl("volume"), "1.000000", "only the volume is lost")

    def test_a_shortcut_that_cannot_be_saved_is_told_once_and_not_shown(self):
        d = self.desktop
        with open(os.path.join(d.config, "tunora"), "w") as file:
            file.write("a file where the folder should be")
        d.start_tunora()
        d.click("Keyboard Shortcuts", "Shortcut 4: None", "Fritz")
        wait_for(lambda: d.notifications, message="the notification")
        summary, body = d.notifications[0]
        self.assertEqual(summary, "Tunora could not save the shortcut")
        self.assertIn(os.path.join(d.config, "tunora"), body)
        self.assertEqual(d.find("Keyboard Shortcuts")["children"][3]["label"],
                         "Shortcut 4: None", "no key taken for what was not kept")
        d.click("Keyboard Shortcuts", "Shortcut 5: None", "Fritz")
        # Another problem, told after whatever the second try brings.
        with open(os.path.join(d.config, "autostart"), "w") as file:
            file.write("a file where the folder should be")
        d.click("Launch at Login")
        wait_for(lambda: len(d.notifications) >= 2, message="the second notification")
        self.assertEqual([n[0] for n in d.notifications], [
            "Tunora could not save the shortcut", "Tunora could not change Launch at Login"])

    def test_a_stray_comma_is_named_and_the_way_back_told_with_the_kept_copy(self):
        d = self.desktop
        written = b'{"hotkeyChannels": ["ndr2", "", "fritz"],\n "volume": 0.4,\n}\n'
        self.write_settings(written)
        d.start_tunora()
        wait_for(lambda: d.notifications, 15, "the notification")
        summary, body = d.notifications[0]
        self.assertEqual(summary, "Tunora started, but not everything is right")
        kept = [name for name in os.listdir(self.folder()) if name.startswith("defaults.json.bad-")]
        self.assertEqual(len(kept), 1)
        path = os.path.join(self.folder(), "defaults.json")
        self.assertEqual(body.splitlines(), [
            "%s is not valid JSON (line 3, column 1): Tunora uses its defaults and has kept the "
            "file as %s. To get your settings back, mend that copy and rename it to "
            "defaults.json." % (path, os.path.join(self.folder(), kept[0]))])
        d.stop_tunora()
        # As the listener is told: mend the copy, and rename it back.
        kept = os.path.join(self.folder(), kept[0])
        with open(kept, "rb") as file:
            self.assertEqual(file.read(), written)
        with open(kept, "wb") as file:
            file.write(written.replace(b"0.4,", b"0.4"))
        os.replace(kept, path)
        d.start_tunora()
        shortcuts = [c["label"] for c in d.find("Keyboard Shortcuts")["children"][:3]]
        self.assertEqual(shortcuts, [ALT + "1: NDR 2", "Shortcut 2: None", ALT + "3: Fritz"])
        self.assertEqual(d.playerctl("volume"), "0.400000")


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
