#!/bin/sh
# Takes docs/screenshot.png: Tunora's open menu in a real panel (xfce4-panel)
# on a private X server. Installs what it needs; not part of the test command.
# Usage: scripts/screenshot.sh [--no-install]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
[ "${1:-}" = "--no-install" ] || "$root/scripts/install-packages.sh" build runtime screenshot
[ -x "$root/build/tunora" ] || "$root/scripts/build.sh" build -DTUNORA_BUILD_TESTS=OFF

scratch=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

mkdir -p "$scratch/runtime" "$scratch/config/xfce4/xfconf/xfce-perchannel-xml"
chmod 700 "$scratch/runtime"
cat > "$scratch/config/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="28"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML

Xvfb :97 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
pids="$pids $!"
export DISPLAY=:97 HOME="$scratch" XDG_RUNTIME_DIR="$scratch/runtime" \
    XDG_CONFIG_HOME="$scratch/config" XDG_CACHE_HOME="$scratch/cache" NO_AT_BRIDGE=1 LANG=C.UTF-8
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done

# One session bus for the panel and the program.
dbus-run-session -- sh -c '
    xfce4-panel --disable-wm-check >/dev/null 2>&1 &
    for _ in $(seq 100); do
        busctl --user status org.kde.StatusNotifierWatcher >/dev/null 2>&1 && break
        sleep 0.1
    done
    # Streams lead nowhere (port 9 on this machine): the picture needs no network.
    TUNORA_STREAM_ORIGIN=http://127.0.0.1:9 "$0/build/tunora" 2>/dev/null &
    for _ in $(seq 100); do
        busctl --user list 2>/dev/null | grep -q org.mpris.MediaPlayer2.tunora && break
        sleep 0.1
    done
    # A current station, so that the menu shows its check mark.
    "$0/build/tunora" --station ondo_kultur 2>/dev/null || true
    sleep 2  # let the panel draw the new item
    # Click the first item of the panel (the widest xfce4-panel window).
    set -- $(for w in $(xdotool search --class xfce4-panel); do
        eval "$(xdotool getwindowgeometry --shell "$w")"; echo "$WIDTH $X $Y $HEIGHT"
    done | sort -n | tail -n 1) "$0"
    xdotool mousemove $(($2 + 12)) $(($3 + 12)) click 1
    set -- "$5"
    sleep 1  # let the menu open and draw
    import -window root -crop 270x400+0+0 "$0/docs/screenshot.png"
' "$root"
echo "wrote $root/docs/screenshot.png"
