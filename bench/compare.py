#!/usr/bin/python3
"""Tunora side by side with mpv, Goodvibes and gst-play-1.0, in one private desktop.

Every player plays the same loopback MP3 stream into the same PulseAudio null
sink; a recorder on the sink's monitor tells when sound starts. Figures are the
median [min-max] of RUNS runs, and each anchor's ratio to Tunora:
- first audio: from the user's action (Tunora: the dbusmenu click; mpv: the
  IPC `loadfile`; Goodvibes: its D-Bus Play; gst-play-1.0: the exec) to sound;
- start-up: from exec to the tray item registered (Tunora), to the MPRIS name
  (Tunora, Goodvibes), to the IPC socket answering (mpv);
- resident memory idle and after 10 s of playing, CPU time over 20 s of playing,
  context switches over 5 s paused (wake-ups);
- Tunora's menu: from the click to its update on the bus (LayoutUpdated, or
  ItemsPropertiesUpdated when only texts and check marks change);
- Tunora's command line: from the exec of `tunora --station ID` to sound, with
  Tunora running, and of `tunora --slot 1` with none running (it starts one).
With --tunora-only, the anchors are left out.
"""
import math
import os
import socket
import statistics
import struct
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from desktop import TUNORA, Desktop, wait_for  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402

RUNS = 7
COMMAND_STATIONS = ["ondo", "ondo_kultur", "ondo_nova", "ndr2", "wdr2", "bayern1", "fritz"]
STATIONS = [("Ondoria",), ("Ondo Kultur",), ("Ondo Nova",), ("NDR", "NDR 2"), ("WDR", "WDR 2"),
            ("BR", "Bayern 1"), ("rbb", "Fritz")]


class SinkListener:
    """Reads the null sink's monitor in 10 ms chunks and keeps when each was loud."""

    def __init__(self, env):
        self.chunks = []  # (monotonic time, rms)
        self.recorder = subprocess.Popen(
            ["parec", "--latency-msec=10", "-d", "test_sink.monitor", "--format=s16le",
             "--rate=44100", "--channels=2", "--raw"], env=env, stdout=subprocess.PIPE)
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        size = 441 * 4
        while True:
            data = self.recorder.stdout.read(size)
            if len(data) < size:
                return
            samples = struct.unpack("<%dh" % (size // 2), data)
            rms = math.sqrt(sum(s * s for s in samples) / len(samples)) / 32768.0
            self.chunks.append((time.monotonic(), rms))

    def ms_to_sound(self, start):
        loud = wait_for(lambda: next((t for t, rms in self.chunks[-200:] if t > start and rms > 0.02),
                                     None), 15, "sound")
        return (loud - start) * 1000

    def wait_for_silence(self):
        wait_for(lambda: self.chunks and time.monotonic() - self.chunks[-1][0] < 0.1 and
                 all(rms < 0.002 for _, rms in self.chunks[-10:]), 15, "silence")

    def close(self):
        self.recorder.kill()


def proc_status(pid, key):
    with open("/proc/%d/status" % pid) as status:
        return int(next(line for line in status if line.startswith(key)).split()[1])


def cpu_ms(pid):
    with open("/proc/%d/stat" % pid) as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / os.sysconf("SC_CLK_TCK")


def settle(seconds):
    deadline = time.monotonic() + seconds
    wait_for(lambda: time.monotonic() > deadline, seconds + 1, "a quiet moment")


def while_playing(pid):
    """RSS after 10 s of playing and CPU over the next 20 s."""
    settle(10)
    rss = proc_status(pid, "VmRSS") / 1024
    before = cpu_ms(pid)
    settle(20)
    return rss, cpu_ms(pid) - before


def switches_paused(pid):
    before = proc_status(pid, "voluntary_ctxt_switches")
    settle(5)
    return proc_status(pid, "voluntary_ctxt_switches") - before


def bench_tunora(d, sink):
    figures = {"start-up to tray item (ms)": [], "start-up to MPRIS name (ms)": []}
    for run in range(RUNS):
        start = time.monotonic()
        d.start_tunora(wait=False)
        wait_for(lambda: d.item is not None, 15, "the item")
        figures["start-up to tray item (ms)"].append((time.monotonic() - start) * 1000)
        wait_for(lambda: d.name_owned("org.mpris.MediaPlayer2.tunora"), 15, "MPRIS")
        figures["start-up to MPRIS name (ms)"].append((time.monotonic() - start) * 1000)
        if run < RUNS - 1:
            d.stop_tunora()
            wait_for(lambda: not d.name_owned("org.mpris.MediaPlayer2.tunora"), 10, "exit")
    wait_for(lambda: d.layout_or_none() is not None, 10, "the menu")
    pid = d.tunora.popen.pid
    settle(2)
    figures["RSS idle (MiB)"] = [proc_status(pid, "VmRSS") / 1024]
    updates = []

    def stamp_layout_updates(connection, message, incoming):
        # A filter runs on GDBus' own thread as the message arrives: the time
        # does not wait for this process's main loop.
        # Texts and check marks change in place: the panel then hears
        # ItemsPropertiesUpdated; a new layout, LayoutUpdated.
        if incoming and message.get_member() in ("LayoutUpdated", "ItemsPropertiesUpdated"):
            updates.append(time.monotonic())
        return message
    d.bus.add_filter(stamp_layout_updates)
    d.bus.signal_subscribe(d.item[0], "com.canonical.dbusmenu", None, None, None,
                           Gio.DBusSignalFlags.NONE, lambda *args: None)  # the match rule
    figures["first audio (ms)"], figures["click to LayoutUpdated (ms)"] = [], []
    for station in STATIONS[:RUNS]:
        item = d.find(*station)
        updates.clear()
        start = time.monotonic()
        d.bus.call_sync(d.item[0], d.item_property("Menu"), "com.canonical.dbusmenu", "Event",
                        GLib.Variant("(isvu)", (item["id"], "clicked", GLib.Variant("i", 0), 0)),
                        None, Gio.DBusCallFlags.NONE, 5000, None)
        figures["first audio (ms)"].append(sink.ms_to_sound(start))
        wait_for(lambda: updates, 5, "the menu update")
        figures["click to LayoutUpdated (ms)"].append((updates[0] - start) * 1000)
        d.click(*station)  # pause
        sink.wait_for_silence()
    figures["tunora --station to sound (ms)"] = []
    for station in COMMAND_STATIONS[:RUNS]:
        start = time.monotonic()
        subprocess.run([TUNORA, "--station", station], env=d.env, check=True)
        figures["tunora --station to sound (ms)"].append(sink.ms_to_sound(start))
        subprocess.run([TUNORA, "--station", station], env=d.env, check=True)  # pause
        sink.wait_for_silence()
    d.click(*STATIONS[0])
    sink.ms_to_sound(time.monotonic())
    rss, cpu = while_playing(pid)
    figures["RSS playing (MiB)"], figures["CPU per 20 s playing (ms)"] = [rss], [cpu]
    d.click(*STATIONS[0])
    sink.wait_for_silence()
    figures["context switches in 5 s paused"] = [switches_paused(pid)]
    d.stop_tunora()
    bench_command_start(d, sink, figures)
    return figures


def bench_command_start(d, sink, figures):
    """`tunora --slot 1` with no Tunora running: it starts one, then hands the press over."""
    figures["tunora --slot 1, none running, to sound (ms)"] = []
    wait_for(lambda: not d.name_owned("org.tunora.Tunora"), 10, "the old one gone")
    for _ in range(3):
        start = time.monotonic()
        subprocess.run([TUNORA, "--slot", "1"], env=d.env, check=True)
        figures["tunora --slot 1, none running, to sound (ms)"].append(sink.ms_to_sound(start))
        pid = d.bus.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus",
                              "org.freedesktop.DBus", "GetConnectionUnixProcessID",
                              GLib.Variant("(s)", ("org.tunora.Tunora",)), None,
                              Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
        os.kill(pid, 15)
        wait_for(lambda: not d.name_owned("org.tunora.Tunora"), 10, "exit")
        sink.wait_for_silence()


def measure_running_player(figures, sink, pid, play, stop):
    """First audio over RUNS plays, then memory, CPU and wake-ups, for a player
    that keeps running between streams."""
    figures["first audio (ms)"] = []
    for _ in range(RUNS):
        start = time.monotonic()
        play()
        figures["first audio (ms)"].append(sink.ms_to_sound(start))
        stop()
        sink.wait_for_silence()
    play()
    sink.ms_to_sound(time.monotonic())
    figures["RSS playing (MiB)"], figures["CPU per 20 s playing (ms)"] = [
        [value] for value in while_playing(pid)]
    stop()
    sink.wait_for_silence()
    figures["context switches in 5 s paused"] = [switches_paused(pid)]


def bench_mpv(d, sink, url):
    path = os.path.join(d.root, "mpv.sock")

    def send(command):
        try:
            with socket.socket(socket.AF_UNIX) as connection:
                connection.connect(path)
                connection.sendall(command.encode() + b"\n")
            return True
        except OSError:
            return False
    start = time.monotonic()
    mpv = d._start(["mpv", "--no-config", "--idle=yes", "--no-video", "--ao=pulse",
                    "--no-terminal", "--input-ipc-server=" + path])
    wait_for(lambda: send("{}"), 15, "mpv's socket")
    figures = {"start-up to IPC socket (ms)": [(time.monotonic() - start) * 1000]}
    settle(2)
    figures["RSS idle (MiB)"] = [proc_status(mpv.popen.pid, "VmRSS") / 1024]
    measure_running_player(figures, sink, mpv.popen.pid,
                           lambda: send('{"command": ["loadfile", "%s"]}' % url),
                           lambda: send('{"command": ["stop"]}'))
    mpv.stop()
    return figures


def bench_goodvibes(d, sink, url):
    name = "org.mpris.MediaPlayer2.Goodvibes"
    figures = {"start-up to MPRIS name (ms)": []}
    for run in range(RUNS):
        start = time.monotonic()
        goodvibes = d._start(["goodvibes"], stderr=subprocess.DEVNULL)
        wait_for(lambda: d.name_owned(name), 30, "goodvibes")
        figures["start-up to MPRIS name (ms)"].append((time.monotonic() - start) * 1000)
        if run < RUNS - 1:
            goodvibes.stop()
            wait_for(lambda: not d.name_owned(name), 10, "exit")
    settle(2)
    figures["RSS idle (MiB)"] = [proc_status(goodvibes.popen.pid, "VmRSS") / 1024]

    def player(method, *args):
        try:
            d.bus.call_sync("io.gitlab.Goodvibes", "/io/gitlab/Goodvibes",
                            "io.gitlab.Goodvibes.Player", method,
                            GLib.Variant("(s)", args) if args else None, None,
                            Gio.DBusCallFlags.NONE, 5000, None)
            return True
        except GLib.Error:
            return False
    wait_for(lambda: player("Stop"), 30, "Goodvibes' player interface")
    measure_running_player(figures, sink, goodvibes.popen.pid, lambda: player("Play", url),
                           lambda: player("Stop"))
    goodvibes.stop()
    return figures


def bench_gst_play(d, sink, url):
    figures = {"first audio (ms)": []}
    for _ in range(RUNS):
        start = time.monotonic()
        player = d._start(["gst-play-1.0", "-q", "--no-interactive", url])
        figures["first audio (ms)"].append(sink.ms_to_sound(start))
        player.stop()
        sink.wait_for_silence()
    player = d._start(["gst-play-1.0", "-q", "--no-interactive", url])
    sink.ms_to_sound(time.monotonic())
    figures["RSS playing (MiB)"], figures["CPU per 20 s playing (ms)"] = [
        [value] for value in while_playing(player.popen.pid)]
    player.stop()
    return figures


def cell(values, reference):
    if not values:
        return "-"
    median = statistics.median(values)
    text = "%.0f" % median if median >= 10 else "%.1f" % median
    if len(values) > 1:
        text += " [%.0f-%.0f]" % (min(values), max(values))
    if reference and statistics.median(reference) > 0:
        text += " %.2fx" % (median / statistics.median(reference))
    return text


def main():
    d = Desktop()
    sink = SinkListener(d.env)
    url = d.env["TUNORA_STREAM_ORIGIN"] + "/tone.mp3"
    try:
        players = {"Tunora": bench_tunora(d, sink)}
        if "--tunora-only" not in sys.argv:
            players.update({"mpv": bench_mpv(d, sink, url),
                            "Goodvibes": bench_goodvibes(d, sink, url),
                            "gst-play-1.0": bench_gst_play(d, sink, url)})
    finally:
        sink.close()
        d.close()
    rows = []
    for figures in players.values():
        rows += [row for row in figures if row not in rows]
    print("| figure (median [min-max], ratio to Tunora) | " + " | ".join(players) + " |")
    print("|---" * (len(players) + 1) + "|")
    tunora = players["Tunora"]
    for row in rows:
        reference = tunora.get(row) or (tunora.get("start-up to MPRIS name (ms)")
                                        if row.startswith("start-up") else None)
        print("| %s | %s |" % (row, " | ".join(
            cell(figures.get(row), None if name == "Tunora" else reference)
            for name, figures in players.items())))


if __name__ == "__main__":
    main()
