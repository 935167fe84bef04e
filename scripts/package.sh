#!/bin/sh
# Builds the Debian package the Debian way in a clean root of one release and
# checks it, as an archive's builders and CI do:
#  1. dpkg-buildpackage -us -uc (source and binary packages, the build-time tests
#     included) in a root that holds the essential packages and the declared build
#     dependencies only;
#  2. lintian -EvIL +pedantic on the .changes: an error or a warning fails;
#  3. autopkgtest (debian/tests) installs the package with apt and runs its tests
#     against the installed program.
# The root is made once with debootstrap and kept untouched; every run works in a
# throwaway layer over it. Downloaded packages are kept for the next run.
#
# Usage: scripts/package.sh bookworm|trixie [nocheck]
#   nocheck: without the tests run during the build, and their build dependencies
#   (the Debian way: DEB_BUILD_OPTIONS=nocheck and the nocheck build profile).
# Results: build-packages/SUITE/ (the packages, lintian.txt, autopkgtest/).
# Environment: TUNORA_PACKAGE_ROOTS (default /var/cache/tunora-ci),
#   TUNORA_DEBIAN_MIRROR (default: the Debian mirror in this machine's apt sources).
# Needs root (runs itself with sudo otherwise), debootstrap and git.
set -eu
checkout=$(cd "$(dirname "$0")/.." && pwd)
suite=${1:-}
case $suite in
bookworm) release="Debian 12" ;;
trixie) release="Debian 13" ;;
*) echo "usage: $0 bookworm|trixie [nocheck]" >&2; exit 2 ;;
esac
case ${2:-} in
"") options="parallel=$(nproc)" profiles="" ;;
nocheck) options="parallel=$(nproc) nocheck" profiles="-Pnocheck" ;;
*) echo "usage: $0 bookworm|trixie [nocheck]" >&2; exit 2 ;;
esac
roots=${TUNORA_PACKAGE_ROOTS:-/var/cache/tunora-ci}
base=$roots/$suite-clean
layer=$roots/$suite-layer
archives=$roots/$suite-archives
recipe="debootstrap --variant=minbase $suite, policy-rc.d, v1"
out=$checkout/build-packages/$suite

if [ "$(id -u)" -ne 0 ]; then
    exec sudo TUNORA_PACKAGE_ROOTS="$roots" TUNORA_DEBIAN_MIRROR="${TUNORA_DEBIAN_MIRROR:-}" \
        CI="${CI:-}" "$0" "$@"
fi
. "$checkout/scripts/debian-root.sh"

# In a mount and PID namespace of its own, as there its first process: every
# mount and every process left behind goes when the script ends.
if [ "${TUNORA_PACKAGE_NAMESPACE:-}" != "$$" ]; then
    command -v debootstrap >/dev/null || "$checkout/scripts/install-packages.sh" ci
    "$checkout/scripts/package-source.sh" "$out" >/dev/null
    mkdir -p "$roots"
    exec 9>"$base.lock" # one run per release at a time
    flock 9
    exec env TUNORA_PACKAGE_NAMESPACE=1 \
        unshare --mount --propagation private --pid --fork --kill-child "$0" "$@"
fi

trap 'unmount_all; rm -rf --one-file-system "$layer"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
seconds() { echo $(($(date +%s) - $1)); }
step() { echo "== $release package: $*"; }

keep_root "$base" "$suite" "$recipe"
rm -rf --one-file-system "$layer"
mkdir -p "$layer/changes" "$layer/work" "$archives/partial"
mount_at "$layer/root" -t overlay overlay \
    -o "lowerdir=$base,upperdir=$layer/changes,workdir=$layer/work"
root=$layer/root
mount_system "$root"
mount_at "$root/var/cache/apt/archives" --bind "$archives"
mount_at "$root/build" --bind "$out"

version=$(sed -n '1s/^tunora (\([^)]*\)).*/\1/p' "$checkout/debian/changelog")
tree=/build/tunora-${version%-*}
changes=tunora_${version}_$(dpkg --print-architecture).changes

started=$(date +%s)
step "build dependencies of $version in a clean $suite root"
in_root "$root" "$tree" "apt-get update -q && apt-get build-dep -y -q $profiles ./"
step "DEB_BUILD_OPTIONS='$options' dpkg-buildpackage -us -uc $profiles"
in_root "$root" "$tree" "DEB_BUILD_OPTIONS='$options' dpkg-buildpackage -us -uc $profiles"
step "built in $(seconds "$started") s"

checked=$(date +%s)
in_root "$root" /build 'apt-get install -y -q --no-install-recommends lintian autopkgtest'
step "lintian -EvIL +pedantic $changes"
lintian_status=0
in_root "$root" /build "lintian -EvIL +pedantic --fail-on error,warning $changes" \
    >"$out/lintian.txt" 2>&1 || lintian_status=$?
cat "$out/lintian.txt"
[ "$lintian_status" -eq 0 ] || { step "lintian FAILED"; exit 1; }

step "autopkgtest (debian/tests) against the installed package"
rm -rf "$out/autopkgtest"
in_root "$root" /build "autopkgtest --output-dir /build/autopkgtest $changes -- null"
step "lintian and autopkgtest passed in $(seconds "$checked") s"
