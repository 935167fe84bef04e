"""A desktop that shows no tray item is told so."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402


class NoTrayTest(DesktopTestCase):
    with_watcher = False

    def test_a_desktop_without_any_tray_is_told_what_to_install(self):
        d = self.desktop
        d.start_tunora(wait=False)
        wait_for(lambda: d.notifications, 15, "the notification")
        summary, body = d.notifications[0]
        self.assertEqual(summary, "Tunora is running, but this desktop shows no tray items")
        self.assertIn("gnome-shell-extension-appindicator", body)
        self.assertIn(summary, d.stderr())
        self.assertEqual(len(d.notifications), 1)


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
