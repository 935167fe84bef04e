#!/bin/sh
# Fails when a C++ file is not formatted as .clang-format says, by clang-format 19 everywhere.
set -eu
cd "$1"
files=$(git ls-files -co --exclude-standard -- '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
[ -n "$files" ] || exit 0
# shellcheck disable=SC2086
clang-format-19 --dry-run -Werror $files
