"""The XEmbed tray icon that stands in while no StatusNotifier host runs."""
import os
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import DesktopTestCase, wait_for  # noqa: E402


class XEmbedFallbackTest(DesktopTestCase):
    with_watcher = False

    def test_docks_into_an_xembed_tray_without_a_watcher_and_takes_the_wheel(self):
        d = self.desktop
        host = subprocess.Popen([os.environ["TUNORA_XEMBED_HOST"], "20"], env=d.env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.addCleanup(host.kill)
        self.assertEqual(host.stdout.readline().strip(), "tray ready")
        reports = []
        threading.Thread(target=lambda: reports.extend(line.split() for line in host.stdout),
                         daemon=True).start()
        # GTK's tray icon trips a GDK critical of its own when it re-realizes.
        d.start_tunora({"G_DEBUG": ""}, wait=False)
        wait_for(lambda: d.playerctl("volume") == "1.000000", message="MPRIS")
        wheeled = set()

        def wheel_down_on_the_docked_icon():
            gone = {window for word, window in reports if word == "gone"}
            shown = [w for word, w in reports if word == "docked" and w not in gone | wheeled]
            if shown:
                wheeled.add(shown[-1])
                subprocess.run(["xdotool", "mousemove", "--window", str(int(shown[-1], 16)),
                                "8", "8", "click", "5"], env=d.env, capture_output=True)
            return d.playerctl("volume") == "0.950000"
        wait_for(wheel_down_on_the_docked_icon, 10, "a wheel step down on the icon")
        host.stdin.close()
        self.assertEqual(host.wait(10), 0)
        self.assertIsNone(d.tunora.popen.poll())


if __name__ == "__main__":
    unittest.main(argv=sys.argv)
