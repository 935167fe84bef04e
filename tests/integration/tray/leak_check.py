"""Runs menu_leak_probe under LeakSanitizer on a private X server and bus and
fails when a leaked allocation was made through the program's own code (the
libraries' own caches, fontconfig's for one, are theirs to keep)."""
import os
import re
import subprocess
import sys
import tempfile

probe = sys.argv[1]
with tempfile.TemporaryDirectory(prefix="tunora-leaks-") as folder:
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "640x480x24",
                             "-nolisten", "tcp"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL)
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    try:
        env = dict(os.environ, DISPLAY=":" + xvfb.stdout.readline().decode().strip(),
                   DBUS_SESSION_BUS_ADDRESS=bus.stdout.readline().decode().strip(),
                   NO_AT_BRIDGE="1", XDG_RUNTIME_DIR=folder,
                   ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:exitcode=0")
        run = subprocess.run([probe, folder], env=env, capture_output=True, text=True,
                             timeout=240)
    finally:
        xvfb.kill()
        bus.kill()
report = run.stderr
ours = [block for block in re.split(r"\n(?=(?:Direct|Indirect) leak)", report)
        if "leak of" in block and re.search(r"tunora::|/src/(linux|core)/", block)]
print(report[-3000:] if ours else "no leak through the program's own code")
sys.exit(1 if ours or run.returncode != 0 else 0)
