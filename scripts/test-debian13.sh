#!/bin/sh
# Runs the test command (scripts/test.sh) in a Debian 13 "trixie" root, as on a
# Debian 13 machine. The root is made once with debootstrap from this machine's
# Debian mirror and kept for the next run; delete it to start afresh.
#
# Usage: scripts/test-debian13.sh [PACKAGE.deb]
#   PACKAGE.deb, a file inside this checkout (the package built on Debian 12): after
#   the suite it is installed in the root with apt, started, and removed again.
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

package=""
if [ $# -gt 0 ]; then
    package=$(realpath "$1")
    case $package in
    "$checkout"/*) package=$inside/${package#"$checkout"/} ;;
    *) echo "test-debian13: $1 is not inside $checkout" >&2; exit 2 ;;
    esac
fi

# The first Debian mirror of this machine's apt sources (deb822 or one-line form).
host_mirror() {
    {
        sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null
        sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]*\).*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
    } | grep -E '/debian/?$' | head -n 1
}

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

mirror=${TUNORA_DEBIAN_MIRROR:-$(host_mirror)}
[ -n "$mirror" ] || { echo "no Debian mirror in the apt sources: set TUNORA_DEBIAN_MIRROR" >&2; exit 1; }
mounted=""

unmount_all() {
    # What the suite left running goes first, or it keeps the mounts busy: as the
    # namespace's first process, this shell reaches only the namespace's processes.
    [ "$$" -ne 1 ] || kill -KILL -1 2>/dev/null || true
    for target in $mounted; do
        umount "$target" 2>/dev/null || umount -l "$target"
    done
    mounted=""
}
trap 'unmount_all' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mount_in_root() { # TARGET MOUNT-ARGUMENTS...
    target=$root$1
    shift
    mkdir -p "$target"
    mount "$@" "$target"
    mounted="$target $mounted"
}

make_root() {
    echo "== making the Debian 13 root in $root from $mirror"
    started=$(date +%s)
    fresh=$root.new
    rm -rf --one-file-system "$fresh"
    debootstrap --variant=minbase trixie "$fresh" "$mirror"
    rm -f "$fresh/etc/apt/sources.list"
    cat >"$fresh/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $mirror
Suites: trixie trixie-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    # Packages install their services but do not start them in the root.
    printf '#!/bin/sh\nexit 101\n' >"$fresh/usr/sbin/policy-rc.d"
    chmod 755 "$fresh/usr/sbin/policy-rc.d"
    apt_clean "$fresh"
    echo "$recipe" >"$fresh/.tunora-root"
    rm -rf --one-file-system "$root"
    mv "$fresh" "$root"
    echo "== Debian 13 root made in $(($(date +%s) - started)) s"
}

apt_clean() {
    rm -rf "$1"/var/cache/apt/archives/*.deb
}

in_root() { # COMMAND [ARGUMENTS]: a shell command run in the checkout inside the root
    command=$1
    shift
    chroot "$root" /usr/bin/env -i \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" DEBIAN_FRONTEND=noninteractive \
        TUNORA_BUILD_PREFIX=$builds \
        /bin/sh -c "cd $inside && $command" test-debian13 "$@" </dev/null 9>&-
}

[ "$(cat "$root/.tunora-root" 2>/dev/null)" = "$recipe" ] || make_root

cp -L /etc/resolv.conf "$root/etc/resolv.conf"
mount_in_root /proc -t proc proc
mount_in_root /dev --bind /dev
mount_in_root /dev/pts --bind /dev/pts
mount_in_root /dev/shm -t tmpfs -o mode=1777,nosuid,nodev shm
mount_in_root /tmp -t tmpfs -o mode=1777,nosuid,nodev tmp
mount_in_root "$inside" --bind "$checkout"

echo "== Debian 13: $(in_root 'cat /etc/debian_version'), suite in $checkout/$builds*"
started=$(date +%s)
in_root ./scripts/test.sh
apt_clean "$root"
echo "== Debian 13 suite passed in $(($(date +%s) - started)) s"

if [ -n "$package" ]; then
    echo "== installing $(basename "$package") in Debian 13"
    # shellcheck disable=SC2016
    in_root 'apt-get install -y -q "$1" && tunora --list-stations >/dev/null
             status=$?; apt-get purge -y -q tunora; exit $status' "$package"
    echo "== $(basename "$package") installs and runs on Debian 13"
fi
