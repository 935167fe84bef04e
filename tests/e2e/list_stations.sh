#!/bin/sh
# The built program's station table (stations.tsv: id, name, network, URL, in
# menu order), on the built-in hosts, moved to one origin by TUNORA_STREAM_ORIGIN
# and per host by stream-hosts.json; and its command line.
set -eu
tunora=$1
expected="$(dirname "$0")/stations.tsv"
fail() { echo "FAIL: $*" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_CONFIG_HOME="$scratch/config"

env -u TUNORA_STREAM_ORIGIN "$tunora" --list-stations > "$scratch/out"
diff -u "$expected" "$scratch/out" || fail "the built-in table"

TUNORA_STREAM_ORIGIN=http://127.0.0.1:9 "$tunora" --list-stations > "$scratch/out"
sed -E 's#https://[^/]+/#http://127.0.0.1:9/#' "$expected" | diff -u - "$scratch/out" \
    || fail "every station on the override origin"

mkdir -p "$XDG_CONFIG_HOME/tunora"
hosts="$XDG_CONFIG_HOME/tunora/stream-hosts.json"
echo '{"icecast.ndr.de": "http://127.0.0.1:8123"}' > "$hosts"
env -u TUNORA_STREAM_ORIGIN "$tunora" --list-stations > "$scratch/out"
sed 's#https://icecast.ndr.de/#http://127.0.0.1:8123/#' "$expected" | diff -u - "$scratch/out" \
    || fail "the hosts file moves the NDR host only"
TUNORA_STREAM_ORIGIN=http://127.0.0.1:9 "$tunora" --list-stations | grep -c '//127.0.0.1:9/' \
    | grep -qx 49 || fail "the environment wins over the hosts file"

# A bad setting is one line on stderr and leaves the rest as it would be.
TUNORA_STREAM_ORIGIN=ftp://x "$tunora" --list-stations > "$scratch/out" 2> "$scratch/err"
grep -q 'TUNORA_STREAM_ORIGIN' "$scratch/err" && [ "$(wc -l < "$scratch/err")" -eq 1 ] \
    || fail "an invalid origin is reported in one line"
grep -q 'http://127.0.0.1:8123/ndr/' "$scratch/out" || fail "the hosts file applies all the same"

# A whole address by station id, under any path, beside an origin for a host; the
# station's own address wins over its host's origin.
station_address='http://127.0.0.1:8124/radio/live?id=1'
printf '{"st01.ondoria.invalid": "http://127.0.0.1:8123", "ondo": "%s",\n "ndr2": "%s"}' \
    "$station_address" "https://mirror.example.org:8443/any.mp3" > "$hosts"
env -u TUNORA_STREAM_ORIGIN "$tunora" --list-stations > "$scratch/out" 2> "$scratch/err"
awk -F '\t' -v OFS='\t' -v ondo="$station_address" '
    $1 == "ondo" { $4 = ondo } $1 == "ndr2" { $4 = "https://mirror.example.org:8443/any.mp3" }
    { print }' "$expected" | diff -u - "$scratch/out" || fail "a whole address for a station"
[ ! -s "$scratch/err" ] || fail "a good file is not complained about: $(cat "$scratch/err")"

big=$(printf '%70000s' '')
long=$(printf '%2100s' '' | tr ' ' a)
for bad in '{"ondo": "http://user@127.0.0.1:1/radio"}' '{"ondo": "ftp://127.0.0.1/radio"}' \
    '{"ondo": "http://127.0.0.1:1/radio#now"}' '{"ondo": 42}' "{\"ondo\": \"http://h/$long\"}" \
    '{"no_such_station": "http://127.0.0.1:1/radio"}' \
    '{not json' '["icecast.ndr.de"]' '' '{"icecast.ndr.de": "http://127.0.0.1:1/path"}' \
    '{"icecast.ndr.de": "http://127.0.0.1:1", "nowhere.example": "http://127.0.0.1:2"}' \
    '{"icecast.ndr.de": "http://127.0.0.1:1", "liveradio.swr.de": 42}' \
    "{\"icecast.ndr.de\": \"http://127.0.0.1:1\" $big}" directory fifo; do
    rm -rf "$hosts"
    case $bad in
    directory) mkdir "$hosts" ;;
    fifo) mkfifo "$hosts" ;;
    *) printf '%s' "$bad" > "$hosts" ;;
    esac
    env -u TUNORA_STREAM_ORIGIN timeout 10 "$tunora" --list-stations > "$scratch/out" 2> "$scratch/err"
    what=$(printf '%.60s' "$bad")
    diff -q "$expected" "$scratch/out" >/dev/null || fail "a bad hosts file is ignored whole: $what"
    grep -qF "$hosts" "$scratch/err" && [ "$(wc -l < "$scratch/err")" -eq 1 ] \
        || fail "one line naming the hosts file: $what"
    if grep -q 'exception' "$scratch/err"; then fail "a library's own words: $(cat "$scratch/err")"; fi
done
rm -rf "$hosts"
printf '{\n  "icecast.ndr.de": "http://127.0.0.1:1",\n  oops\n}' > "$hosts"
env -u TUNORA_STREAM_ORIGIN "$tunora" --list-stations 2>&1 >/dev/null | grep -q 'line 3, column 3' \
    || fail "where the JSON goes wrong"

"$tunora" --version | grep -q '^tunora [0-9]' || fail "--version"
"$tunora" --help | grep -q -- '--list-stations' || fail "--help"
if "$tunora" --bogus 2>/dev/null; then fail "an unknown option fails"; fi
echo "list_stations: all checks passed"
