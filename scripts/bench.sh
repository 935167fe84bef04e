#!/bin/sh
# Installs the players to compare against, builds, and prints every benchmark:
# Tunora side by side with mpv, Goodvibes and gst-play-1.0 (bench/compare.py),
# then the in-process benchmarks, each in a private desktop.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" build runtime test bench
"$root/scripts/build.sh" build
echo "== side by side"
TUNORA_BINARY="$root/build/tunora" /usr/bin/python3 "$root/bench/compare.py"
for bench in "$root"/build/bench/*_bench; do
    echo "== $(basename "$bench")"
    /usr/bin/python3 "$root/tests/support/desktop.py" "$bench"
done
