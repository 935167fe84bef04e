#!/bin/sh
# Runs the test command (scripts/test.sh) in a Debian 13 "trixie" root, as on a
# Debian 13 machine. The root is made once with debootstrap from this machine's
# Debian mirror and kept for the next run; delete it to start afresh.
#
# Usage: scripts/test-debian13.sh
# Environment: TUNORA_DEBIAN13_ROOT (default /var/cache/tunora-ci/debian13),
#   TUNORA_DEBIAN_MIRROR (default: the Debian mirror in this machine's apt sources).
# Needs root (runs itself with sudo otherwise) and debootstrap.
set -eu
checkout=$(cd "$(dirname "$0")/.." && pwd)
root=${TUNORA_DEBIAN13_ROOT:-/var/cache/tunora-ci/debian13}
# What the root is made of; a kept root made otherwise is made again.
recipe="debootstrap --variant=minbase trixie, policy-rc.d, v1"
inside=/src/tunora
builds=build-debian13

if [ "$(id -u)" -ne 0 ]; then
    exec sudo TUNORA_DEBIAN13_ROOT="$root" TUNORA_DEBIAN_MIRROR="${TUNORA_DEBIAN_MIRROR:-}" \
        CI="${CI:-}" "$0" "$@"
fi
. "$checkout/scripts/debian-root.sh"

# Runs in a mount and PID namespace of its own, as the namespace's first process:
# every mount made here and every process the suite leaves behind goes when the
# script ends, however it ends.
if [ "${TUNORA_DEBIAN13_NAMESPACE:-}" != "$$" ]; then
    command -v debootstrap >/dev/null || "$checkout/scripts/install-packages.sh" ci
    mkdir -p "$(dirname "$root")"
    # One run per root at a time; a second one waits.
    exec 9>"$root.lock"
    flock 9
    exec env TUNORA_DEBIAN13_NAMESPACE=1 \
        unshare --mount --propagation private --pid --fork --kill-child "$0" "$@"
fi

trap 'unmount_all' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

keep_root "$root" trixie "$recipe"
# The root a mount point of its own, as a machine's root is: tests that make a
# mount namespace of their own make its mounts private, which needs one.
mount_at "$root" --bind "$root"
mount_system "$root"
mount_at "$root$inside" --bind "$checkout"

root_env="TUNORA_BUILD_PREFIX=$builds"
echo "== Debian 13: $(in_root "$root" / 'cat /etc/debian_version'), suite in $checkout/$builds*"
started=$(date +%s)
in_root "$root" "$inside" ./scripts/test.sh
rm -rf "$root"/var/cache/apt/archives/*.deb
echo "== Debian 13 suite passed in $(($(date +%s) - started)) s"
