#!/bin/sh
# The desktop entry and the AppStream metainfo as built: the validators that
# desktops and software centres follow have nothing to say about them.
# Usage: validate_desktop_files.sh DESKTOP_ENTRY METAINFO
set -u
entry=$1
metainfo=$2
status=0

said=$(desktop-file-validate "$entry" 2>&1) || status=1
if [ -n "$said" ]; then
    echo "desktop-file-validate: $said"
    status=1
fi

said=$(appstreamcli validate --no-net "$metainfo" 2>&1)
# AppStream 1.0 (Debian 13) wants <developer>, which 0.16 (Debian 12) does not know yet.
version=$(appstreamcli --version | sed -n 's/.* \([0-9][0-9.]*\)$/\1/p' | head -n 1)
case $version in
0.*) said=$(printf '%s\n' "$said" | grep -v 'unknown-tag developer$') ;;
esac
complaints=$(printf '%s\n' "$said" | grep -E "^[EWI]:" || true)
if [ -n "$complaints" ]; then
    echo "appstreamcli $version: $complaints"
    status=1
fi
exit $status
