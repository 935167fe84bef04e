#!/bin/sh
# Installs the Debian packages named in the given lists (scripts/packages/*.txt).
# Usage: scripts/install-packages.sh build runtime [test] [bench]
set -eu
here=$(cd "$(dirname "$0")" && pwd)
packages=""
for list in "$@"; do
    packages="$packages $(grep -v '^#' "$here/packages/$list.txt" | tr '\n' ' ')"
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q </dev/null
# shellcheck disable=SC2086
$sudo apt-get install -y -q $packages </dev/null
