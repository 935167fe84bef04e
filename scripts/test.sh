#!/bin/sh
# Installs what the tests need, then builds and runs the whole suite twice: as
# shipped, and under AddressSanitizer + UndefinedBehaviorSanitizer.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-packages.sh" build runtime test
"$root/scripts/prepare-test-machine.sh"

status=0
for variant in build:OFF build-asan:ON; do
    dir=${variant%%:*}
    sanitize=${variant##*:}
    echo "== $dir (sanitizers $sanitize)"
    "$root/scripts/build.sh" "$dir" -DTUNORA_SANITIZE="$sanitize" -DTUNORA_WERROR=ON
    ctest --test-dir "$root/$dir" --output-on-failure -j "$(nproc)" --timeout 300 || status=1
done
exit $status
