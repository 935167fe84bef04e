"""Runs menu_leak_probe under LeakSanitizer in a private desktop and fails when
a leaked allocation was made through the program's own code (the libraries' own
caches, fontconfig's for one, are theirs to keep)."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "support"))
from desktop import Desktop  # noqa: E402

desktop = Desktop(panel=False, private_home=False)
try:
    env = dict(desktop.env, ASAN_OPTIONS="detect_leaks=1:fast_unwind_on_malloc=0:exitcode=0")
    run = subprocess.run([sys.argv[1]], env=env, capture_output=True,
                         text=True, timeout=240)
finally:
    desktop.close()
report = run.stderr
ours = [block for block in re.split(r"\n(?=(?:Direct|Indirect) leak)", report)
        if "leak of" in block and re.search(r"tunora::|/src/(linux|core)/", block)]
print(report[-3000:] if ours else "no leak through the program's own code")
sys.exit(1 if ours or run.returncode != 0 else 0)
