#!/usr/bin/python3
"""What bursts from a peer on the session bus cost the built program.

Two bursts each, against one program that plays a loopback stream: 1,000 MPRIS
PlayPause calls sent without waiting for the answers, and one dbusmenu
EventGroup of 500 clicks on the playing station. Printed per burst: the
anonymous memory (RssAnon) before and a second after, how long the answers
took, and the slowest of the MPRIS Get calls sent every 20 ms meanwhile and
right after the answers.
Usage: bench/bursts.py [PROGRAM]
"""
import os
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from desktop import TUNORA, Desktop, wait_for  # noqa: E402
from gi.repository import Gio, GLib  # noqa: E402

MPRIS = ("org.mpris.MediaPlayer2.tunora", "/org/mpris/MediaPlayer2")
PLAYER = "org.mpris.MediaPlayer2.Player"


def anonymous_mib(desktop):
    with open("/proc/%d/status" % desktop.tunora.popen.pid) as status:
        return int(next(l for l in status if l.startswith("RssAnon")).split()[1]) / 1024


def burst(desktop, label, send):
    """send(done) sends the burst; done is the callback for each of its answers."""
    waiting, slowest, gets = [send(None)], [], []

    def done(connection, result, *_):
        try:
            connection.call_finish(result)
        except GLib.Error:
            pass
        waiting[0] -= 1

    def got(connection, result, sent):
        connection.call_finish(result)
        slowest.append(time.monotonic() - sent)
    before, start = anonymous_mib(desktop), time.monotonic()
    send(done)
    context, next_get = GLib.MainContext.default(), 0.0
    while (waiting[0] > 0 or len(slowest) < len(gets)) and time.monotonic() - start < 60:
        if waiting[0] > 0 and time.monotonic() >= next_get:
            desktop.bus.call(*MPRIS, "org.freedesktop.DBus.Properties", "Get",
                             GLib.Variant("(ss)", (PLAYER, "PlaybackStatus")), None,
                             Gio.DBusCallFlags.NONE, 30000, None, got, time.monotonic())
            gets.append(1)
            next_get = time.monotonic() + 0.02
        context.iteration(False)
        time.sleep(0.001)
    took = time.monotonic() - start
    sent = time.monotonic()  # menu events are handled after their answer
    desktop.bus.call_sync(*MPRIS, "org.freedesktop.DBus.Properties", "Get",
                          GLib.Variant("(ss)", (PLAYER, "PlaybackStatus")), None,
                          Gio.DBusCallFlags.NONE, 30000, None)
    slowest.append(time.monotonic() - sent)
    desktop.playerctl("status")  # after everything the burst asked for
    time.sleep(1)
    after = anonymous_mib(desktop)
    print("%-22s RssAnon %5.1f -> %5.1f MiB (%+5.1f)  answered in %.2f s  slowest Get %4.0f ms"
          % (label, before, after, after - before, took, max(slowest or [0]) * 1000), flush=True)


def main():
    desktop = Desktop()
    try:
        desktop.start_tunora(binary=sys.argv[1] if len(sys.argv) > 1 else TUNORA)
        desktop.click("Ondoria")
        wait_for(lambda: desktop.playerctl("status") == "Playing", 15, "playing")
        time.sleep(2)  # let start-up and the first stream settle before measuring

        def play_pause(done):
            for _ in range(1000 if done else 0):
                desktop.bus.call(*MPRIS, PLAYER, "PlayPause", None, None,
                                 Gio.DBusCallFlags.NONE, 30000, None, done)
            return 1000

        station, menu = desktop.find("Ondoria")["id"], desktop.item_property("Menu")

        def clicks(done):
            if done:
                events = [(station, "clicked", GLib.Variant("i", 0), 0)] * 500
                desktop.bus.call(desktop.item[0], menu, "com.canonical.dbusmenu", "EventGroup",
                                 GLib.Variant("(a(isvu))", (events,)), None,
                                 Gio.DBusCallFlags.NONE, 30000, None, done)
            return 1
        for round in (1, 2):
            burst(desktop, "EventGroup x500 #%d" % round, clicks)
        for round in (1, 2):
            burst(desktop, "PlayPause x1000 #%d" % round, play_pause)
    finally:
        desktop.close()


if __name__ == "__main__":
    main()
