#!/bin/sh
# Machine-wide set-up the tests rely on: the locales of the translation tests, German
# and a non-C English one (glibc 2.41 ignores LANGUAGE under the C locale).
set -eu
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
for locale in de_DE en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^$locale\.utf-\?8$"; then
        $sudo localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
    fi
done
