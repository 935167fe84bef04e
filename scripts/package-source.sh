#!/bin/sh
# Lays out the source package from this checkout in OUT: the upstream tarball
# tunora_VERSION.orig.tar.xz (the tree without debian/) and the unpacked tree
# tunora-VERSION with debian/, from the files git tracks or would track
# (uncommitted changes included, ignored files such as build folders left out).
# Prints the unpacked tree's path.
# Usage: scripts/package-source.sh OUT
set -eu
checkout=$(cd "$(dirname "$0")/.." && pwd)
out=$1
version=$(sed -n '1s/^tunora (\([^)]*\)).*/\1/p' "$checkout/debian/changelog")
upstream=${version%-*}
tree=$out/tunora-$upstream

rm -rf "$tree" "$out"/tunora_*
mkdir -p "$tree"
if git -C "$checkout" rev-parse --git-dir >/dev/null 2>&1; then
    # A file deleted but not yet committed is listed and missing: left out.
    git -C "$checkout" ls-files -z --cached --others --exclude-standard \
        | tar -C "$checkout" --null --files-from=- --ignore-failed-read -cf - 2>/dev/null \
        | tar -C "$tree" -xf -
    stamp=$(git -C "$checkout" log -1 --format=%ct)
else # an unpacked release: everything but what builds leave behind
    tar -C "$checkout" --exclude=./.git --exclude='./build' --exclude='./build-*' \
        --exclude='./obj-*' --exclude=./debian/.debhelper --exclude=./debian/tunora \
        -cf - . | tar -C "$tree" -xf -
    stamp=$(stat -c %Y "$checkout/debian/changelog")
fi
tar -C "$out" --exclude="tunora-$upstream/debian" --sort=name --owner=0 --group=0 \
    --numeric-owner --mtime="@$stamp" \
    -cJf "$out/tunora_$upstream.orig.tar.xz" "tunora-$upstream"
echo "$tree"
