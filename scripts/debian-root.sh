# Sourced by the scripts that work in a Debian root made with debootstrap
# (test-debian13.sh, package.sh): finding the mirror, making a root, mounting
# into it, running a command in it. Needs root.

# The first Debian mirror of this machine's apt sources (deb822 or one-line form).
host_mirror() {
    {
        sed -n 's/^URIs:[[:space:]]*\([^[:space:]]*\).*/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null
        sed -n 's/^deb[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?\([^[:space:]]*\).*/\2/p' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null
    } | grep -E '/debian/?$' | head -n 1
}

# make_root ROOT SUITE MIRROR RECIPE: a minimal root of SUITE, made afresh
# beside ROOT and moved there when complete; RECIPE is kept in it so that a
# root made otherwise is recognised and made again.
make_root() {
    target=$1 suite=$2 from=$3 recipe=$4
    echo "== making the $suite root in $target from $from"
    started=$(date +%s)
    fresh=$target.new
    rm -rf --one-file-system "$fresh"
    debootstrap --variant=minbase "$suite" "$fresh" "$from"
    rm -f "$fresh/etc/apt/sources.list"
    cat >"$fresh/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
URIs: $from
Suites: $suite $suite-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    # Packages install their services but do not start them in the root.
    printf '#!/bin/sh\nexit 101\n' >"$fresh/usr/sbin/policy-rc.d"
    chmod 755 "$fresh/usr/sbin/policy-rc.d"
    rm -rf "$fresh"/var/cache/apt/archives/*.deb
    echo "$recipe" >"$fresh/.tunora-root"
    rm -rf --one-file-system "$target"
    mv "$fresh" "$target"
    echo "== $suite root made in $(($(date +%s) - started)) s"
}

# keep_root ROOT SUITE RECIPE: makes ROOT unless it was made by RECIPE.
keep_root() {
    [ "$(cat "$1/.tunora-root" 2>/dev/null)" = "$3" ] && return 0
    mirror=${TUNORA_DEBIAN_MIRROR:-$(host_mirror)}
    [ -n "$mirror" ] || { echo "no Debian mirror in the apt sources: set TUNORA_DEBIAN_MIRROR" >&2; exit 1; }
    make_root "$1" "$2" "$mirror" "$3"
}

mounted=""

# Everything mounted goes when the script ends, however it ends.
unmount_all() {
    # What was left running goes first, or it keeps the mounts busy: as its
    # namespace's first process, the script reaches only the namespace's processes.
    [ "$$" -ne 1 ] || kill -KILL -1 2>/dev/null || true
    for target in $mounted; do
        umount "$target" 2>/dev/null || umount -l "$target"
    done
    mounted=""
}

mount_at() { # TARGET MOUNT-ARGUMENTS...
    target=$1
    shift
    mkdir -p "$target"
    mount "$@" "$target"
    mounted="$target $mounted"
}

# mount_system ROOT: what programs in the root expect of a running system.
mount_system() {
    cp -L /etc/resolv.conf "$1/etc/resolv.conf"
    mount_at "$1/proc" -t proc proc
    mount_at "$1/dev" --bind /dev
    mount_at "$1/dev/pts" --bind /dev/pts
    mount_at "$1/dev/shm" -t tmpfs -o mode=1777,nosuid,nodev shm
    mount_at "$1/tmp" -t tmpfs -o mode=1777,nosuid,nodev tmp
}

# in_root ROOT FOLDER COMMAND [ARGUMENTS]: a shell command run in FOLDER inside
# ROOT with a clean environment (plus the variables named in $root_env).
in_root() {
    where=$1 folder=$2 command=$3
    shift 3
    # shellcheck disable=SC2086
    chroot "$where" /usr/bin/env -i \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 TERM=dumb CI="${CI:-}" DEBIAN_FRONTEND=noninteractive \
        ${root_env:-} /bin/sh -c "cd $folder && $command" in-root "$@" </dev/null 9>&-
}
