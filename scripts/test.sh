#!/bin/sh
# Installs what the tests need, then builds and runs the whole suite twice: as
# shipped, and under AddressSanitizer + UndefinedBehaviorSanitizer, in the build
# folders build and build-asan (TUNORA_BUILD_PREFIX names others: PREFIX, PREFIX-asan).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
prefix=${TUNORA_BUILD_PREFIX:-build}
"$root/scripts/install-packages.sh" build runtime test
"$root/scripts/prepare-test-machine.sh"

status=0
for variant in "$prefix:OFF" "$prefix-asan:ON"; do
    dir=${variant%%:*}
    sanitize=${variant##*:}
    echo "== $dir (sanitizers $sanitize)"
    # Tests on even where the run command configured the same folder without them.
    "$root/scripts/build.sh" "$dir" -DTUNORA_SANITIZE="$sanitize" -DTUNORA_WERROR=ON -DTUNORA_BUILD_TESTS=ON
    ctest --test-dir "$root/$dir" --output-on-failure -j "$(nproc)" --timeout 300 || status=1
done
exit $status
