#!/bin/sh
# Fails when any C++ file of the project is not formatted as .clang-format says.
set -eu
cd "$1"
files=$(git ls-files -co --exclude-standard -- '*.cpp' '*.h' 2>/dev/null || find src tests bench -name '*.cpp' -o -name '*.h')
[ -n "$files" ] || exit 0
# shellcheck disable=SC2086
clang-format --dry-run -Werror $files
