"""The log in a real journal: started as a session manager starts it, with its
output on a journal stream of the session manager's name, the program's own
messages are found by `journalctl -t tunora`.

systemd-journald runs here without systemd as the first process: as root, in a
mount namespace of the test's own (a fresh /run for its sockets and its volatile
journal, the cgroup2 file system newer journald wants), without the right to
change the kernel's audit settings. Where that cannot be had (not root, no
systemd package) the test exits with 77, which ctest counts as skipped, and
says why.
"""
import json
import os
import shutil
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from desktop import TUNORA, DesktopTestCase, wait_for  # noqa: E402

SKIPPED = 77
NAMESPACE_MARK = "TUNORA_JOURNAL_TEST_NAMESPACE"
JOURNALD = next((path for path in ("/usr/lib/systemd/systemd-journald",
                                   "/lib/systemd/systemd-journald") if os.path.exists(path)), None)
CGROUP2_MAGIC = 0x63677270


def why_not():
    """Why this machine cannot run a journal of the test's own; None when it can."""
    if os.geteuid() != 0:
        return "systemd-journald needs root to run outside systemd"
    if JOURNALD is None:
        return "systemd-journald is not installed (Debian package systemd)"
    for tool in ("journalctl", "systemd-cat", "unshare", "setpriv", "mount"):
        if shutil.which(tool) is None:
            return tool + " is not installed"
    probe = subprocess.run(["unshare", "--mount", "--propagation", "private", "true"],
                           capture_output=True, text=True)
    if probe.returncode != 0:  # e.g. in a chroot whose root is no mount point
        return "no private mount namespace here: " + probe.stderr.strip()
    return None


def mount(*argv):
    subprocess.run(["mount"] + list(argv), check=True, capture_output=True, timeout=30)


def is_cgroup2(path):
    found = subprocess.run(["stat", "-f", "-c", "%t", path], capture_output=True, text=True)
    return found.returncode == 0 and int(found.stdout.strip() or "0", 16) == CGROUP2_MAGIC


def prepare_namespace():
    """Inside the private mount namespace: what journald needs, seen only here."""
    mount("-t", "tmpfs", "-o", "mode=755,nosuid,nodev", "tmpfs", "/run")
    if os.path.isdir("/var/log/journal"):  # the machine's own journal stays out of sight
        mount("-t", "tmpfs", "-o", "mode=755", "tmpfs", "/var/log/journal")
    if not os.path.isdir("/sys/fs/cgroup"):
        mount("-t", "sysfs", "-o", "nosuid,nodev,noexec", "sysfs", "/sys")
    if not is_cgroup2("/sys/fs/cgroup"):
        mount("-t", "cgroup2", "cgroup2", "/sys/fs/cgroup")
    os.makedirs("/run/systemd/journald.conf.d")
    with open("/run/systemd/journald.conf.d/test.conf", "w") as conf:
        conf.write("[Journal]\nStorage=volatile\nReadKMsg=no\nForwardToSyslog=no\n"
                   "ForwardToWall=no\n")


def start_journald(log):
    journald = subprocess.Popen(
        ["setpriv", "--bounding-set", "-audit_control,-audit_read,-audit_write", JOURNALD],
        env=dict(os.environ, SYSTEMD_LOG_TARGET="console"), stdout=log, stderr=log,
        stdin=subprocess.DEVNULL)
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline and journald.poll() is None:
        if all(os.path.exists("/run/systemd/journal/" + name) for name in ("socket", "stdout")):
            return journald
        time.sleep(0.05)
    journald.kill()
    journald.wait()
    return None


def entries(identifier):
    found = subprocess.run(["journalctl", "--no-pager", "-o", "json", "-t", identifier],
                           capture_output=True, text=True, timeout=60)
    return [json.loads(line) for line in found.stdout.splitlines() if line.startswith("{")]


class JournalTest(DesktopTestCase):
    def test_a_station_that_cannot_play_is_found_by_the_programs_identifier(self):
        d = self.desktop
        # As xfce4-session or gnome-session start it: stdout and stderr on a
        # journal stream that carries the session manager's name.
        session = os.path.join(d.root, "session")
        with open(session, "w") as script:
            script.write('#!/bin/sh\nexec systemd-cat --identifier=test-session "%s" "$@"\n'
                         % TUNORA)
        os.chmod(session, 0o755)
        d.start_tunora(binary=session)
        d.set_faults({"ndr2": "404"})
        d.click("NDR", "NDR 2")
        wait_for(lambda: d.notifications, 20, "the notification")
        failure = "NDR 2 cannot be played: the server answered 404"

        def logged():
            return [e for e in entries("tunora") if failure in e.get("MESSAGE", "")]
        found = wait_for(logged, 30, "an entry for -t tunora holding %r; the session's stream "
                         "has %r" % (failure, [e.get("MESSAGE") for e in entries("test-session")]))
        self.assertEqual(found[0]["PRIORITY"], "5")  # a message, as GLib marks it
        self.assertEqual(found[0]["GLIB_DOMAIN"], "tunora")


def main():
    reason = why_not()
    if reason:
        print("SKIPPED: " + reason)
        return SKIPPED
    if os.environ.get(NAMESPACE_MARK) != "1":
        return subprocess.run(["unshare", "--mount", "--propagation", "private", sys.executable,
                               os.path.abspath(__file__)] + sys.argv[1:],
                              env=dict(os.environ, **{NAMESPACE_MARK: "1"})).returncode
    prepare_namespace()
    log_path = "/run/journald.log"
    with open(log_path, "w") as log:
        journald = start_journald(log)
    if journald is None:
        with open(log_path) as log:
            print("SKIPPED: systemd-journald does not start here: " + log.read()[-500:])
        return SKIPPED
    try:
        result = unittest.main(argv=[sys.argv[0]], exit=False).result
        return 0 if result.wasSuccessful() else 1
    finally:
        journald.terminate()
        journald.wait(10)


if __name__ == "__main__":
    sys.exit(main())
