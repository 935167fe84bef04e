#!/bin/sh
# Extracts every translatable text into a gettext template. Usage: po/update-pot.sh OUT.pot
# Code marks texts with N_("...") or GettextStrings::translate("..."); the
# desktop entry and the AppStream metainfo are read by their own rules.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
xgettext --from-code=UTF-8 --language=C++ --keyword=N_ --keyword=translate \
    --package-name=tunora --no-location --sort-output -o "$1" \
    $(git ls-files 'src/*.cpp' 'src/*.h' 2>/dev/null || find src -name '*.cpp' -o -name '*.h')
xgettext --from-code=UTF-8 --join-existing --no-location --sort-output -o "$1" \
    data/org.tunora.Tunora.desktop.in data/org.tunora.Tunora.metainfo.xml.in
