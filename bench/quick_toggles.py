#!/usr/bin/python3
"""Whether the built program survives an impatient listener.

In a private desktop, per run: the program plays a loopback station, then gets
800 commands 0-5 ms apart without waiting for the answers: MPRIS PlayPause,
and every fifth a dbusmenu click on one of three stations. Printed per run:
whether the program is still alive and answers, and how long the burst took.
Usage: bench/quick_toggles.py [--runs N] [PROGRAM]
"""
import argparse
import os
import random
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from desktop import TUNORA, Desktop, wait_for  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402

MPRIS = ("org.mpris.MediaPlayer2.tunora", "/org/mpris/MediaPlayer2")
PLAYER = "org.mpris.MediaPlayer2.Player"
STATIONS = (("NDR", "NDR 2"), ("WDR", "WDR 2"), ("Ondoria",))
COMMANDS = 800


def one_run(binary, seed):
    desktop = Desktop()
    try:
        desktop.start_tunora(binary=binary)
        desktop.click(*STATIONS[0])
        wait_for(lambda: desktop.playerctl("status") == "Playing", 15, "playing")
        menu = desktop.item_property("Menu")
        ids = [desktop.find(*path)["id"] for path in STATIONS]
        answered = [0]

        def done(connection, result, *_):
            try:
                connection.call_finish(result)
            except GLib.Error:
                pass  # a program that died answers nothing; that is told below
            answered[0] += 1

        rng, context, start = random.Random(seed), GLib.MainContext.default(), time.monotonic()
        for n in range(COMMANDS):
            if n % 5 == 4:
                desktop.bus.call(desktop.item[0], menu, "com.canonical.dbusmenu", "Event",
                                 GLib.Variant("(isvu)", (rng.choice(ids), "clicked",
                                                         GLib.Variant("i", 0), 0)),
                                 None, Gio.DBusCallFlags.NONE, 30000, None, done)
            else:
                desktop.bus.call(*MPRIS, PLAYER, "PlayPause", None, None,
                                 Gio.DBusCallFlags.NONE, 30000, None, done)
            pause_until = time.monotonic() + rng.uniform(0, 0.005)
            while time.monotonic() < pause_until:
                context.iteration(False)
        deadline = time.monotonic() + 60
        while answered[0] < COMMANDS and time.monotonic() < deadline:
            context.iteration(False)
            time.sleep(0.001)
        took = time.monotonic() - start
        time.sleep(2)  # what the last commands started gets under way
        status = desktop.tunora.popen.poll()
        alive = status is None
        if alive:
            try:
                desktop.playerctl("status")
                desktop.label()
            except Exception:  # noqa: BLE001 -- any failure to answer counts
                alive = False
        crash = "" if alive else " (exit status %s; stderr tail: %r)" % (
            status, desktop.stderr()[-400:])
        return alive, took, crash
    finally:
        desktop.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=8)
    parser.add_argument("program", nargs="?", default=TUNORA)
    args = parser.parse_args()
    survived = 0
    for run in range(args.runs):
        alive, took, crash = one_run(args.program, run)
        survived += alive
        print("run %d: %s after %d commands in %.1f s%s" % (
            run + 1, "alive" if alive else "DEAD", COMMANDS, took, crash), flush=True)
    print("alive after %d of %d runs" % (survived, args.runs))
    return 0


if __name__ == "__main__":
    sys.exit(main())
