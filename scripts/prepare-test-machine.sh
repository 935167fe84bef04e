#!/bin/sh
# Machine-wide set-up the tests rely on: a German locale for the translation tests.
set -eu
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    $sudo localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi
