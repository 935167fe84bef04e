#!/bin/sh
# Sets up a fresh Debian 12 or 13 machine for Tunora, builds it, installs it
# under /usr/local (so that `tunora`, `man tunora` and the application menu's
# entry work afterwards) and starts it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
"$root/scripts/install-packages.sh" build runtime
"$root/scripts/build.sh" build -DTUNORA_BUILD_TESTS=OFF
$sudo cmake --install "$root/build" --prefix /usr/local >/dev/null
echo "Tunora is installed in /usr/local: start it from the application menu or with"
echo "\"tunora\"; \"man tunora\" describes it. Starting it now (Ctrl+C or Quit in its menu ends it)."
exec /usr/local/bin/tunora "$@"
