#!/bin/sh
# The built program lists all 49 stations, on the built-in hosts by default and
# on one origin when TUNORA_STREAM_ORIGIN is set.
set -eu
tunora=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config"

out=$(env -u TUNORA_STREAM_ORIGIN "$tunora" --list-stations)
[ "$(printf '%s\n' "$out" | wc -l)" -eq 49 ] || fail "expected 49 stations"
printf '%s\n' "$out" | grep -q "^ndr2	NDR 2	NDR	https://icecast.ndr.de/ndr/ndr2/hamburg/mp3/128/stream.mp3$" \
    || fail "NDR 2 row missing"
[ "$(printf '%s\n' "$out" | grep -c '	https://')" -eq 49 ] || fail "every default URL is https"

out=$(TUNORA_STREAM_ORIGIN=http://127.0.0.1:9 "$tunora" --list-stations)
[ "$(printf '%s\n' "$out" | grep -c '	http://127\.0\.0\.1:9/')" -eq 49 ] \
    || fail "every URL on the override origin"

err=$(TUNORA_STREAM_ORIGIN=ftp://x "$tunora" --list-stations 2>&1 >/dev/null)
printf '%s\n' "$err" | grep -q 'TUNORA_STREAM_ORIGIN' || fail "an invalid origin is reported"
[ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "one line on stderr"

mkdir -p "$XDG_CONFIG_HOME/tunora"
echo '{"icecast.ndr.de": "http://127.0.0.1:8123"}' > "$XDG_CONFIG_HOME/tunora/stream-hosts.json"
out=$(env -u TUNORA_STREAM_ORIGIN "$tunora" --list-stations)
[ "$(printf '%s\n' "$out" | grep -c 'http://127\.0\.0\.1:8123/ndr/')" -eq 9 ] \
    || fail "the hosts file moves the nine NDR stations"

"$tunora" --version | grep -q '^tunora [0-9]' || fail "--version"
"$tunora" --help | grep -q -- '--list-stations' || fail "--help"
if "$tunora" --bogus 2>/dev/null; then fail "an unknown option fails"; fi
echo "list_stations: all checks passed"
