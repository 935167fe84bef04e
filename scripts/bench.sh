#!/bin/sh
# Installs the players to compare against, builds, and prints every benchmark.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" build runtime test bench
"$root/scripts/build.sh" build
for bench in "$root"/build/bench/*_bench; do
    echo "== $(basename "$bench")"
    /usr/bin/python3 "$root/tests/support/desktop.py" "$bench"
done
echo "== tray_bench"
TUNORA_BINARY="$root/build/tunora" /usr/bin/python3 "$root/bench/tray_bench.py"
