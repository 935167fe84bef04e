#!/bin/sh
# Sets up a fresh Debian 12 or 13 machine for Tunora, builds it and starts it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" build runtime
"$root/scripts/build.sh" build -DTUNORA_BUILD_TESTS=OFF
exec "$root/build/tunora" "$@"
