"""The Debian package: built with CPack, validated, unpacked and started.

Usage: package_test.py BUILD_DIR BUILD_TREE_TUNORA
"""
import glob
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import Desktop  # noqa: E402

BUILD_DIR, BUILD_TUNORA = sys.argv[1], sys.argv[2]
RUNTIME_DEPENDS = ["gstreamer1.0-plugins-base", "gstreamer1.0-plugins-good",
                   "gstreamer1.0-pulseaudio", "fonts-noto-color-emoji", "librsvg2-common"]


def run(*argv, **kwargs):
    return subprocess.run(list(argv), capture_output=True, text=True, timeout=300, **kwargs)


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.TemporaryDirectory(prefix="tunora-package-")
        built = run("cpack", "-G", "DEB", "-B", cls.work.name, "--config",
                    os.path.join(BUILD_DIR, "CPackConfig.cmake"))
        assert built.returncode == 0, built.stdout + built.stderr
        debs = glob.glob(os.path.join(cls.work.name, "tunora_*_*.deb"))
        assert len(debs) == 1, debs
        cls.deb = debs[0]
        cls.root = os.path.join(cls.work.name, "root")
        unpacked = run("dpkg-deb", "-x", cls.deb, cls.root)
        assert unpacked.returncode == 0, unpacked.stderr

    @classmethod
    def tearDownClass(cls):
        cls.work.cleanup()

    def path(self, relative):
        return os.path.join(self.root, relative)

    def test_name_and_dependencies(self):
        self.assertRegex(os.path.basename(self.deb), r"^tunora_\d+\.\d+\.\d+_amd64\.deb$")
        depends = run("dpkg-deb", "-f", self.deb, "Depends").stdout
        for package in RUNTIME_DEPENDS + ["libgtk-3-0", "libgstreamer1.0-0", "libdbusmenu-glib4"]:
            self.assertIn(package, depends)
        self.assertNotIn("ayatana", depends, "the tray item is the program's own")
        names = [alternatives.split()[0] for alternatives in depends.split(",")]
        status = run("dpkg-query", "-W", "-f", "${db:Status-Abbrev}\n", *names).stdout.split()
        self.assertEqual(status, ["ii"] * len(names), "not all installed as named: " + depends)
        self.assertIn("xdg-desktop-portal", run("dpkg-deb", "-f", self.deb, "Recommends").stdout)

    def test_contents(self):
        for relative in ["usr/bin/tunora", "usr/share/applications/org.tunora.Tunora.desktop",
                         "usr/share/metainfo/org.tunora.Tunora.metainfo.xml",
                         "usr/share/icons/hicolor/scalable/apps/org.tunora.Tunora.svg",
                         "usr/share/icons/hicolor/48x48/apps/org.tunora.Tunora.png",
                         "usr/share/tunora/icons/hicolor/48x48/status/"
                         "antenna.radiowaves.left.and.right.png",
                         "usr/share/locale/de/LC_MESSAGES/tunora.mo",
                         "usr/share/man/man1/tunora.1.gz", "usr/share/doc/tunora/copyright"]:
            self.assertTrue(os.path.exists(self.path(relative)), relative)

    def test_validators_have_nothing_to_say(self):
        desktop = run("desktop-file-validate",
                      self.path("usr/share/applications/org.tunora.Tunora.desktop"))
        self.assertEqual((desktop.returncode, desktop.stdout + desktop.stderr), (0, ""))
        metainfo = run("appstreamcli", "validate", "--no-net",
                       self.path("usr/share/metainfo/org.tunora.Tunora.metainfo.xml"))
        self.assertEqual(metainfo.returncode, 0, metainfo.stdout)
        # AppStream 1.0 (Debian 13) wants <developer>, which 0.16 (Debian 12) does not know yet.
        version = run("appstreamcli", "--version").stdout.split()[-1]
        unknown = ("unknown-tag developer",) if int(version.split(".")[0]) < 1 else ()
        complaints = [line for line in metainfo.stdout.splitlines()
                      if line[:2] in ("E:", "W:", "I:") and not line.endswith(unknown)]
        self.assertEqual(complaints, [], "AppStream " + version)

    def test_lintian_reports_no_errors(self):
        result = run("lintian", "--fail-on", "error", "--suppress-tags",
                     "bad-distribution-in-changes-file", self.deb)
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        self.assertEqual(errors, [])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_unpacked_program_finds_its_strings_and_icons(self):
        reference = Desktop()
        try:
            reference.start_tunora(binary=BUILD_TUNORA)
            expected_picture = os.path.basename(reference.item_property("IconName"))
        finally:
            reference.close()

        desktop = Desktop()
        try:
            desktop.start_tunora({"LANG": "de_DE.UTF-8"}, binary=self.path("usr/bin/tunora"))
            labels = [child["label"] for child in desktop.layout()["children"]]
            self.assertIn("Beenden", labels)
            self.assertIn("Tastenk\u00fcrzel", labels)
            # The picture's file name is a hash of its pixels: the same name means
            # the unpacked program drew the same flag and antenna.
            self.assertEqual(os.path.basename(desktop.item_property("IconName")),
                             expected_picture)
        finally:
            desktop.close()


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]])
