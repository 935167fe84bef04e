#!/bin/sh
# Sets up a fresh Debian 12 or 13 machine for Tunora, builds its Debian package,
# installs it with apt (so that `tunora`, `man tunora` and the application menu's
# entry work afterwards, and apt updates or removes it like any package) and
# starts it.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=$root/build-packages/local
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

"$root/scripts/install-packages.sh" package
# The tests run in the test command, not here: their build dependencies stay out.
$sudo apt-get build-dep -y -q -Pnocheck "$root" </dev/null
tree=$("$root/scripts/package-source.sh" "$out")
(cd "$tree" && DEB_BUILD_OPTIONS=nocheck dpkg-buildpackage -us -uc -b -Pnocheck)

# What an earlier version of this command installed with `cmake --install`: left
# there, it would come first on PATH and shadow the package.
if [ -e /usr/local/bin/tunora ]; then
    echo "Removing the Tunora installed under /usr/local before."
    $sudo rm -rf /usr/local/bin/tunora /usr/local/share/tunora /usr/local/share/doc/tunora \
        /usr/local/share/applications/org.tunora.Tunora.desktop \
        /usr/local/share/metainfo/org.tunora.Tunora.metainfo.xml \
        /usr/local/share/icons/hicolor/*/apps/org.tunora.Tunora.* \
        /usr/local/share/man/man1/tunora.1 /usr/local/share/man/man1/tunora.1.gz \
        /usr/local/share/locale/*/LC_MESSAGES/tunora.mo
fi
$sudo apt-get install -y -q --reinstall "$out"/tunora_*_"$(dpkg --print-architecture)".deb </dev/null
echo "Tunora is installed: start it from the application menu or with \"tunora\";"
echo "\"man tunora\" describes it. Starting it now (Ctrl+C or Quit in its menu ends it)."
exec /usr/bin/tunora "$@"
