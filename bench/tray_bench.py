#!/usr/bin/python3
"""Start-up and memory of the tray program, side by side with Debian's goodvibes.

Prints: time from exec to the tray item registered on the bus and to the MPRIS
name owned (median of several starts), and resident memory idle and playing.
goodvibes is measured to its MPRIS name (the milestone both have) and idle.
"""
import os
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from desktop import TUNORA, Desktop, wait_for  # noqa: E402

RUNS = 7


def resident_kib(pid):
    with open("/proc/%d/status" % pid) as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return -1


def settle(seconds):
    deadline = time.monotonic() + seconds
    wait_for(lambda: time.monotonic() > deadline, seconds + 1, "a quiet moment")


def bench_tunora(desktop):
    to_item, to_mpris = [], []
    for _ in range(RUNS):
        start = time.monotonic()
        desktop.item = None
        process = desktop.start_tunora(wait=False)
        wait_for(lambda: desktop.item is not None, 15, "the item")
        to_item.append((time.monotonic() - start) * 1000)
        wait_for(lambda: desktop.name_owned("org.mpris.MediaPlayer2.tunora"), 15, "MPRIS")
        to_mpris.append((time.monotonic() - start) * 1000)
        if _ < RUNS - 1:
            process.stop()
            wait_for(lambda: not desktop.name_owned("org.mpris.MediaPlayer2.tunora"), 10, "exit")
    wait_for(lambda: desktop.layout_or_none() is not None, 10, "the menu")
    settle(2)
    idle = resident_kib(desktop.tunora.popen.pid)
    desktop.click("NDR", "NDR 2")
    wait_for(lambda: desktop.sound_level() > 0.05, 15, "sound")
    settle(3)
    playing = resident_kib(desktop.tunora.popen.pid)
    return statistics.median(to_item), statistics.median(to_mpris), idle, playing


def bench_goodvibes(desktop):
    if subprocess.run(["which", "goodvibes"], capture_output=True).returncode != 0:
        return None
    times, idle = [], None
    for _ in range(RUNS):
        start = time.monotonic()
        process = desktop._start(["goodvibes"], stderr=subprocess.DEVNULL)
        wait_for(lambda: desktop.name_owned("org.mpris.MediaPlayer2.Goodvibes"), 30, "goodvibes")
        times.append((time.monotonic() - start) * 1000)
        settle(2 if _ == RUNS - 1 else 0.2)
        idle = resident_kib(process.popen.pid)
        process.stop()
        wait_for(lambda: not desktop.name_owned("org.mpris.MediaPlayer2.Goodvibes"), 10, "exit")
    return statistics.median(times), idle


def main():
    desktop = Desktop()
    try:
        item, mpris, idle, playing = bench_tunora(desktop)
        desktop.stop_tunora()
        goodvibes = bench_goodvibes(desktop)
    finally:
        desktop.close()
    print("start-up (median of %d): tray item registered %.0f ms, MPRIS name owned %.0f ms"
          % (RUNS, item, mpris))
    print("resident memory: idle %d KiB, playing %d KiB" % (idle, playing))
    if goodvibes:
        print("goodvibes: MPRIS name owned %.0f ms (%.2fx Tunora), idle %d KiB (%.2fx Tunora)"
              % (goodvibes[0], goodvibes[0] / mpris, goodvibes[1], goodvibes[1] / idle))
    else:
        print("goodvibes not installed: install scripts/packages/bench.txt")


if __name__ == "__main__":
    main()
