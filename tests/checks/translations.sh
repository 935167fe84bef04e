#!/bin/sh
# Every text marked for translation has a German translation, and the German
# catalogue passes msgfmt's checks without a word of complaint.
set -eu
root=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$root/po/update-pot.sh" "$scratch/tunora.pot"
status=0
for po in "$root"/po/*.po; do
    if msgfmt --check -o /dev/null "$po" 2>"$scratch/complaints" && [ ! -s "$scratch/complaints" ]; then
        :
    else
        cat "$scratch/complaints"; echo "FAIL: msgfmt complains about $po"; status=1
    fi
    msgmerge -q --no-fuzzy-matching -o "$scratch/merged.po" "$po" "$scratch/tunora.pot"
    missing=$(msgattrib --untranslated --no-obsolete "$scratch/merged.po")
    if [ -n "$missing" ]; then
        printf '%s\n' "$missing"; echo "FAIL: texts without translation in $po"; status=1
    fi
done
[ $status -eq 0 ] && echo "translations: complete"
exit $status
